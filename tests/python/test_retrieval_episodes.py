"""Retrieval episodes, evidence openings, finalisation and applicability from Python."""

import re

import pytest

from vesk._core import RetrievalEpisode, Vesk

SOURCE = b"The kiln reaches 1240 degrees at cone six."
SPAN = (4, 28)  # "kiln reaches 1240 degrees"


def _open(episode, rid, current=SOURCE, **kw):
    args = dict(record_id=rid, claim_id="claim-1", claim_text="the kiln is hot", route="timeline",
                support_keys=["Kiln  TEMP"], document_id="doc", revision_id="r1", uri="file:///doc",
                registered_source_bytes=SOURCE, current_source_bytes=current, byte_start=SPAN[0], byte_end=SPAN[1])
    args.update(kw)
    return episode.open_verified_evidence(**args)


def test_starting_an_episode(store):
    rid = store.store("the kiln reaches 1240 degrees")
    e = store.start_retrieval_episode("how hot is the kiln", [rid, rid])
    assert re.fullmatch(r"[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}", e.id)
    assert (e.query, e.routes, e.candidate_ids) == ("how hot is the kiln", ["timeline", "graph", "documentary"], [rid])
    assert store.start_retrieval_episode("q", [rid], [" TEMPORAL", "entity-graph", "timeline"]).routes == [
        "timeline", "graph"]
    bare = store.start_retrieval_episode("q", [rid], [])
    assert bare.routes == []
    with pytest.raises(ValueError, match="^route 'timeline' is not enabled for this retrieval episode$"):
        _open(bare, rid)
    for args, message in [
        (("q", [rid], ["x"]), "invalid memory route 'x'"),
        ((" ", [rid], ["x"]), "invalid memory route 'x'"),
        (("\u3000", [rid]), "retrieval episode query must not be empty"),
        (("q", [rid, " "]), "retrieval candidate ID must not be empty"),
        (("q", [f" {rid} "]), f"retrieval candidate record ' {rid} ' does not exist"),
    ]:
        with pytest.raises(ValueError) as caught:
            store.start_retrieval_episode(*args)
        assert str(caught.value) == message
    with pytest.raises(TypeError, match="No constructor defined for RetrievalEpisode"):
        RetrievalEpisode()


@pytest.mark.parametrize(
    "status, permission, current, admission, reason, integrity",
    [
        ("verified", "cite", SOURCE, "cite", "citable", True),
        ("verified", "cite", SOURCE.replace(b"1240", b"1250"), "block", "lineage_invalid", False),
        ("contested", "cite", SOURCE, "block", "evidence_blocked", True),
        ("candidate", "cite", SOURCE, "context_only", "context_only", True),
    ],
)
def test_openings(store, status, permission, current, admission, reason, integrity):
    rid = store.store("the kiln reaches 1240 degrees")
    e = store.start_retrieval_episode("q", [rid])
    opened = _open(e, f" {rid}\t", current=current, verification_status=status, answer_permission=permission,
                   support_keys=["Kiln  TEMP", "kiln temp"])
    assert list(opened) == ["record_id", "claim_id", "route", "admission", "integrity_valid", "document_id",
                            "revision_id", "span_hash", "support_keys", "citable", "reason"]
    assert (opened["record_id"], opened["admission"], opened["reason"]) == (rid, admission, reason)
    assert (opened["integrity_valid"], opened["citable"]) == (integrity, admission == "cite")
    assert opened["support_keys"] == ["kiln temp"] and len(opened["span_hash"]) == 64
    with pytest.raises(ValueError, match=f"^record '{rid}' was already opened in this retrieval episode$"):
        _open(e, rid)


def test_opening_refusals_change_nothing(store):
    rid = store.store("the kiln reaches 1240 degrees")
    e = store.start_retrieval_episode("q", [rid], ["graph"])
    for kw, message in [
        (dict(route="nowhere"), "invalid memory route"),
        (dict(route="graph", verification_status="sure"), "invalid verification_status"),
        (dict(route="graph", answer_permission="allow"), "invalid answer_permission"),
        (dict(route="graph", byte_start=3, byte_end=3), "source span must not be empty"),
        (dict(route="graph", byte_end=len(SOURCE) + 1, current_source_bytes=SOURCE * 2),
         "source span is outside document bounds"),
        (dict(route="graph", record_id="other"), "record 'other' was not a retrieval candidate"),
        (dict(route="timeline"), "route 'timeline' is not enabled for this retrieval episode"),
        (dict(route="graph", claim_id=" "), "evidence claim ID must not be empty"),
        (dict(route="graph", support_keys=["ok", "\t"]), "support keys must not contain an empty value"),
    ]:
        with pytest.raises(ValueError) as caught:
            _open(e, rid, **kw)
        assert str(caught.value) == message
    with pytest.raises(TypeError, match="registered_source_bytes"):
        _open(e, rid, route="graph", registered_source_bytes="text")
    opened = _open(e, rid, route="graph", registered_source_bytes=list(SOURCE), current_source_bytes=bytearray(SOURCE))
    assert opened["admission"] == "context_only"


def test_finalize(store):
    ids = [store.store(f"note {i} about the kiln") for i in range(3)]
    e = store.start_retrieval_episode("q", ids)
    _open(e, ids[0], verification_status="verified", answer_permission="cite", support_keys=["kiln TEMP", "cone"])
    _open(e, ids[1], verification_status="candidate", answer_permission="cite", support_keys=["glaze"])
    allow = e.finalize(True, [f" {ids[0]} ", ids[0]], ["Kiln   temp"])
    assert list(allow) == ["episode_id", "decision", "answer_permitted", "reasons", "citations", "opened_record_ids",
                           "unsupported_claim_keys", "unused_opened_record_ids", "all_citations_opened",
                           "all_citations_citable", "all_claims_supported"]
    assert (allow["episode_id"], allow["decision"], allow["answer_permitted"], allow["reasons"]) == (
        e.id, "allow", True, [])
    assert allow["citations"] == [ids[0]] and allow["unused_opened_record_ids"] == [ids[1]]
    assert e.finalize(True, [f" {ids[0]} ", ids[0]], ["Kiln   temp"]) == allow

    empty = e.finalize(True, [], [])
    assert (empty["decision"], empty["reasons"]) == ("block", ["missing_citation", "missing_atomic_claim_keys"])
    assert (empty["all_citations_opened"], empty["all_citations_citable"], empty["all_claims_supported"]) == (
        True, True, False)
    mixed = e.finalize(True, sorted(ids), ["glaze", "cone"])
    expected = [f"citation_not_citable:{ids[1]}", f"citation_not_opened:{ids[2]}", "atomic_claim_unsupported:glaze"]
    assert sorted(mixed["reasons"][:2]) == sorted(expected[:2]) and mixed["reasons"][2:] == expected[2:]
    assert mixed["unsupported_claim_keys"] == ["glaze"]
    assert not mixed["all_citations_opened"] and not mixed["all_citations_citable"]
    assert e.finalize(False, [], ["x"])["reasons"] == ["answer_abstained"]
    assert e.finalize(False, [], ["x"])["decision"] == "abstain"
    assert e.finalize(False, [ids[0]], [])["reasons"] == ["abstention_must_not_cite"]


def test_an_episode_outlives_its_store(tmp_path):
    v = Vesk(str(tmp_path / "s"))
    rid = v.store("the kiln reaches 1240 degrees")
    e = v.start_retrieval_episode("q", [rid])
    v.close()
    assert _open(e, rid)["record_id"] == rid and e.finalize(False, [], [])["decision"] == "abstain"


def test_applicability(store):
    bare = store.store("no requirements here")
    rid = store.store("run the kiln script", metadata={"applicability.require.os": "READY",
                                                        "applicability.require.shell": "bash"})
    d = store.evaluate_applicability(bare, {})
    assert list(d) == ["record_id", "decision", "requirements_total", "matched_fields", "missing_fields",
                       "invalid_requirement_fields", "reasons", "conflicting_fields", "mismatches"]
    assert (d["decision"], d["reasons"], d["requirements_total"]) == ("unknown", ["no_declared_requirements"], 0)
    use = store.evaluate_applicability(rid, {"os": [" ready "], "shell": ["BASH"]})
    assert (use["decision"], use["reasons"], use["matched_fields"]) == (
        "use", ["all_requirements_satisfied"], ["os", "shell"])
    conflict = store.evaluate_applicability(rid, {"os": ["ready", "Busy"], "shell": ["bash"]})
    assert (conflict["decision"], conflict["reasons"]) == ("unknown", ["conflicting_current_state"])
    assert conflict["conflicting_fields"] == [{"field": "os", "values": ["busy", "ready"]}]
    reject = store.evaluate_applicability(rid, {"os": ["busy"]})
    assert (reject["decision"], reject["reasons"], reject["missing_fields"]) == (
        "reject", ["hard_requirement_mismatch"], ["shell"])
    assert reject["mismatches"] == [{"field": "os", "expected": "READY", "actual": ["busy"]}]
    assert store.evaluate_applicability("nope", {}) is None
    with pytest.raises(TypeError):
        store.evaluate_applicability(rid, {"os": "ready"})
