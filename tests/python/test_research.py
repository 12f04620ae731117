"""Research projects: the query plan, plain and evidence findings, the
report a completed project stores, and what a reopen keeps."""

import hashlib
import re

import pytest

from vesk._core import Vesk

SOURCE = b"The quick brown fox jumps over the lazy dog."


@pytest.mark.parametrize(
    "depth, queries, recorded",
    [(None, 4, "standard"), ("quick", 2, "quick"), ("deep", 7, "deep"), ("Deep", 4, "Deep"), ("wide", 4, "wide")],
)
def test_start_plans_queries_by_depth(store, depth, queries, recorded):
    plan = store.start_research("T", depth)
    assert list(plan) == ["id", "topic", "depth", "queries"]
    assert re.fullmatch(r"[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}", plan["id"])
    assert plan["topic"] == "T" and plan["depth"] == recorded
    assert plan["queries"] == [f"T query {n}" for n in range(1, queries + 1)]
    assert store.count() == 0  # nothing written yet
    assert store.start_research("T", depth)["id"] != plan["id"]


def evidence(store, pid, status="candidate", permission="context_only", **kw):
    args = dict(byte_start=4, byte_end=9, verification_status=status, answer_permission=permission)
    args.update(kw)
    return store.add_research_evidence_finding(
        pid, "q", "r", "doc-1", "rev-1", "https://example.org/doc", args.pop("source_bytes", SOURCE), **args
    )


@pytest.mark.parametrize(
    "status, permission, admission",
    [
        ("candidate", "cite", "context_only"),
        ("verified", "cite", "cite"),
        ("refuted", "cite", "block"),
        ("verified", "block", "block"),
        (" Verified ", "context-only", "context_only"),
    ],
)
def test_evidence_finding_admission(store, status, permission, admission):
    pid = store.start_research("T")["id"]
    got = evidence(store, pid, status, permission)
    assert got == {
        "admission": admission,
        "integrity_valid": True,
        "document_id": "doc-1",
        "revision_id": "rev-1",
        "content_hash": hashlib.sha256(SOURCE).hexdigest(),
        "span_hash": hashlib.sha256(SOURCE[4:9]).hexdigest(),
        "byte_start": 4,
        "byte_end": 9,
    }


PAGES = "page_start and page_end must be present together and ordered"


@pytest.mark.parametrize(
    "kw, error, message",
    [
        ({"status": "sure", "byte_start": 9, "byte_end": 4}, ValueError, "invalid verification_status"),
        ({"permission": "maybe"}, ValueError, "invalid answer_permission"),
        ({"byte_start": 5, "byte_end": 5}, RuntimeError, "source span must not be empty"),
        ({"byte_end": len(SOURCE) + 1}, RuntimeError, "source span is outside document bounds"),
        ({"byte_start": 9, "byte_end": 4}, RuntimeError, "source span is outside document bounds"),
        ({"page_start": 3, "page_end": 2}, RuntimeError, PAGES),
        ({"page_end": 2}, RuntimeError, PAGES),
        ({"page_start": 2}, RuntimeError, PAGES),
        ({"page_start": 2**32}, OverflowError, None),
        ({"source_bytes": "text"}, TypeError, "argument 'source_bytes'"),
    ],
)
def test_evidence_finding_refusals_store_nothing(store, kw, error, message):
    pid = store.start_research("T")["id"]
    with pytest.raises(error) as e:
        evidence(store, pid, **kw)
    if message:
        assert message in str(e.value)
    store.complete_research(pid)
    report = store.get(store.get_project_timeline(pid).entries[0].record_id)
    assert report.metadata["finding_count"] == "0"


def test_findings_need_an_active_known_project(store):
    with pytest.raises(RuntimeError, match=r"^Project nope not found$"):
        store.add_research_finding("nope", "q", "r")
    with pytest.raises(RuntimeError, match=r"^Project nope not found$"):
        evidence(store, "nope")
    with pytest.raises(RuntimeError, match=r"^Project nope not found$"):
        store.complete_research("nope")
    pid = store.start_research("T")["id"]
    assert evidence(store, pid, page_start=2, page_end=2, cell_range="  ")["admission"] == "context_only"
    store.complete_research(pid)
    with pytest.raises(RuntimeError, match=r"^Project is not active$"):
        store.add_research_finding(pid, "q", "r")
    with pytest.raises(RuntimeError, match=r"^Project is not active$"):
        evidence(store, pid)


def reports(store, pid):
    timeline = store.get_project_timeline(pid)
    return [store.get(e.record_id) for e in timeline.entries if e.kind == "research-report"]


def test_report_without_findings_or_synthesis(store):
    pid = store.start_research("T")["id"]
    rid = store.complete_research(pid)
    report = store.get(rid)
    assert report.content == "Research: T\n\nFindings:\n"
    assert report.tags == ["research-report"] and report.source_type == "retrieved"
    assert {k: report.metadata[k] for k in REPORT_KEYS} == {
        "project_id": pid,
        "entity_id": "project:" + pid,
        "project_topic": "T",
        "project_depth": "standard",
        "project_status": "completed",
        "finding_count": "0",
        "evidence_aware": "false",
        "admitted_finding_count": "0",
        "context_only_finding_count": "0",
        "blocked_finding_count": "0",
        "synthesis_omitted_for_evidence_safety": "false",
    }
    anchor = store.get(store.get_project_graph(pid).project_record_id)
    assert anchor.content == f"Research Project: T\nDepth: standard\nStatus: completed\nProject ID: {pid}"
    assert anchor.metadata["project_status"] == "completed"
    # Completing again is allowed and writes a second report.
    store.complete_research(pid)
    assert len(reports(store, pid)) == 2


REPORT_KEYS = (
    "project_id", "entity_id", "project_topic", "project_depth", "project_status", "finding_count",
    "evidence_aware", "admitted_finding_count", "context_only_finding_count", "blocked_finding_count",
    "synthesis_omitted_for_evidence_safety",
)


def test_synthesis_is_the_body_only_without_evidence(store):
    plain = store.start_research("P")["id"]
    store.add_research_finding(plain, "q1", "r1", "https://reuters.com/a")
    assert store.get(store.complete_research(plain, "All is well.")).content == "Research: P\n\nAll is well."

    pid = store.start_research("T")["id"]
    store.add_research_finding(pid, "q1", "r1")
    for query, status in (("q2", "verified"), ("q3", "candidate"), ("q4", "refuted")):
        store.add_research_evidence_finding(
            pid, query, "r", "d", "v", "https://example.org", SOURCE, 0, 3, status, "cite"
        )
    report = store.get(store.complete_research(pid, "Trust me."))
    assert report.content == (
        "Research: T\n\nAdmitted findings:\n- q1: r1\n- [citable] q2: r\n- [context only] q3: r"
    )
    assert {k: report.metadata[k] for k in REPORT_KEYS[5:]} == {
        "finding_count": "4",
        "evidence_aware": "true",
        "admitted_finding_count": "1",
        "context_only_finding_count": "1",
        "blocked_finding_count": "1",
        "synthesis_omitted_for_evidence_safety": "true",
    }


def test_projects_do_not_survive_a_reopen_but_their_records_do(tmp_path):
    path = str(tmp_path / "s")
    with Vesk(path) as v:
        pid = v.start_research("T")["id"]
        v.store_project_note(pid, "a note")  # writes the anchor first
    with Vesk(path) as v:
        with pytest.raises(RuntimeError, match=rf"^Project {pid} not found$"):
            v.add_research_finding(pid, "q", "r")
        graph = v.get_project_graph(pid)
        assert graph.project_id == pid and graph.project_topic == "T" and graph.relation_count == 1
