"""The correction review queue, the suggested corrections and the namespace
governance status, as a caller sees them: the layers and the trend history
are seeded through their files, corrections appended to the audit journal."""

import json
import threading

import numpy as np
import pytest

from test_correction_log import _append as append_audit, _line as correction_line
from test_layer_files import belief, compact, hint, pattern
from test_maintenance_histories import snapshot
from vesk._core import Vesk

REVIEW_KEYS = ["timestamp", "time_iso", "target_kind", "target_id", "operation", "reason", "session_id",
               "namespace", "title", "repeat_count", "dependent_causal_patterns", "dependent_policy_hints",
               "downstream_impact", "priority_score", "severity"]
SUGGESTION_KEYS = ["target_kind", "target_id", "namespace", "reason_kind", "suggested_action", "reason_detail",
                   "priority_score", "severity", "supporting_record_id", "provenance"]
GOVERNANCE_KEYS = ["namespace", "record_count", "belief_count", "correction_count", "correction_density",
                   "high_volatility_belief_count", "low_stability_belief_count", "instability_score",
                   "instability_level", "policy_pressure_area_count", "suggested_correction_count",
                   "last_maintenance_cycle", "latest_dominant_phase"]

f32 = np.float32


def bel(bid, key, records=(), **changes):
    """A belief whose winner hypothesis h{bid} holds `records`."""
    b = belief(0, **{"id": bid, "key": key, "hypothesis_ids": [f"h{bid}"], "winner_id": f"h{bid}", **changes})
    h = {"id": f"h{bid}", "belief_id": bid, "prototype_record_ids": list(records), "score": 0.5,
         "confidence": 0.5, "support_mass": 1.0, "conflict_mass": 0.0, "recency": 1.0, "consistency": 1.0}
    return b, h


def pat(pid, state, **changes):
    fields = dict(id=pid, key=f"key-{pid}", state=state, cause_belief_ids=[], effect_belief_ids=[],
                  cause_record_ids=[], effect_record_ids=[], invalidation_reason=None, invalidated_at=None)
    return pattern(**{**fields, **changes})


def hnt(hid, state, **changes):
    h = hint()
    h.update(id=hid, key=f"key-{hid}", state=state, trigger_causal_ids=[], supporting_record_ids=[],
             cause_record_ids=[])
    h.update(changes)
    return h


def write_layers(path, beliefs=(), patterns=(), hints=()):
    path.mkdir(parents=True, exist_ok=True)
    store = {"beliefs": {b["id"]: b for b, _ in beliefs}, "hypotheses": {h["id"]: h for _, h in beliefs},
             "key_index": {b["key"]: b["id"] for b, _ in beliefs}, "record_index": {},
             "coarse_key_mode": "Standard", "claim_similarity_override": None, "embedding_similarity_override": None}
    (path / "beliefs.cog").write_text(compact(store), encoding="utf-8")
    causal = {"patterns": {p["id"]: p for p in patterns}, "key_index": {p["key"]: p["id"] for p in patterns},
              "temporal_budget_mode": "NearbySuccessors", "evidence_mode": "ExplicitTrusted",
              "last_corpus_fingerprint": 0, "last_edges_found": 0, "last_explicit_edges_found": 0,
              "last_temporal_edges_found": 0}
    (path / "causal.cog").write_text(compact(causal), encoding="utf-8")
    (path / "policies.cog").write_text(
        compact({"hints": {h["id"]: h for h in hints}, "key_index": {h["key"]: h["id"] for h in hints}}),
        encoding="utf-8")


def log(v, path, *entries):
    """Appends correction lines (kind, target, operation, ms) to the journal."""
    append_audit(path / "brain.audit", "".join(correction_line(k, t, op, reason="why", ms=ms) + "\n"
                                               for k, t, op, ms in entries))


def records_in(v, *namespaces):
    return {ns: v.store(f"note about {ns} number {i}", namespace=ns) for i, ns in enumerate(namespaces)}


# ---- correction review queue ----

def test_review_queue_items_dependents_namespaces_and_order(tmp_path):
    path = tmp_path / "s"
    with Vesk(str(path)) as v:
        rid = records_in(v, "lab")["lab"]
    write_layers(path,
                 beliefs=[bel("d1", "work:d")],
                 patterns=[pat("p1", "Stable", namespace="pat", cause_belief_ids=["d1"], cause_record_ids=[rid]),
                           pat("p2", "Candidate", cause_belief_ids=["d1"], effect_belief_ids=["d1"]),
                           pat("p3", "Invalidated", cause_belief_ids=["d1"], effect_record_ids=[rid])],
                 hints=[hnt("q1", "Suppressed", trigger_belief_ids=["d1", "d1"], trigger_causal_ids=["p1"],
                            supporting_record_ids=[rid], cause_record_ids=[rid]),
                        hnt("q2", "Rejected", trigger_belief_ids=["d1"], trigger_causal_ids=["p1"])])
    with Vesk(str(path)) as v:
        assert v.get_correction_review_queue() == []
        log(v, path, ("belief", "d1", "deprecate", 1000), ("belief", "d1", "deprecate", 3000),
            ("experience", "exp:foo", "plasticity", 2000), ("experience", ":bar", "plasticity", 2000),
            ("record", rid, "flag", 500), ("causal_pattern", "p1", "invalidate", 400),
            ("belief", "gone:x", "deprecate", 400))
        queue = v.get_correction_review_queue()
        assert list(queue[0]) == REVIEW_KEYS
        # (target, i newest first, namespace, repeats, causal dependents, policy dependents)
        expected = {
            ("d1", 3000): (0, "work", 2, 2, 1), ("exp:foo", 2000): (1, "exp", 1, 0, 0),
            (":bar", 2000): (2, "default", 1, 0, 0), ("d1", 1000): (3, "work", 2, 2, 1),
            (rid, 500): (4, "lab", 1, 1, 1), ("p1", 400): (5, "pat", 1, 0, 1), ("gone:x", 400): (6, "gone", 1, 0, 0)}
        got = {(q["target_id"], q["timestamp"]): q for q in queue}
        assert set(got) == set(expected)
        for key, (i, ns, repeats, causal, policy) in expected.items():
            q = got[key]
            recency = max(f32(0.15), f32(1) - f32(0.85) * f32(i) / f32(7))
            score = f32(1.6) * f32(causal + policy) + f32(0.9) * f32(repeats - 1) + recency
            assert (q["namespace"], q["repeat_count"], q["dependent_causal_patterns"], q["dependent_policy_hints"],
                    q["downstream_impact"], q["priority_score"]) == (ns, repeats, causal, policy, causal + policy,
                                                                     float(score)), key
            assert q["severity"] == ("high" if score >= 5.0 else "medium" if score >= 2.5 else "low")
        assert got[("d1", 3000)]["title"] == "Review deprecate belief (why)"
        assert got[("d1", 3000)]["session_id"] == "session_1750000000000"
        # Score first; gone:x and p1 tie on time, so kind breaks the tie.
        assert [(q["target_id"], q["timestamp"]) for q in queue] == [
            ("d1", 3000), ("d1", 1000), (rid, 500), ("p1", 400), ("exp:foo", 2000), (":bar", 2000), ("gone:x", 400)]


def test_review_queue_single_entry_and_limits(tmp_path):
    path = tmp_path / "s"
    with Vesk(str(path)) as v:
        v.store("kiln")
        log(v, path, ("experience", "solo", "plasticity", 10))
        (only,) = v.get_correction_review_queue()
        assert (only["priority_score"], only["severity"], only["namespace"]) == (1.0, "low", "solo")
        log(v, path, *[("experience", f"e{i}", "plasticity", 20 + i) for i in range(60)])
        assert len(v.get_correction_review_queue()) == 10
        assert len(v.get_correction_review_queue(limit=100)) == 50
        assert v.get_correction_review_queue(limit=0) == []
        with pytest.raises(OverflowError):
            v.get_correction_review_queue(limit=-1)
        with pytest.raises(TypeError, match="argument 'limit': "):
            v.get_correction_review_queue(limit="3")


# ---- suggested corrections ----

def tie_volatility():
    # 4 x v equals 1.5 x (2 - 0.5) + 1.1 x 1 exactly in single precision.
    return float((f32(1.5) * (f32(2) - f32(0.5)) + f32(1.1) * f32(1)) / f32(4))


@pytest.fixture
def suggesting(tmp_path):
    path = tmp_path / "s"
    write_layers(path,
                 beliefs=[bel("v20", "work:a", records=["r9"], volatility=0.2, stability=2.0),
                          bel("v19", "work:b", volatility=0.19, stability=2.0),
                          bel("tie", "work:t", volatility=tie_volatility(), stability=0.5),
                          bel("uns", ":u", volatility=0.0, stability=0.5, winner_id=None)],
                 patterns=[pat("pa", "Stable", cause_belief_ids=["tie", "uns"], effect_belief_ids=["uns"]),
                           pat("pr", "Rejected", causal_strength=0.3, effect_record_ids=["e1", "e2"]),
                           pat("pc", "Candidate", counterevidence=2, causal_strength=0.9, cause_record_ids=["c0"]),
                           pat("pi", "Invalidated", counterevidence=5)],
                 hints=[hnt("hr", "Rejected", policy_strength=0.0, cause_record_ids=["c1"]),
                        hnt("hs", "Suppressed", policy_strength=0.5, supporting_record_ids=["s1"]),
                        hnt("hc", "Candidate"), hnt("hst", "Stable")])
    with Vesk(str(path)) as v:
        v.store("kiln")
        log(v, path, ("causal_pattern", "pr", "invalidate", 100), ("policy_hint", "hs", "retract", 200),
            ("policy_hint", "hs", "retract", 300))
        yield v


def test_suggestion_passes(suggesting):
    v = suggesting
    review = {q["target_id"]: q["priority_score"] for q in reversed(v.get_correction_review_queue(limit=50))}
    got = v.get_suggested_corrections(limit=50)
    assert list(got[0]) == SUGGESTION_KEYS
    by_id = {s["target_id"]: s for s in got}
    expected = {
        "v20": ("HighVolatility", "Deprecate", "work", f32(4) * f32(0.2), "r9",
                "belief volatility 0.20 exceeded bounded review threshold"),
        "tie": ("HighVolatility", "Deprecate", "work", f32(4) * f32(tie_volatility()), None,
                "belief volatility 0.84 exceeded bounded review threshold"),
        "uns": ("LowStabilityWithCausalPressure", "Deprecate", "", f32(1.5) * f32(1.5) + f32(1.1), None,
                "belief stability 0.50 is low while 1 causal patterns still depend on it"),
        "pr": ("InvalidationProne", "Invalidate", "work", f32(0.25) * f32(review["pr"]) + (f32(1) - f32(0.3)), "e1",
               "causal pattern has 0 counterevidence edges with strength 0.30"),
        "pc": ("InvalidationProne", "Invalidate", "work", f32(1.4) * f32(2) + (f32(1) - f32(0.9)), "c0",
               "causal pattern has 2 counterevidence edges with strength 0.90"),
        "hr": ("RepeatedSuppression", "Retract", "work", f32(1.8), "c1",
               "policy hint is rejected with strength 0.00 and repeat pressure 1"),
        "hs": ("RepeatedSuppression", "Retract", "work", f32(1.1) + f32(1.5) * f32(0.5) + f32(1.2), "s1",
               "policy hint is suppressed with strength 0.50 and repeat pressure 2"),
    }
    assert set(by_id) == set(expected)  # v19, pa, pi, hc and hst are not suggested
    for tid, (reason, action, ns, score, supporting, detail) in expected.items():
        s = by_id[tid]
        assert (s["reason_kind"], s["suggested_action"], s["namespace"], s["priority_score"],
                s["supporting_record_id"], s["reason_detail"], s["provenance"]) == (
            reason, action, ns, float(score), supporting, detail, None), tid
        assert s["severity"] == ("high" if score >= 3.8 else "medium" if score >= 2.2 else "low"), tid
    assert by_id["hr"]["severity"] == "low"
    scores = [s["priority_score"] for s in got]
    assert scores == sorted(scores, reverse=True)


def test_suggestion_report_limits_and_unstable_winner(suggesting, tmp_path):
    v = suggesting
    report = v.get_suggested_corrections_report()
    assert list(report) == ["scan_latency_ms", "entries"]
    assert report["scan_latency_ms"] >= 0.0
    assert report["entries"] == v.get_suggested_corrections()
    assert len(report["entries"]) == 7 and len(v.get_suggested_corrections(limit=3)) == 3
    assert v.get_suggested_corrections(limit=0) == [] and v.get_suggested_corrections_report(limit=0)["entries"] == []

    # The unstable pass wins once its score is the greater.
    path = tmp_path / "t"
    write_layers(path, beliefs=[bel(f"b{i}", f"n:{i}", volatility=0.3, stability=0.0) for i in range(60)],
                 patterns=[pat("pa", "Stable", cause_belief_ids=["b0"])])
    with Vesk(str(path)) as w:
        got = w.get_suggested_corrections(limit=100)
        assert len(got) == 50
        assert (got[0]["target_id"], got[0]["reason_kind"], got[0]["priority_score"]) == (
            "b0", "LowStabilityWithCausalPressure", float(f32(3) + f32(1.1)))


def test_suggestion_provenance_of_an_in_memory_record(tmp_path):
    path = tmp_path / "s"
    with Vesk(str(path)) as v:
        rid = v.store("the kiln cracked at 900 degrees")
    write_layers(path, beliefs=[bel("b1", "default:kiln", records=[rid], volatility=0.5)])
    with Vesk(str(path)) as v:
        (s,) = v.get_suggested_corrections()
        p = s["provenance"]
        assert (s["supporting_record_id"], p["record_id"], p["namespace"]) == (rid, rid, "default")
        assert p["steps"][0] == f"record {rid} in namespace default"
        assert p["build_latency_ms"] >= 0.0 and p["details"]["score"] == 0.0


# ---- namespace governance status ----

def test_governance_of_a_default_only_store(tmp_path):
    with Vesk(str(tmp_path / "s")) as v:
        assert v.get_namespace_governance_status() == []
        v.store("kiln")
        v.store("glaze")
        (g,) = v.get_namespace_governance_status()
        assert list(g) == GOVERNANCE_KEYS
        assert g == {"namespace": "default", "record_count": 2, "belief_count": 0, "correction_count": 0,
                     "correction_density": 0.0, "high_volatility_belief_count": 0, "low_stability_belief_count": 0,
                     "instability_score": 0.0, "instability_level": "low", "policy_pressure_area_count": 0,
                     "suggested_correction_count": 0, "last_maintenance_cycle": None, "latest_dominant_phase": "none"}


@pytest.fixture
def governed(tmp_path):
    path = tmp_path / "s"
    with Vesk(str(path)) as v:
        recs = records_in(v, "a", "a", "b", "c", "nocolon")
    write_layers(path,
                 beliefs=[bel("ba", "a:1", volatility=0.5, stability=0.5),
                          bel("bb", "b:x", volatility=0.1, stability=3.0),
                          bel("bc", "c:d:1", volatility=0.1, stability=3.0),
                          bel("bn", "nocolon", volatility=0.1, stability=3.0)],
                 hints=[hnt("hn", "Suppressed", namespace="b")])
    (path / "maintenance_trends.json").write_text(json.dumps([snapshot(1), snapshot(2)], indent=2), encoding="utf-8")
    with Vesk(str(path)) as v:
        log(v, path, ("record", recs["b"], "flag", 10), ("policy_hint", "hn", "retract", 20),
            ("belief", "bn", "deprecate", 30))
        yield v


def test_governance_counts_scores_and_levels(governed):
    got = {g["namespace"]: g for g in governed.get_namespace_governance_status()}
    assert list(got) == ["a", "b", "c", "nocolon"]
    # records, beliefs, corrections, high volatility, low stability, pressure areas, suggestions, score, level
    expected = {
        "a": (2, 1, 0, 1, 1, 0, 1, f32(1.5) + f32(1.2), "medium"),
        "b": (1, 1, 2, 0, 0, 1, 1, f32(3) * f32(2) + f32(0.8), "high"),
        "c": (1, 1, 0, 0, 0, 0, 0, 0.0, "low"),  # "c:d:1" begins with "c:"
        "nocolon": (1, 0, 1, 0, 0, 0, 0, f32(3), "medium"),
    }
    for ns, (records, beliefs, corrections, hv, ls, pressure, suggested, score, level) in expected.items():
        g = got[ns]
        assert (g["record_count"], g["belief_count"], g["correction_count"], g["high_volatility_belief_count"],
                g["low_stability_belief_count"], g["policy_pressure_area_count"], g["suggested_correction_count"],
                g["instability_score"], g["instability_level"]) == (
            records, beliefs, corrections, hv, ls, pressure, suggested, float(score), level), ns
        assert g["correction_density"] == float(f32(corrections) / f32(records))
        assert (g["last_maintenance_cycle"], g["latest_dominant_phase"]) == (snapshot(2)["timestamp"], "phase2")


@pytest.mark.parametrize("namespace, expected", [
    ("a", ["a"]), (["b", "a", "zz"], ["a", "b"]), (("c",), ["c"]), ("zz", []), ([], []),
])
def test_governance_filter(governed, namespace, expected):
    assert [g["namespace"] for g in governed.get_namespace_governance_status(namespace=namespace)] == expected


@pytest.mark.parametrize("namespace", [5, ["a", 1], b"a", {"a": 1}.keys()])
def test_governance_refuses_other_namespace_values(governed, namespace):
    with pytest.raises(TypeError, match=r"^namespace must be a str, list\[str\], or None$"):
        governed.get_namespace_governance_status(namespace=namespace)


def test_reports_run_beside_corrections_and_maintenance(governed):
    """Readers of the reports and writers of the layers on two threads: both
    finish (a reader asking again for a lock it holds would hang behind the
    writer)."""
    v = governed
    errors = []

    def read():
        try:
            for _ in range(30):
                v.get_suggested_corrections()
                v.get_namespace_governance_status()
                v.get_correction_review_queue()
        except Exception as e:  # pragma: no cover - reported below
            errors.append(e)

    def write():
        try:
            for i in range(30):
                v.deprecate_belief(["ba", "bb", "bc", "bn"][i % 4])
                v.store(f"more notes {i}", namespace="a")
            v.run_maintenance()
        except Exception as e:  # pragma: no cover - reported below
            errors.append(e)

    threads = [threading.Thread(target=read), threading.Thread(target=write)]
    for t in threads:
        t.start()
    for t in threads:
        t.join(timeout=120)
    assert not any(t.is_alive() for t in threads) and errors == []
