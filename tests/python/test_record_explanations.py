"""The explanation of one record, its provenance chain and its explainability
bundle, over hand-written layer files, reflection summaries and correction
lines appended to the audit journal."""

import json

import pytest

from test_governance_reports import bel, compact, hnt, log, pat, write_layers
from test_layer_files import candidate
from test_maintenance_histories import finding, summary
from vesk._core import Vesk

BUNDLE_KEYS = ["record_id", "explanation", "provenance", "record_corrections", "belief_corrections",
               "causal_corrections", "policy_corrections", "reflection_digest", "related_reflection_findings",
               "belief_instability", "maintenance_trends"]
CHAIN_KEYS = ["record_id", "namespace", "content_preview", "build_latency_ms", "because_record_id",
              "because_preview", "narrative", "steps", "details"]


def without_latency(chain):
    return {k: v for k, v in chain.items() if k != "build_latency_ms"}


@pytest.mark.parametrize("salience, reason, extra", [
    (0.0, None, None),
    (0.5, None, "This memory carries non-zero significance weighting."),
    (0.7, None, "High-significance memory due to elevated salience."),
    (0.9, "deadline", "High-significance memory due to deadline."),
])
def test_a_record_without_links(tmp_path, salience, reason, extra):
    with Vesk(str(tmp_path / "s")) as v:
        rid = v.store("the kiln cooled overnight")
        if salience:
            v.mark_record_salience(rid, salience, reason)
        chain = v.provenance_chain(rid)
        assert list(chain) == CHAIN_KEYS
        first = f"Record {rid} surfaced in namespace default"
        assert chain["steps"] == [f"record {rid} in namespace default"] + ([extra] if extra else [])
        assert chain["narrative"] == (f"{first}; {extra}." if extra else f"{first}.")
        if salience == 0.5:
            assert chain["narrative"].endswith("..")
        item = v.explain_record(rid)
        assert (item["rank"], item["score"], item["salience_explanation"]) == (1, 1.0, extra)
        assert (item["trace"]["rerank_delta"], item["trace"]["final_score"]) == (1.0, 1.0)
        assert chain["details"]["score"] == 0.0 and chain["details"]["salience"] == 0.0


def test_unknown_records_and_bad_ids(tmp_path):
    with Vesk(str(tmp_path / "s")) as v:
        v.store("the first firing")
        for method in (v.explain_record, v.provenance_chain, v.explainability_bundle):
            assert method("nope") is None
            with pytest.raises(TypeError, match="argument 'record_id': "):
                method(1)


@pytest.fixture
def explained(tmp_path):
    path = tmp_path / "s"
    cause_text = "The glaze recipe changed: " + "silica " * 20
    with Vesk(str(path)) as v:
        cause = v.store(cause_text)
        rid = v.store("the kiln cracked at 900 degrees", caused_by_id=cause)
        v.mark_record_salience(rid, 0.9, "deadline")
    b, h = bel("b1", "default:kiln", records=[rid], state="Unresolved", winner_id=None, confidence=0.25,
               volatility=0.5, conflict_mass=0.5, support_mass=1.0)
    write_layers(path, beliefs=[(b, h)],
                 patterns=[pat("pk", "Invalidated", key="kiln->crack", causal_strength=0.5, cause_belief_ids=["b1"],
                               invalidation_reason="refuted", invalidated_at=1750000100.0)],
                 hints=[hnt("h1", "Suppressed", key="work|deploy", supporting_record_ids=[rid])])
    beliefs = json.loads((path / "beliefs.cog").read_text(encoding="utf-8"))
    beliefs["record_index"] = {rid: "hb1"}
    (path / "beliefs.cog").write_text(compact(beliefs), encoding="utf-8")
    concept = candidate(id="c1", key="kiln-concept", record_ids=[rid], belief_ids=[], confidence=0.75)
    (path / "concepts.cog").write_text(compact({"concepts": {"c1": concept}, "key_index": {}}), encoding="utf-8")
    findings = [finding(namespace="default", title="Zeta"), finding(namespace="other", related_ids=[rid], title="Alpha"),
                finding(namespace="other", title="Unrelated"), finding(namespace="default", title="Zeta")]
    (path / "reflection_summaries.json").write_text(json.dumps([summary(findings)], indent=2), encoding="utf-8")
    with Vesk(str(path)) as v:
        log(v, path, ("causal_pattern", "pk", "retract", 100), ("causal_pattern", "pk", "invalidate", 200),
            ("belief", "b1", "deprecate", 300), ("record", rid, "flag", 400), ("policy_hint", "h1", "retract", 500),
            ("causal_pattern", "other", "invalidate", 600))
        yield v, rid, cause, cause_text


def test_a_linked_record_explained_step_by_step(explained):
    v, rid, cause, cause_text = explained
    chain = v.provenance_chain(rid)
    assert chain["steps"] == [
        f"record {rid} in namespace default",
        f'caused_by {cause} from "{cause_text[:80]}"',
        "belief b1 is unresolved at confidence 0.25",
        "belief b1 carries unresolved evidence (volatility 0.50, conflict 0.50, support 1.00)",
        "concept c1 (kiln-concept) is stable at confidence 0.75",
        "causal pattern pk (kiln->crack) is invalidated with strength 0.50; invalidated because refuted; "
        "last correction invalidate at 2025-06-15T15:06:40Z",
        "policy hint h1 (work|deploy) is suppressed as verifyfirst with strength 0.50",
        "High-significance memory due to deadline.",
        "related reflection findings [Alpha, Zeta]",
        "This recommendation depends on unresolved evidence.",
    ]
    assert chain["narrative"] == (
        f"Record {rid} surfaced in namespace default; because it points to source record {cause}; "
        "it maps to belief b1 (unresolved, confidence 0.25); that belief remains epistemically unstable "
        "(volatility 0.50, conflict 0.50, support 1.00); it participates in concepts [kiln-concept]; "
        "it appears in causal patterns [kiln->crack[invalidated:refuted]]; it supports policy hints "
        "[verifyfirst:work|deploy]; High-significance memory due to deadline.; recent reflection findings "
        "reference it [Alpha, Zeta]; This recommendation depends on unresolved evidence..")
    item = v.explain_record(rid)
    assert [c["operation"] for c in item["causal_patterns"][0]["corrections"]] == ["retract", "invalidate"]
    d = chain["details"]
    assert (d["has_unresolved_evidence"], d["contradiction_dependency"], d["reflection_references"],
            d["answer_support"]["recommended_framing"]) == (
        True, True, [], "State the useful evidence, then explicitly note uncertainty or conflict.")
    assert [d[k] for k in ("belief", "concepts", "causal_patterns", "policy_hints")] == [
        item[k] for k in ("belief", "concepts", "causal_patterns", "policy_hints")]


def test_the_explainability_bundle(explained):
    v, rid, _, _ = explained
    b = v.explainability_bundle(rid)
    assert list(b) == BUNDLE_KEYS
    assert b["record_id"] == rid and b["explanation"] == v.explain_record(rid)
    assert without_latency(b["provenance"]) == without_latency(v.provenance_chain(rid))
    assert b["provenance"]["details"]["score"] == 0.0
    assert [(c["target_id"], c["operation"]) for c in b["record_corrections"]] == [(rid, "flag")]
    assert [c["operation"] for c in b["belief_corrections"]] == ["deprecate"]
    assert [c["operation"] for c in b["causal_corrections"]] == ["retract", "invalidate"]
    assert [c["target_id"] for c in b["policy_corrections"]] == ["h1"]
    assert [f["title"] for f in b["related_reflection_findings"]] == ["Zeta", "Alpha", "Zeta"]
    assert b["reflection_digest"]["summary_count"] == 1
    assert b["belief_instability"]["total_beliefs"] == 1
    assert list(b["belief_instability"]["volatility_bands"]) == ["low", "medium", "high"]
    assert b["maintenance_trends"]["snapshot_count"] == 0


def test_a_suggestion_carries_the_provenance_of_its_record(tmp_path):
    path = tmp_path / "s"
    with Vesk(str(path)) as v:
        rid = v.store("the kiln cracked at 900 degrees")
    write_layers(path, beliefs=[bel("b1", "default:kiln", records=[rid], volatility=0.5)])
    with Vesk(str(path)) as v:
        (s,) = v.get_suggested_corrections()
        assert without_latency(s["provenance"]) == without_latency(v.provenance_chain(rid))
