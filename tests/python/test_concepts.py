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
