"""recall_structured with a concept layer covering most records, with the
default modes (the concept surface on: every item asks for its concepts),
with the concept surface "limited" (the concept pass of the reranking too)
and after disable_full_cognitive_stack(), in a store of 100,000 corpus
records.

    .venv/bin/python bench/concept_recall.py [--records 100000] [--queries 200]

The store is filled from the end-to-end corpus (bench/corpus.py), two
maintenance cycles run (beliefs reach stability 2, the concept phase runs
on them), then the concept layer is filled directly: concepts.cog is
rewritten with one Stable or Candidate concept per 20 records of a
namespace, so about 5,000 concepts list nearly every record, and the store
is reopened. Each measured pass runs every question once on an emptied
recall cache (a stored record empties it), after 20 warm-up questions that
are not measured. Printed: the concept phase of the second cycle, the
medians and 95th percentiles, and the ratios to layers off (goal <= 2).
"""

import argparse
import json
import os
import statistics
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from corpus import make_corpus, make_query_sets  # noqa: E402

from vesk._core import Vesk  # noqa: E402


def timings(v, warm, queries):
    v.store("a record that empties the recall caches")
    for q in warm:
        v.recall_structured(q.text, top_k=10, namespace=q.namespace)
    out = []
    for q in queries:
        t0 = time.perf_counter()
        v.recall_structured(q.text, top_k=10, namespace=q.namespace)
        out.append((time.perf_counter() - t0) * 1000)
    out.sort()
    return statistics.median(out), out[int(len(out) * 0.95) - 1]


def concept_layer(ids_by_namespace, per_concept=20):
    concepts = {}
    for ns, ids in ids_by_namespace.items():
        for k in range(0, len(ids), per_concept):
            members = sorted(ids[k:k + per_concept])
            cid = f"c-{ns}-{k:06d}"
            score = 0.7 + (k % 29) / 100
            concepts[cid] = {
                "id": cid, "key": f"{ns}:bench:fact:{cid}:00000000", "namespace": ns, "semantic_type": "fact",
                "belief_ids": ["b1", "b2"], "record_ids": members, "core_terms": ["bench"], "shell_terms": [],
                "tags": ["bench"], "support_mass": 2.0, "confidence": 0.8, "stability": 2.0, "cohesion": 0.3,
                "abstraction_score": score, "state": "Stable" if score >= 0.75 else "Candidate",
                "last_updated": 1.0}
    return {"concepts": concepts, "key_index": {c["key"]: i for i, c in concepts.items()}}


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--records", type=int, default=100_000)
    ap.add_argument("--queries", type=int, default=200)
    args = ap.parse_args()
    corpus = make_corpus(args.records)
    (queries,) = make_query_sets(corpus, [args.queries + 20])
    warm, queries = queries[:20], queries[20:]
    with tempfile.TemporaryDirectory() as tmp:
        path = os.path.join(tmp, "store")
        with Vesk(path) as v:
            ids_by_namespace = {}
            for r in corpus:
                ids_by_namespace.setdefault(r.namespace, []).append(
                    v.store(r.content, tags=r.tags, namespace=r.namespace))
            v.run_maintenance()
            second = v.run_maintenance()
        layer = concept_layer(ids_by_namespace)
        with open(os.path.join(path, "concepts.cog"), "w", encoding="utf-8") as f:
            json.dump(layer, f)
        with Vesk(path) as v:
            inspect = timings(v, warm, queries)
            v.set_concept_surface_mode("limited")
            limited = timings(v, warm, queries)
            v.disable_full_cognitive_stack()
            off = timings(v, warm, queries)
    c = second.concept
    print(f"{args.records} records; second cycle: concept phase {second.timings.concept_ms:.0f} ms, "
          f"{c.seeds_found} seeds, {c.candidates_found} candidates; {len(layer['concepts'])} concepts filled in")
    for name, t in (("default modes", inspect), ("concepts limited", limited), ("layers off", off)):
        print(f"  {name:16}: median {t[0]:.2f} ms, p95 {t[1]:.2f} ms, ratio to off {t[0] / off[0]:.2f}")


if __name__ == "__main__":
    main()
