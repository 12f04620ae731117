"""The belief layer as a maintenance cycle builds it: claim records grouped
by key and similarity into beliefs, their resolution, the belief lookups and
the embedding threshold, and the contradiction clusters over them."""

import json
import math
import re

import pytest

from vesk._core import BeliefPhaseReport, Vesk

PORT_A = "the staging database listens on port 5432"
PORT_B = "the staging database listens on port 5433"


def layer(path):
    return json.loads((path / "beliefs.cog").read_text(encoding="utf-8"))


@pytest.fixture
def store_dir(tmp_path):
    return tmp_path / "store"


def report_of(r):
    b = r.belief
    return dict(created=b.beliefs_created, pruned=b.beliefs_pruned, revisions=b.revisions, resolved=b.resolved,
                unresolved=b.unresolved, total=b.total_beliefs, hypotheses=b.total_hypotheses, churn=b.churn_rate)


def test_two_agreeing_claims_make_one_belief_that_settles(store_dir):
    with Vesk(str(store_dir)) as v:
        a = v.store(PORT_A, tags=["db"])
        b = v.store(PORT_B, tags=["db"])
        assert v.get_belief_id_for_record(a) is None
        first = report_of(v.run_maintenance())
        assert first == dict(created=1, pruned=0, revisions=0, resolved=1, unresolved=0, total=1, hypotheses=1,
                             churn=0.0)
        bid = v.get_belief_id_for_record(a)
        assert re.fullmatch(r"[0-9a-f]{12}", bid)
        assert v.get_belief_id_for_record(b) == bid

        second = report_of(v.run_maintenance())
        assert (second["created"], second["revisions"], second["resolved"]) == (0, 0, 1)
        assert v.get_belief_id_for_record(a) == bid
        saved = layer(store_dir)["beliefs"][bid]
        assert (saved["state"], saved["stability"], saved["key"]) == ("Singleton", 2.0, "default:db:fact")
        assert saved["winner_id"] == saved["hypothesis_ids"][0]
        assert v.get_contradiction_clusters() == []  # resolved and stable
    # Ids live in beliefs.cog: a reopened store answers without a cycle.
    with Vesk(str(store_dir)) as v:
        assert v.get_belief_id_for_record(a) == bid


def test_a_dissimilar_claim_splits_the_group_and_gets_no_belief(store_dir):
    with Vesk(str(store_dir)) as v:
        a = v.store(PORT_A, tags=["db"])
        b = v.store(PORT_B, tags=["db"])
        c = v.store("our invoices are printed every monday morning", tags=["db"])
        v.run_maintenance()
        bid = v.get_belief_id_for_record(a)
        assert bid is not None and v.get_belief_id_for_record(b) == bid
        assert v.get_belief_id_for_record(c) is None
    assert layer(store_dir)["beliefs"][bid]["key"] in ("default:db:fact#0", "default:db:fact#1")


def test_a_contradiction_unsettles_the_belief_and_forms_a_cluster(store_dir):
    with Vesk(str(store_dir)) as v:
        a = v.store(PORT_A, tags=["db"])
        b = v.store(PORT_B, tags=["db"])
        v.run_maintenance()
        bid = v.get_belief_id_for_record(a)
        v.connect(a, b, relationship="contradicts")
        r = report_of(v.run_maintenance())
        assert (r["unresolved"], r["resolved"], r["revisions"], r["churn"]) == (1, 0, 1, 1.0)
        assert v.get_belief_id_for_record(a) == v.get_belief_id_for_record(b) == bid
        saved = layer(store_dir)["beliefs"][bid]
        assert (saved["state"], saved["winner_id"], saved["stability"]) == ("Unresolved", None, 0.0)
        assert len(saved["hypothesis_ids"]) == 2

        (cluster,) = v.get_contradiction_clusters()
        assert (cluster.namespace, cluster.belief_ids, cluster.unresolved_belief_count) == ("default", [bid], 1)
        assert cluster.belief_keys == ["default:db:fact"]
        assert sorted(cluster.record_ids) == sorted([a, b])
        assert cluster.shared_tags == ["db"]
        assert re.fullmatch(r"[0-9a-f]{12,16}", cluster.id)
        assert v.get_contradiction_clusters(namespace="default", limit=500)[0].id == cluster.id
        assert v.get_contradiction_clusters(limit=0) == []
        assert v.get_contradiction_clusters(namespace="other") == []
        with pytest.raises(TypeError, match="argument 'limit': "):
            v.get_contradiction_clusters(limit="1")
        with pytest.raises(OverflowError):
            v.get_contradiction_clusters(limit=-1)


def test_belief_lookup_and_threshold_arguments(store_dir):
    with Vesk(str(store_dir)) as v:
        assert v.get_belief_id_for_record("nope") is None
        with pytest.raises(TypeError, match="argument 'record_id': "):
            v.get_belief_id_for_record(5)
        v.set_embedding_claim_threshold(0.85)
        with pytest.raises(TypeError, match="argument 'threshold': "):
            v.set_embedding_claim_threshold("x")
        v.run_maintenance()
        assert layer(store_dir)["embedding_similarity_override"] == pytest.approx(0.85)
        v.set_embedding_claim_threshold(None)
        v.run_maintenance()
        assert layer(store_dir)["embedding_similarity_override"] is None
        # No range test: the value is stored as given.
        for value in (0, -1.5, 2):
            v.set_embedding_claim_threshold(value)
            v.run_maintenance()
            assert layer(store_dir)["embedding_similarity_override"] == value


def test_embeddings_join_claims_only_with_a_threshold(store_dir):
    with Vesk(str(store_dir)) as v:
        a = v.store("the kiln reaches nine hundred degrees", tags=["kiln"])
        b = v.store("glaze firing needs a slow cooling phase", tags=["kiln"])
        v.store_embedding(a, [1.0, 0.0, 0.0])
        v.store_embedding(b, [0.95, math.sqrt(1 - 0.95 ** 2), 0.0])
        v.run_maintenance()
        assert v.get_belief_id_for_record(a) is None
        v.set_embedding_claim_threshold(0.9)
        v.run_maintenance()
        assert v.get_belief_id_for_record(a) is not None
        assert v.get_belief_id_for_record(a) == v.get_belief_id_for_record(b)
        v.set_embedding_claim_threshold(0.99)
        r = v.run_maintenance()
        assert v.get_belief_id_for_record(a) is None
        assert r.belief.beliefs_pruned == 1


def test_the_coarse_key_mode_of_a_loaded_layer_groups_the_claims(store_dir):
    store_dir.mkdir()
    (store_dir / "beliefs.cog").write_text(json.dumps(
        {"beliefs": {}, "hypotheses": {}, "key_index": {}, "record_index": {}, "coarse_key_mode": "SemanticOnly",
         "claim_similarity_override": 0.01, "embedding_similarity_override": None}), encoding="utf-8")
    with Vesk(str(store_dir)) as v:
        a = v.store(PORT_A, tags=["db"])
        b = v.store(PORT_B, tags=["network"])
        untagged = v.store("the staging database listens on port 5434")
        v.run_maintenance()
        bid = v.get_belief_id_for_record(a)
        assert bid is not None
        assert v.get_belief_id_for_record(b) == v.get_belief_id_for_record(untagged) == bid
    saved = layer(store_dir)
    assert saved["beliefs"][bid]["key"] == "default:fact"
    assert (saved["coarse_key_mode"], saved["claim_similarity_override"]) == ("SemanticOnly", pytest.approx(0.01))


def test_belief_phase_report_docstrings():
    assert BeliefPhaseReport.__doc__ == (
        "Belief phase report \u2014 epistemic layer stats from a single maintenance cycle.")
    docs = {name: getattr(BeliefPhaseReport, name).__doc__ for name in (
        "beliefs_created", "beliefs_pruned", "revisions", "resolved", "unresolved", "total_beliefs",
        "total_hypotheses", "churn_rate")}
    assert docs == {
        "beliefs_created": "Number of new beliefs created this cycle.",
        "beliefs_pruned": "Number of stale beliefs pruned.",
        "revisions": "Number of belief revisions (winner changed).",
        "resolved": "Number of beliefs with a clear winner.",
        "unresolved": "Number of beliefs with no clear winner.",
        "total_beliefs": "Total active beliefs after this cycle.",
        "total_hypotheses": "Total active hypotheses after this cycle.",
        "churn_rate": "Churn rate = revisions / max(total_beliefs, 1).\n"
                      "Values > 0.10 on stable data indicate belief layer instability.",
    }
