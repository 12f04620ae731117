"""Explained recall and its replay from Python."""

import pytest

from vesk._core import Vesk

SUMMARY_KEYS = ["evaluated_candidate_count", "selected_count", "rejected_count", "reported_rejected_count",
                "omitted_rejected_count", "rejection_counts"]
REPLAY_KEYS = ["original_trace_id", "replay_trace_id", "ranking_stable", "original_record_ids",
               "replay_record_ids", "added_record_ids", "removed_record_ids", "moved_record_ids",
               "max_score_delta"]


def test_explanation_shape_and_no_bookkeeping(store):
    rid = store.store("the harbour crane needs new cables")
    store.set_belief_rerank_mode("shadow")
    store.set_concept_surface_mode("inspect")
    store.set_causal_rerank_mode("off")
    store.set_policy_rerank_mode("limited")
    before = store.recall_hit_stats()
    e = store.explain_recall("harbour crane")
    assert e["trace_id"].startswith("mem_") and len(e["trace_id"]) == 36
    assert e["query"] == "harbour crane" and e["top_k"] == 20 and e["result_count"] == 1
    assert [e[k] for k in ("belief_rerank_mode", "concept_surface_mode", "causal_rerank_mode",
                           "policy_rerank_mode")] == ["Shadow", "Inspect", "Off", "Limited"]
    assert list(e["decision_summary"]) == SUMMARY_KEYS
    assert [i["record_id"] for i in e["items"]] == [rid]
    assert store.get(rid).activation_count == 0
    assert store.recall_hit_stats() == before


def test_rejected_candidates_and_sorted_reason_counts(store):
    store.store("the harbour crane needs new cables")
    store.store("the harbour crane lease", valid_until=1.0)
    e = store.explain_recall("harbour crane", top_k=0)
    summary = e["decision_summary"]
    assert summary["selected_count"] == 0 and e["items"] == []
    counts = summary["rejection_counts"]
    assert list(counts) == sorted(counts) and sum(counts.values()) >= summary["rejected_count"] > 0
    for c in e["rejected_candidates"]:
        assert list(c)[:4] == ["record_id", "namespace", "content_preview", "reasons"]
        assert c["reasons"] and c["belief"] is None


def test_replay_diff_and_unknown_ids(store):
    a = store.store("the harbour crane needs new cables")
    e = store.explain_recall("harbour crane")
    b = store.store("the harbour crane cables arrived")
    r = store.replay_recall(e["trace_id"])
    assert list(r) == REPLAY_KEYS
    assert r["original_trace_id"] == e["trace_id"] and r["replay_trace_id"] != e["trace_id"]
    assert r["original_record_ids"] == [a]
    assert r["added_record_ids"] == [b] and r["removed_record_ids"] == []
    assert set(r["replay_record_ids"]) == {a, b} and r["ranking_stable"] is False
    # The replay left its own baseline, which replays in turn.
    assert store.replay_recall(r["replay_trace_id"])["ranking_stable"] is True
    for bad in ["mem_nope", " " + e["trace_id"]]:
        with pytest.raises(KeyError) as info:
            store.replay_recall(bad)
        assert info.value.args == ("Unknown or expired recall trace: " + bad,)


def test_history_keeps_128_and_survives_reopen(tmp_path):
    path = str(tmp_path / "s")
    v = Vesk(path)
    v.store("the harbour crane needs new cables")
    first = v.explain_recall("harbour crane")["trace_id"]
    for _ in range(127):
        v.explain_recall("harbour crane")
    v.close()
    v = Vesk(path)
    assert v.replay_recall(first)["original_trace_id"] == first  # the 128th further one
    with pytest.raises(KeyError):
        v.replay_recall(first)
    v.close()


def test_deleting_a_ranked_record_drops_its_baseline(store):
    rid = store.store("the harbour crane needs new cables")
    trace = store.explain_recall("harbour crane")["trace_id"]
    store.delete(rid)
    with pytest.raises(KeyError):
        store.replay_recall(trace)
