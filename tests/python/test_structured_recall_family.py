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
