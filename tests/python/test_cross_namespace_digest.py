"""cross_namespace_digest(): the namespaces of a store described and compared,
as a caller sees them; the layers are seeded through their files."""

import math
import re

import pytest

from test_layer_files import belief, belief_store, candidate, causal_store, compact, pattern
from vesk._core import Vesk

ALL_DIMENSIONS = ["concepts", "tags", "structural", "causal", "belief_states", "corrections"]


def test_empty_store(store):
    d = store.cross_namespace_digest()
    assert list(d) == ["namespace_count", "latency_ms", "compact_summary", "included_dimensions", "namespaces",
                       "pairs"]
    assert d["namespace_count"] == 0 and d["namespaces"] == [] and d["pairs"] == []
    assert d["included_dimensions"] == ALL_DIMENSIONS
    assert d["compact_summary"] is False and d["latency_ms"] >= 0.0


@pytest.fixture
def three(store):
    store.store("alpha notes", tags=["a", "b", "c"], namespace="a")
    store.store("beta notes", tags=["b", "c", "d"], namespace="b")
    store.store("gamma notes", tags=["b", "c", "d"], namespace="c")
    return store


def test_entries_and_pairs(three):
    d = three.cross_namespace_digest()
    assert [e["namespace"] for e in d["namespaces"]] == ["a", "b", "c"]
    a = d["namespaces"][0]
    assert list(a) == ["namespace", "record_count", "concept_count", "stable_concept_count", "concept_signatures",
                       "tags", "structural_relation_types", "causal_signatures", "belief_state_summary",
                       "correction_count", "correction_density", "top_concepts"]
    assert a["record_count"] == 1 and a["tags"] == ["a", "b", "c"]
    assert a["belief_state_summary"] == {"resolved": 0, "unresolved": 0, "singleton": 0, "empty": 0,
                                         "high_volatility_count": 0, "avg_volatility": 0.0}
    assert a["correction_count"] == 0 and a["correction_density"] == 0.0
    assert [(p["namespace_a"], p["namespace_b"]) for p in d["pairs"]] == [("a", "b"), ("a", "c"), ("b", "c")]
    ab = d["pairs"][0]
    assert list(ab) == ["namespace_a", "namespace_b", "shared_concept_signatures", "concept_signature_similarity",
                        "shared_tags", "tag_jaccard", "shared_structural_relation_types", "structural_similarity",
                        "shared_causal_signatures", "causal_signature_similarity"]
    assert ab["shared_tags"] == ["b", "c"] and ab["tag_jaccard"] == 0.5


@pytest.mark.parametrize("threshold, pairs", [
    (-0.5, [("a", "b"), ("a", "c"), ("b", "c")]),
    (3, [("b", "c")]),
    (0.6, [("b", "c")]),
    (float("nan"), [("a", "b"), ("a", "c"), ("b", "c")]),
])
def test_threshold(three, threshold, pairs):
    d = three.cross_namespace_digest(pairwise_similarity_threshold=threshold)
    assert [(p["namespace_a"], p["namespace_b"]) for p in d["pairs"]] == pairs


def test_dimensions_compact_mode_and_selection(three):
    d = three.cross_namespace_digest(include_dimensions=["Tags ", "BELIEFS"])
    assert d["included_dimensions"] == ["tags", "belief_states"]
    e = d["namespaces"][1]
    assert e["tags"] == ["b", "c", "d"] and e["belief_state_summary"] is not None
    assert e["correction_count"] is None and e["correction_density"] is None

    d = three.cross_namespace_digest(include_dimensions=[])
    assert d["included_dimensions"] == []
    assert all(e["tags"] == [] and e["belief_state_summary"] is None for e in d["namespaces"])
    assert all(p["tag_jaccard"] == 0.0 for p in d["pairs"]) and len(d["pairs"]) == 3

    d = three.cross_namespace_digest(compact_summary=True, pairwise_similarity_threshold=0.1)
    assert d["compact_summary"] is True and d["pairs"] == []
    assert [e["record_count"] for e in d["namespaces"]] == [1, 1, 1]
    assert all(e["tags"] == [] and e["belief_state_summary"] is not None for e in d["namespaces"])

    pick = lambda **kw: [e["namespace"] for e in three.cross_namespace_digest(**kw)["namespaces"]]
    assert pick(namespace="b") == ["b"]
    assert pick(namespace=("c", "a", "c", "A", "none")) == ["a", "c"]
    assert pick(namespace=[]) == []
    assert pick(min_record_count=2) == []
    assert pick(min_record_count=0) == ["a", "b", "c"]


@pytest.mark.parametrize("kwargs, error, text", [
    ({"include_dimensions": "tags"}, TypeError, "include_dimensions"),
    ({"top_concepts_limit": "5"}, TypeError, "top_concepts_limit"),
    ({"pairwise_similarity_threshold": "x"}, TypeError, "pairwise_similarity_threshold"),
    ({"compact_summary": 1}, TypeError, "compact_summary"),
    ({"namespace": 5}, TypeError, "namespace must be a str, list[str], or None"),
    ({"namespace": ["a", 5]}, TypeError, "namespace must be a str, list[str], or None"),
    ({"top_concepts_limit": -1}, OverflowError, ""),
    ({"min_record_count": 2 ** 64}, OverflowError, ""),
    # Arguments are converted in the documented order, the namespace last.
    ({"namespace": 5, "compact_summary": 1}, TypeError, "compact_summary"),
])
def test_argument_errors(store, kwargs, error, text):
    with pytest.raises(error, match=re.escape(text) if text else None):
        store.cross_namespace_digest(**kwargs)


def test_structural_relation_types_from_typed_links(store):
    a = store.store("my mother Ann", namespace="fam")
    b = store.store("Ann's birthday is in May", namespace="fam")
    c = store.store("unrelated", namespace="fam")
    store.connect(a, b, relationship="family.parent")
    store.connect(a, c, relationship="Family.parent")
    (e,) = store.cross_namespace_digest()["namespaces"]
    assert e["structural_relation_types"] == ["family.parent"]


def test_layers_corrections_and_top_concepts(tmp_path):
    path = tmp_path / "s"
    with Vesk(str(path)) as v:
        cause = v.store("deployed the new build", tags=["deploy"], namespace="ops")
        effect = v.store("the site went down after it", tags=["outage"], namespace="ops", semantic_type="decision")
    concepts = {f"c{i}": candidate(id=f"c{i}", key=f"ops|k{i:02}", namespace="ops", confidence=i / 20,
                                   core_terms=[], tags=[], state="Candidate") for i in range(1, 13)}
    concepts["c1"].update(core_terms=["Database", "Latency"], tags=["ops", "database"], state="Stable")
    (path / "concepts.cog").write_text(compact({"concepts": concepts, "key_index": {}}), encoding="utf-8")
    p = pattern(namespace="ops", cause_record_ids=[cause], effect_record_ids=[effect])
    gone = pattern(id="p2", key="ops|p2", namespace="ops", cause_record_ids=["x"], effect_record_ids=["y"])
    (path / "causal.cog").write_text(compact(causal_store([p, gone])), encoding="utf-8")
    beliefs = [belief(1, key="ops:disk", state="Unresolved", volatility=0.2),
               belief(2, key="ops:cpu", state="Resolved", volatility=0.1),
               belief(3, key="opsx:cpu", volatility=0.9)]
    (path / "beliefs.cog").write_text(compact(belief_store(beliefs)), encoding="utf-8")

    with Vesk(str(path)) as v:
        (e,) = v.cross_namespace_digest()["namespaces"]
        assert e["concept_count"] == 12 and e["stable_concept_count"] == 1
        assert "fact:database+latency+ops" in e["concept_signatures"] and "fact:" in e["concept_signatures"]
        assert e["causal_signatures"] == ["=>", "deploy+fact+text=>decision+outage+text"]
        assert [c["concept_id"] for c in e["top_concepts"]] == ["c12", "c11", "c10", "c9", "c8"]
        top = e["top_concepts"][0]
        assert top == {"concept_id": "c12", "key": "ops|k12", "confidence": pytest.approx(0.6),
                       "state": "candidate", "record_count": 1, "belief_count": 1}
        summary = e["belief_state_summary"]
        assert (summary["resolved"], summary["unresolved"], summary["high_volatility_count"]) == (1, 1, 1)
        assert math.isclose(summary["avg_volatility"], 0.15, rel_tol=1e-6)
        assert len(v.cross_namespace_digest(top_concepts_limit=0)["namespaces"][0]["top_concepts"]) == 1
        assert len(v.cross_namespace_digest(top_concepts_limit=50)["namespaces"][0]["top_concepts"]) == 10
