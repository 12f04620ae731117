"""The recalls built on structured recall: provenance-ranked recall, recall
with applicability, and full recall with its direct matches and failure
memories."""

import numpy as np
import pytest


def f32(x):
    return float(np.float32(x))


PROVENANCE_KEYS = ["id", "content", "score", "effective_score", "base_score", "provenance", "level", "strength",
                   "tags", "source_type"]
APPLICABILITY_KEYS = ["id", "content", "score", "level", "strength", "salience", "tags", "source_type", "namespace",
                      "semantic_type", "metadata", "applicability"]


def total(store):
    return store.recall_hit_stats()["recall_total"]


# ---- Provenance-ranked recall --------------------------------------------------------


def test_provenance_classes_weigh_the_structured_scores(store):
    inferred = store.store("the glacier retreated four metres this year", source_type="inferred")
    retrieved = store.store("the glacier retreated by satellite survey", source_type="retrieved")
    structured = {i["id"]: i["score"] for i in store.recall_structured("glacier retreated")}
    before = total(store)
    items = store.recall_provenance_ranked("glacier retreated")
    assert total(store) == before + 1
    assert all(list(i) == PROVENANCE_KEYS for i in items)
    by_id = {i["id"]: i for i in items}
    want = {inferred: ("model_generated", 0.7), retrieved: ("external_source", 1.0)}
    for rid, (provenance, factor) in want.items():
        item = by_id[rid]
        assert item["provenance"] == provenance
        assert item["base_score"] == structured[rid]
        expected = min(f32(f32(factor) * np.float32(item["base_score"])), 1.0)
        assert item["score"] == item["effective_score"] == expected
    assert [i["score"] for i in items] == sorted((i["score"] for i in items), reverse=True)


def test_provenance_ranked_refuses_a_bad_namespace_before_recalling(store):
    with pytest.raises(TypeError, match=r"^namespace must be a str, list\[str\], or None$"):
        store.recall_provenance_ranked("glacier", namespace=[1])
    assert total(store) == 0
    assert store.recall_provenance_ranked("glacier", namespace=[]) == []


# ---- Recall with applicability -------------------------------------------------------


def test_applicability_annotates_without_reordering(store):
    store.store("deploy the service with the linux installer", metadata={"applicability.require.os": "linux"})
    store.store("deploy the service by hand on any machine")
    store.store("deploy the service with the signed package", metadata={"applicability.require.os": "mac"})
    structured = store.recall_structured("deploy the service")
    items = store.recall_with_applicability("deploy the service", {"os": ["mac"]})
    assert [(i["id"], i["score"]) for i in items] == [(s["id"], s["score"]) for s in structured]
    assert all(list(i) == APPLICABILITY_KEYS for i in items)
    decisions = {i["content"].split(" with the ")[-1] if " with the " in i["content"] else "none":
                 i["applicability"]["decision"] for i in items}
    assert decisions == {"linux installer": "reject", "none": "unknown", "signed package": "use"}
    rejected = next(i for i in items if i["applicability"]["decision"] == "reject")
    assert rejected["applicability"]["mismatches"] == [{"field": "os", "expected": "linux", "actual": ["mac"]}]
    assert rejected["metadata"]["applicability.require.os"] == "linux"


@pytest.mark.parametrize("state", [{"os": "linux"}, {1: ["linux"]}, {"os": ["linux", 2]}, ["os"]])
def test_applicability_refuses_a_malformed_state_before_recalling(store, state):
    store.store("deploy the service with the linux installer")
    with pytest.raises(TypeError) as raised:
        store.recall_with_applicability("deploy", state)
    assert "current_state" not in str(raised.value)
    assert total(store) == 0


def test_applicability_takes_tuples_and_the_empty_state(store):
    store.store("deploy the service with the linux installer", metadata={"applicability.require.os": "linux"})
    [item] = store.recall_with_applicability("deploy", {"os": ("Linux ",)})
    assert item["applicability"]["decision"] == "use"
    [item] = store.recall_with_applicability("deploy", {})
    assert item["applicability"]["reasons"] == ["missing_current_state"]
    assert store.recall_with_applicability("nothing like it at all", {}, namespace="elsewhere") == []
    assert store.recall_hit_stats()["recall_empty"] == 1


# ---- Full recall -------------------------------------------------------------------------

FULL_KEYS = ["id", "content", "score", "level", "strength", "tags", "source_type", "metadata"]


def test_full_recall_item_keys_and_no_counting(store):
    rid = store.store("the lighthouse keeper logs the storms", metadata={"shift": "night"})
    [item] = store.recall_full("lighthouse keeper")
    assert list(item) == FULL_KEYS + ["trust", "source"]
    metadata = store.get(rid).metadata
    assert item["metadata"] == dict(metadata) and item["metadata"]["shift"] == "night"
    assert item["trust"] == metadata["trust_score"] and item["source"] == metadata["source"]
    assert store.recall_hit_stats()["recall_total"] == 0
    assert store.recall_full("lighthouse", namespace=[]) == []
    with pytest.raises(TypeError, match=r"^namespace must be a str, list\[str\], or None$"):
        store.recall_full("lighthouse", namespace=b"default")


def test_full_recall_scan_scores_with_no_core_answer(store):
    failed = store.store("Deploy Friday broke the billing job", tags=["outcome-failure"])
    plain = store.store("we deploy friday afternoons")
    word_only = store.store("billing retries were exhausted", tags=["outcome-failure"])
    store.store("billing retries, but not a failure")
    short = store.store("a cat sat", tags=["outcome-failure"])
    items = store.recall_full("DEPLOY FRIDAY billing", top_k=0)
    assert sorted((i["id"], i["score"]) for i in items) == sorted([(failed, 0.800000011920929),
                                                                   (word_only, 0.800000011920929)])
    items = store.recall_full("deploy friday", top_k=0)
    assert [(i["id"], i["score"]) for i in items] == [(failed, 0.800000011920929), (plain, 0.6000000238418579)]
    # Failure memories: a significant word (4+ bytes) of the query, unless turned off.
    ids = [i["id"] for i in store.recall_full("billing outage", top_k=0)]
    assert ids == [failed, word_only] or ids == [word_only, failed]
    assert store.recall_full("billing outage", top_k=0, include_failures=False) == []
    # Words under 4 bytes find no failure memory; the whole query still matches.
    assert [i["id"] for i in store.recall_full("cat dog", top_k=0)] == []
    assert [i["id"] for i in store.recall_full("cat sat", top_k=0, include_failures=False)] == [short]


def test_full_recall_scan_filters(store):
    store.store("the orchard ledger, visible")
    hidden = store.store("the orchard ledger, restricted")
    store.set_record_acl(hidden, "restricted", read_principals=["alice"])
    store.store("the orchard ledger, expired", valid_until=1.0)
    store.store("the orchard ledger, elsewhere", namespace="farm")
    contents = [i["content"] for i in store.recall_full("orchard ledger", top_k=0)]
    assert contents == ["the orchard ledger, visible"]
    assert [i["content"] for i in store.recall_full("orchard ledger", top_k=0, namespace=["farm"])] == [
        "the orchard ledger, elsewhere"]
    assert store.recall_full("orchard ledger", top_k=0, min_strength=1.5) == []
    assert all(i["id"] != hidden for i in store.recall_full("orchard ledger"))


def test_full_recall_merges_and_cuts(store):
    for i in range(50):
        store.store(f"lantern number {i} hangs by door {i * 7}")
    core = store.recall_structured("lantern", top_k=20)
    assert len(core) == 20
    items = store.recall_full("lantern")
    assert len(items) == 35
    scores = [i["score"] for i in items]
    assert scores == sorted(scores, reverse=True)
    assert len({i["id"] for i in items}) == 35
    # A huge top_k takes everything and does not wrap.
    assert len(store.recall_full("lantern", top_k=2**64 - 1)) == 50


def test_full_recall_follows_edits_and_reopen(tmp_path):
    from vesk._core import Vesk

    path = str(tmp_path / "store")
    with Vesk(path) as v:
        rid = v.store("the copper kettle whistles")
        gone = v.store("the copper kettle is dented")
        v.update(rid, content="the iron kettle whistles")
        v.delete(gone)
        assert [i["content"] for i in v.recall_full("Iron Kettle", top_k=0)] == ["the iron kettle whistles"]
        assert v.recall_full("copper kettle", top_k=0) == []
    with Vesk(path) as v:
        assert [i["id"] for i in v.recall_full("iron kettle", top_k=0)] == [rid]
        # A rollback to a labelled snapshot brings the old texts back.
        v.snapshot("before")
        v.update(rid, content="the tin kettle whistles")
        assert v.recall_full("iron kettle", top_k=0) == []
        v.rollback("before")
        assert [i["id"] for i in v.recall_full("iron kettle", top_k=0)] == [rid]


# ---- Access-controlled structured recall ------------------------------------------------

ACL_KEYS = ["enforcement_mode", "evaluated_count", "denied_count", "results", "audit_decisions"]


@pytest.fixture
def guarded(store):
    ids = {
        "open": store.store("the vault code rotates weekly"),
        "ops": store.store("the vault code for the ops team"),
        "private": store.store("the vault code kept private"),
        "expired": store.store("the vault code of last year", valid_until=1.0),
    }
    store.set_record_acl(ids["ops"], "restricted", read_roles=["ops"], policy_version="v2")
    store.set_record_acl(ids["private"], "restricted", read_principals=["bob"])
    # An unknown visibility value is denied to everyone.
    store.update(ids["open"], metadata={"acl_visibility": "private"})
    return store, ids


def test_acl_recall_enforce_and_audit(guarded):
    store, ids = guarded
    enforced = store.recall_structured_acl("vault code", subject_id="alice", roles=("ops",))
    assert list(enforced) == ACL_KEYS
    assert enforced["enforcement_mode"] == "enforce"
    assert (enforced["evaluated_count"], enforced["denied_count"]) == (3, 2)
    assert [r["id"] for r in enforced["results"]] == [ids["ops"]]
    assert list(enforced["results"][0]) == ["id", "content", "score", "namespace", "level"]
    assert enforced["audit_decisions"] == []
    # Ordinary recall never returns the restricted record the subject may read.
    assert ids["ops"] not in [i["id"] for i in store.recall_structured("vault code")]

    audited = store.recall_structured_acl("vault code", "audit", subject_id="alice")
    assert (audited["evaluated_count"], audited["denied_count"]) == (3, 3)
    assert {r["id"] for r in audited["results"]} == {ids["open"], ids["ops"], ids["private"]}
    decisions = {d["record_id"]: d for d in audited["audit_decisions"]}
    assert decisions[ids["open"]] == {"record_id": ids["open"], "namespace": "default", "allowed": False,
                                      "reason": "invalid_visibility_deny", "policy_version": None}
    assert decisions[ids["ops"]]["reason"] == "restricted_no_match"
    assert decisions[ids["ops"]]["policy_version"] == "v2"
    assert store.recall_hit_stats()["recall_total"] == 3
    # A namespace without validity windows is counted without a walk.
    store.store("the vault code at the farm", namespace="farm")
    barn = store.store("the vault code of the barn", namespace="farm")
    store.set_record_acl(barn, "restricted", read_groups=["farmers"])
    farm = store.recall_structured_acl("vault code", namespace="farm", groups=["farmers"])
    assert (farm["evaluated_count"], farm["denied_count"], len(farm["results"])) == (2, 0, 2)
    farm = store.recall_structured_acl("vault code", namespace=["farm", "farm"])
    assert (farm["evaluated_count"], farm["denied_count"], len(farm["results"])) == (2, 1, 1)


def test_acl_recall_arguments(guarded):
    store, _ = guarded
    for mode in ("Audit", ""):
        with pytest.raises(ValueError, match="^enforcement_mode must be 'audit' or 'enforce'$"):
            store.recall_structured_acl("vault", mode, namespace=[1])
    with pytest.raises(TypeError, match="enforcement_mode"):
        store.recall_structured_acl("vault", None)
    with pytest.raises(TypeError, match="roles"):
        store.recall_structured_acl("vault", roles="ops")
    with pytest.raises(TypeError, match=r"^namespace must be a str, list\[str\], or None$"):
        store.recall_structured_acl("vault", namespace=[1])
    assert store.recall_hit_stats()["recall_total"] == 0
    empty = store.recall_structured_acl("vault", "audit", namespace=[])
    assert (empty["evaluated_count"], empty["denied_count"], empty["results"], empty["audit_decisions"]) == (
        0, 0, [], [])
    assert store.recall_hit_stats()["recall_empty"] == 1
    # A weak record is checked and reported but never returned.
    weak = store.recall_structured_acl("vault code", "audit", min_strength=1.5)
    assert weak["results"] == [] and weak["denied_count"] == 3
