"""Consequence units from Python: capture, the record that holds a unit,
reading units back, the belief marking of a capture, and the verdicts and
policy hints drawn from the units."""

import json
import os
import pathlib

import pytest

from vesk._core import Vesk

UNIT_KEYS = ["record_id", "situation", "action", "consequence", "trust", "scope", "provenance", "links",
             "namespace", "captured_at", "polarity", "readout"]


def belief_file(verdict):
    """A belief layer of one belief "b1" whose hypothesis "h1" owns record "r1"."""
    belief = {"id": "b1", "key": "kiln|1", "hypothesis_ids": ["h1"], "winner_id": "h1", "state": "Singleton",
              "score": 0.5, "confidence": 0.5, "support_mass": 1.0, "conflict_mass": 0.0, "stability": 0.9,
              "volatility": 0.1, "world_verdict": verdict, "last_updated": 1750000000.5}
    hypothesis = {"id": "h1", "belief_id": "b1", "prototype_record_ids": ["r1"], "score": 0.5, "confidence": 0.5,
                  "support_mass": 1.0, "conflict_mass": 0.0, "recency": 1.0, "consistency": 1.0}
    return json.dumps({"beliefs": {"b1": belief}, "hypotheses": {"h1": hypothesis}, "key_index": {"kiln|1": "b1"},
                       "record_index": {"r1": "h1"}, "coarse_key_mode": "Standard", "claim_similarity_override": None,
                       "embedding_similarity_override": None}, separators=(",", ":"))


def world_verdict(store_dir):
    return json.loads(pathlib.Path(store_dir, "beliefs.cog").read_text())["beliefs"]["b1"]["world_verdict"]


def corrections(store_dir):
    lines = pathlib.Path(store_dir, "brain.audit").read_text().splitlines()
    return [json.loads(line)["action"]["correction"] for line in lines if '"correction"' in line]


def test_capture_stores_the_unit_record(store):
    unit = store.capture_consequence(" deploy on friday ", "skip the tests", "outage", trust=-2, scope=["prod"])
    assert list(unit) == UNIT_KEYS
    assert unit["polarity"] == "refutes" and unit["situation"] == "deploy on friday"
    assert unit["provenance"] == ["sdk:capture_consequence"] and unit["links"] == {}
    assert unit["readout"] == "state `deploy on friday` action `skip the tests` consequence `outage` trust -2 scope [prod]"
    r = store.get(unit["record_id"])
    assert r.content == ("[CONSEQUENCE] situation=deploy on friday | action=skip the tests | consequence=outage"
                         " | trust=-2 | scope=prod")
    assert r.tags == ["consequence-unit", "outcome", "consequence-refute", "scope:prod"]
    assert (r.content_type, r.semantic_type, r.source_type, r.namespace) == ("json", "decision", "recorded", "default")
    m = r.metadata
    assert (m["kind"], m["cu_trust"], m["cu_provenance"], m["cu_scope"]) == (
        "consequence_unit", "-2", "sdk:capture_consequence", "prod")
    assert "cu_links" not in m
    assert len(m["cu_captured_at"].split(".")[1]) == 6
    # Read back, the capture time is the stored text's (microseconds).
    back = store.get_consequence_unit(unit["record_id"])
    assert back["captured_at"] == float(m["cu_captured_at"]) == pytest.approx(unit["captured_at"], abs=1e-6)
    assert {**back, "captured_at": unit["captured_at"]} == unit
    assert store.explain_consequence_unit(unit["record_id"]) == unit["readout"]


def test_scope_is_kept_as_passed_in_the_content_and_trimmed_when_read_back(store):
    unit = store.capture_consequence("s", "a", "ok", scope=[" x ", "", "y"], provenance=[])
    assert unit["scope"] == [" x ", "", "y"] and unit["provenance"] == ["sdk:capture_consequence"]
    r = store.get(unit["record_id"])
    assert r.content.endswith("| scope= x ,,y")
    assert r.metadata["cu_scope"] == " x \n\ny"
    assert r.tags[3:] == ["scope:x", "scope:y"]
    assert store.get_consequence_unit(unit["record_id"])["scope"] == ["x", "y"]
    empty = store.get(store.capture_consequence("s", "a", "ok")["record_id"])
    assert empty.content.endswith("| scope=") and empty.metadata["cu_scope"] == "" and len(empty.tags) == 3


@pytest.mark.parametrize("args, kwargs, message", [
    (("  ", "a", "b"), {}, "Consequence situation cannot be empty"),
    (("s", "", "b"), {}, "Consequence action cannot be empty"),
    (("s", "a", " \n"), {}, "Consequence result cannot be empty"),
    (("s", "a", "b"), {"namespace": ""}, "Namespace cannot be empty"),
    (("s", "a", "b"), {"namespace": "a b"}, "Namespace must contain only ASCII"),
])
def test_refused_captures_store_nothing(store, args, kwargs, message):
    with pytest.raises(RuntimeError, match=message):
        store.capture_consequence(*args, **kwargs)
    assert store.count() == 0


def test_reserved_and_wrongly_typed_arguments(store):
    with pytest.raises(TypeError, match="scope"):
        store.capture_consequence("s", "a", "b", scope="prod")
    with pytest.raises(TypeError, match="trust"):
        store.capture_consequence("s", "a", "b", trust=None)
    with pytest.raises(OverflowError):
        store.capture_consequence("s", "a", "b", trust=2**31)
    # Other writers may not forge a unit.
    with pytest.raises(RuntimeError, match="reserved"):
        store.store("x", tags=["consequence-unit"])
    assert store.count() == 0


@pytest.mark.parametrize("trust, consequence, polarity, tag", [
    (5, "meh", "supports", "consequence-support"),
    (0, " FAILED ", "refutes", "consequence-refute"),
    (-1, "Success", "supports", "consequence-support"),
    (0, "meh", "inconclusive", "consequence-inconclusive"),
    (1, "failed", "supports", "consequence-support"),
    (0, "it failed", "inconclusive", "consequence-inconclusive"),
])
def test_polarity_of_trust_and_wording(store, trust, consequence, polarity, tag):
    unit = store.capture_consequence("s", "a", consequence, trust=trust)
    assert unit["polarity"] == polarity
    assert store.get(unit["record_id"]).tags[2] == tag


def test_world_facts(store):
    rid = store.record_world_fact("s", "a", " Supports ")
    unit = store.get_consequence_unit(rid)
    assert (unit["trust"], unit["consequence"], unit["provenance"]) == (1, "world fact: supports",
                                                                         ["world:executable_judge"])
    assert store.get_consequence_unit(store.record_world_fact("s", "a", "refute"))["trust"] == -1
    for fact in ["inconclusive", "maybe"]:
        assert store.record_world_fact("", "a", fact) is None
    assert store.count() == 2


def test_reading_back_what_is_not_a_unit(store):
    plain = store.store("an ordinary record")
    for rid in [plain, "000000000000"]:
        assert store.get_consequence_unit(rid) is None
        assert store.explain_consequence_unit(rid) is None
    assert store.get_consequence_units() == []


def test_listing_filters_clamps_and_orders_newest_first(store):
    ids = [store.capture_consequence(f"deploy {i}", "skip the tests" if i == 1 else "run them", "outage",
                                     scope=["prod"], namespace="ops" if i == 2 else None)["record_id"]
           for i in range(3)]
    listed = store.get_consequence_units()
    assert [u["record_id"] for u in listed] == ids[::-1]
    assert [u["record_id"] for u in store.get_consequence_units(limit=0)] == [ids[2]]
    assert [u["record_id"] for u in store.get_consequence_units(query=" TESTS ")] == [ids[1]]
    assert len(store.get_consequence_units(query="PROD")) == 3  # a scope entry
    assert [u["record_id"] for u in store.get_consequence_units(namespace="ops")] == [ids[2]]
    assert store.get_consequence_units(query="nowhere") == []


def test_listing_limit_defaults_to_20_and_caps_at_500(store):
    for i in range(505):
        store.capture_consequence("s", f"a{i}", "ok")
    assert len(store.get_consequence_units()) == 20
    assert len(store.get_consequence_units(limit=1000)) == 500
    times = [u["captured_at"] for u in store.get_consequence_units(limit=500)]
    assert times == sorted(times, reverse=True)


def test_links_connect_records_of_the_same_namespace_only(store):
    here = store.store("the record the unit is about")
    there = store.store("a record elsewhere", namespace="other")
    unit = store.capture_consequence("s", "a", "outage", links={here: "caused", there: "caused", "nope": "x"})
    assert unit["links"] == {here: "caused", there: "caused", "nope": "x"}
    assert json.loads(store.get(unit["record_id"]).metadata["cu_links"]) == unit["links"]
    assert store.get(unit["record_id"]).connection_types == {here: "caused"}
    assert store.get(here).connections[unit["record_id"]] == pytest.approx(0.8)
    assert store.get_consequence_unit(unit["record_id"])["links"] == unit["links"]


@pytest.fixture
def belief_store_dir(tmp_path):
    def make(verdict):
        d = tmp_path / verdict
        os.makedirs(d)
        (d / "beliefs.cog").write_text(belief_file(verdict))
        return str(d)
    return make


def test_a_refutation_marks_a_belief_once_and_for_good(belief_store_dir):
    d = belief_store_dir("EvidenceDebt")
    with Vesk(d) as v:
        unit = v.capture_consequence("s", "a", "failed", links={"belief:b1": "about"})
        assert world_verdict(d) == "Refuted"
        assert corrections(d) == [{"target_kind": "belief", "target_id": "b1", "operation": "world_refute",
                                   "reason": "consequence_unit:" + unit["record_id"]}]
        assert v.get(unit["record_id"]).connections == {}
        v.capture_consequence("s", "a", "ok", links={"belief:b1": "about"})
        assert world_verdict(d) == "Refuted" and len(corrections(d)) == 1


@pytest.mark.parametrize("before, link, consequence, after, operation", [
    ("EvidenceDebt", "b1", "passed", "Confirmed", "world_confirm"),
    ("Confirmed", "belief: b1", "passed", "Confirmed", None),
    ("Confirmed", " belief:b1 ", "refuted", "Refuted", "world_refute"),
    ("EvidenceDebt", "belief:b1", "meh", "EvidenceDebt", None),
    ("EvidenceDebt", "belief:b2", "failed", "EvidenceDebt", None),
    ("EvidenceDebt", "r1", "failed", "Refuted", "world_refute"),  # a record of one of its hypotheses
])
def test_belief_marking(belief_store_dir, before, link, consequence, after, operation):
    d = belief_store_dir(before)
    with Vesk(d) as v:
        v.capture_consequence("s", "a", consequence, links={link: "about"})
    assert world_verdict(d) == after
    assert [c["operation"] for c in corrections(d)] == ([operation] if operation else [])


def test_verdicts_and_hints(store):
    for i in range(3):
        store.capture_consequence("Deploy  On Friday ", "skip the tests", "ok")
    assert store.consequence_verdict("deploy  on friday", "skip the tests") == {
        "verdict": "supports", "supports": 3, "refutes": 0, "inconclusive": 0, "abstain": False}
    assert store.policy_hint("deploy  on friday", "skip the tests")["hint"] == "prefer"
    store.capture_consequence("deploy on friday", "skip the tests", "outage", trust=-1, namespace="ops")
    store.capture_consequence("deploy on friday", "skip all tests", "outage", trust=-1)
    verdict = store.consequence_verdict(" deploy on friday", "SKIP THE TESTS")
    assert verdict == {"verdict": "refutes", "supports": 0, "refutes": 1, "inconclusive": 0, "abstain": False}
    assert store.consequence_verdict("deploy  on friday", "skip the tests") == {
        "verdict": "supports", "supports": 3, "refutes": 0, "inconclusive": 0, "abstain": False}
    assert store.consequence_verdict("deploy on friday", "skip the tests", namespace="default")["refutes"] == 0
    store.capture_consequence("Deploy  On Friday ", "skip the tests", "failed")
    hint = store.policy_hint("  Deploy  On Friday ", "skip the tests ", namespace="default")
    assert hint == {"situation": "Deploy  On Friday", "action": "skip the tests", "hint": "avoid",
                    "reason": "Prior lived consequence refuted this action in this situation.",
                    "verdict": "refutes", "supports": 3, "refutes": 1, "requires_evidence": False,
                    "should_block": True, "scar": True}
    assert store.should_abstain_on("deploy  on friday", "skip the tests") is False
    assert store.policy_hint("deploy on friday", "skip the tests", namespace="ops")["scar"] is False


def test_no_units_and_only_inconclusive_units_mean_verify_first(store):
    store.capture_consequence("s", "a", "meh")
    for situation, inconclusive in [("s", 1), ("t", 0)]:
        assert store.consequence_verdict(situation, "a") == {
            "verdict": "inconclusive", "supports": 0, "refutes": 0, "inconclusive": inconclusive, "abstain": True}
        assert store.should_abstain_on(situation, "a") is True
        hint = store.policy_hint(situation, "a")
        assert (hint["hint"], hint["requires_evidence"], hint["should_block"]) == ("verify_first", True, False)
        assert hint["reason"] == "No lived consequence is available; verify before treating this as known."
    assert store.consequence_verdict("s", "a", namespace="other")["inconclusive"] == 0
