"""The concept layer as the maintenance cycle builds it from stable beliefs,
and the concept surface: the two getters, the mode gate and the "concepts"
annotation of structured recall items."""

import json
import re

import pytest

from vesk._core import ConceptPhaseReport, Vesk


def concepts_file(path):
    return json.loads((path / "concepts.cog").read_text(encoding="utf-8"))


def phase_of(report):
    c = report.concept
    assert isinstance(c, ConceptPhaseReport)
    return dict(seeds=c.seeds_found, partitions=c.partitions_with_multiple_seeds,
                partition_sizes=list(c.multi_seed_partition_sizes), pairs=c.pairwise_comparisons,
                above=c.pairwise_above_threshold, clusters=list(c.cluster_sizes),
                multi=c.clusters_with_multiple_beliefs, largest=c.largest_cluster_size,
                candidates=c.candidates_found)


def store_two_port_beliefs(v):
    ids = [v.store("the staging database listens on port 5432", tags=["db"]),
           v.store("the staging database listens on port 5433", tags=["db"]),
           v.store("the production database listens on port 6432", tags=["db", "ops"]),
           v.store("the production database listens on port 6433", tags=["db", "ops"])]
    return sorted(ids)


def test_two_stable_beliefs_about_one_subject_become_a_concept(tmp_path):
    path = tmp_path / "store"
    with Vesk(str(path)) as v:
        records = store_two_port_beliefs(v)
        first = phase_of(v.run_maintenance())
        assert first == dict(seeds=0, partitions=0, partition_sizes=[], pairs=0, above=0, clusters=[], multi=0,
                             largest=0, candidates=0)
        second = v.run_maintenance()
        assert phase_of(second) == dict(
            seeds=2, partitions=1, partition_sizes=[2], pairs=1, above=1, clusters=[2], multi=1, largest=2,
            candidates=1)
        telemetry = second.concept_surface
        assert (telemetry.surfaced_concepts_available, telemetry.surfaced_namespaces) == (1, 1)
        second = second.concept
        assert 0.0 < second.tanimoto_min == second.tanimoto_max == second.tanimoto_avg <= 1.0
        assert second.seeds_capped == 0 and second.centroids_built == 2

    layer = concepts_file(path)
    (cid, c), = layer["concepts"].items()
    assert re.fullmatch(r"c-[0-9a-f]{12,16}", cid) and c["id"] == cid
    fields = c["key"].split(":")
    assert len(fields) == 5 and re.fullmatch(r"[0-9a-f]{8}", fields[4])
    assert fields[:4] == ["default", "db,ops", "fact", "database,listens,port"]
    assert layer["key_index"] == {c["key"]: cid}
    assert c["record_ids"] == records
    assert c["tags"] == ["db", "ops"]
    assert c["core_terms"] == ["database", "listens", "port"]
    assert len(c["belief_ids"]) == 2

    with Vesk(str(path)) as v:
        v.run_maintenance()
    assert list(concepts_file(path)["concepts"]) == [cid]


def concept(cid, ns, score, *, state="Stable", confidence=0.8, beliefs=2, records=("r1",), core=("kiln",),
            tags=("pottery",), key=None):
    return {"id": cid, "key": key or f"{ns}:{cid}", "namespace": ns, "semantic_type": "fact",
            "belief_ids": [f"b{i}" for i in range(beliefs)], "record_ids": list(records), "core_terms": list(core),
            "shell_terms": ["glaze"], "tags": list(tags), "support_mass": 1.5, "confidence": confidence,
            "stability": 2.0, "cohesion": 0.5, "abstraction_score": score, "state": state, "last_updated": 1.0}


def write_layer(path, concepts):
    path.mkdir(parents=True, exist_ok=True)
    layer = {"concepts": {c["id"]: c for c in concepts}, "key_index": {c["key"]: c["id"] for c in concepts}}
    (path / "concepts.cog").write_text(json.dumps(layer), encoding="utf-8")


SURFACE_LAYER = (
    [concept(f"a{i}", "a", 0.99 - i / 100) for i in range(1, 8)]
    + [concept("b1", "b", 0.92), concept("b2", "b", 0.91)]
    + [concept(f"d{i}", "d", 0.91 - i / 100) for i in range(1, 4)]
    + [concept("c_at_bar", "c", 0.7, state="Candidate"), concept("c_below", "c", 0.69, state="Candidate"),
       concept("c_rejected", "c", 0.95, state="Rejected"), concept("c_bare", "c", 0.95, core=(), tags=()),
       concept("c_no_records", "c", 0.95, records=())]
    # Ties on score and confidence: more beliefs, then Stable, then the key.
    + [concept("e_most_beliefs", "e", 0.8, state="Candidate", beliefs=3), concept("e_z", "e", 0.8, key="e:z"),
       concept("e_y", "e", 0.8, key="e:y"), concept("e_candidate", "e", 0.8, state="Candidate", key="e:a"),
       concept("e_same_key", "e", 0.8, key="e:y", confidence=0.7)]
)


@pytest.mark.parametrize("call, expected", [
    (lambda v: v.get_surfaced_concepts(limit=25),
     ["a1", "a2", "a3", "a4", "a5", "b1", "b2", "d1", "d2", "d3"]),
    (lambda v: v.get_surfaced_concepts(), ["a1", "a2", "a3", "a4", "a5", "b1", "b2", "d1", "d2", "d3"]),
    (lambda v: v.get_surfaced_concepts(limit=3), ["a1", "a2", "a3"]),
    (lambda v: v.get_surfaced_concepts(limit=0), []),
    (lambda v: v.get_surfaced_concepts_for_namespace("a", limit=None), ["a1", "a2", "a3", "a4", "a5"]),
    (lambda v: v.get_surfaced_concepts_for_namespace("c"), ["c_at_bar"]),
    (lambda v: v.get_surfaced_concepts_for_namespace("e"), ["e_most_beliefs", "e_y", "e_z", "e_candidate"]),
    (lambda v: v.get_surfaced_concepts_for_namespace("nowhere"), []),
])
def test_surfacing_filters_orders_and_caps(tmp_path, call, expected):
    write_layer(tmp_path / "store", SURFACE_LAYER)
    with Vesk(str(tmp_path / "store")) as v:
        assert [c.id for c in call(v)] == expected


def test_a_surfaced_concept_copies_the_outward_fields(tmp_path):
    write_layer(tmp_path / "store", [concept("k1", "w", 0.8, records=("r1", "r2"))])
    with Vesk(str(tmp_path / "store")) as v:
        (c,) = v.get_surfaced_concepts()
        assert (c.id, c.key, c.state, c.namespace, c.semantic_type) == ("k1", "w:k1", "stable", "w", "fact")
        assert (c.core_terms, c.shell_terms, c.tags) == (["kiln"], ["glaze"], ["pottery"])
        assert (c.abstraction_score, c.confidence, c.support_mass) == pytest.approx((0.8, 0.8, 1.5))
        assert (c.cluster_size, c.belief_ids, c.record_ids) == (2, ["b0", "b1"], ["r1", "r2"])
        with pytest.raises((ValueError, OverflowError, TypeError)):
            v.get_surfaced_concepts(limit=-1)


ENTRY_KEYS = ["id", "key", "state", "namespace", "semantic_type", "core_terms", "tags", "abstraction_score",
              "confidence", "cluster_size"]


def test_recall_items_carry_the_surfaced_concepts_of_their_records(tmp_path):
    path = tmp_path / "store"
    with Vesk(str(path)) as v:
        kiln = v.store("the kiln fires at cone six", tags=["pottery"])
        other = v.store("the kiln shelf is cracked", tags=["pottery"])
    # Four concepts list `kiln`: only the first three in surfacing order
    # annotate it; a rejected one never does.
    write_layer(path, [concept(f"k{i}", "default", 0.9 - i / 100, records=(kiln,)) for i in range(4)]
                + [concept("gone", "default", 0.99, state="Rejected", records=(kiln, other))])
    with Vesk(str(path)) as v:
        def items():
            return {i["id"]: i for i in v.recall_structured("kiln", top_k=5)}

        got = items()
        assert [c["id"] for c in got[kiln]["concepts"]] == ["k0", "k1", "k2"]
        entry = got[kiln]["concepts"][0]
        assert list(entry) == ENTRY_KEYS
        assert entry["state"] == "stable" and entry["cluster_size"] == 2 and entry["core_terms"] == ["kiln"]
        assert "concepts" not in got[other]
        assert [c.id for c in v.get_surfaced_concepts_for_namespace("default")][:3] == ["k0", "k1", "k2"]

        v.set_concept_surface_mode("off")
        assert v.get_surfaced_concepts() == [] and v.get_surfaced_concepts_for_namespace("default") == []
        assert all("concepts" not in i for i in v.recall_structured("kiln cone", top_k=5))
        v.set_concept_surface_mode("inspect")
        assert [c["id"] for c in items()[kiln]["concepts"]] == ["k0", "k1", "k2"]
        at = {i["id"]: i for i in v.recall_at("kiln", 4102444800.0, top_k=5)}
        assert list(at[kiln])[-1] == "concepts" and "concepts" not in at[other]
        assert [c["id"] for c in at[kiln]["concepts"]] == ["k0", "k1", "k2"]

        # Counted while on: three recalls of two items each, one namespaced
        # call returning 4 concepts; nine annotations.
        t = v.run_maintenance().concept_surface
        assert (t.global_calls_since_last_cycle, t.namespace_calls_since_last_cycle,
                t.record_calls_since_last_cycle, t.concepts_returned_since_last_cycle,
                t.record_annotations_returned_since_last_cycle) == (0, 1, 6, 13, 9)
        t = v.run_maintenance().concept_surface
        assert (t.namespace_calls_since_last_cycle, t.record_calls_since_last_cycle) == (0, 0)
