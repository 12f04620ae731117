"""recall_structured with the cognitive layers on and off, in a store of
100,000 corpus records after one maintenance cycle has built its beliefs.

    .venv/bin/python bench/belief_recall.py [--records 100000] [--queries 200]

The store is filled from the end-to-end corpus (bench/corpus.py) and one
run_maintenance() builds the belief layer. Printed: the fill and cycle
times, the share of sampled records that a belief holds, and the median and
95th percentile of recall_structured over the corpus questions with the
default modes, then after disable_full_cognitive_stack(), and their ratio.
The goal is a ratio of at most 2.
"""

import argparse
import os
import statistics
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from corpus import make_corpus, make_query_sets  # noqa: E402

from vesk._core import Vesk  # noqa: E402


def timings(v, queries):
    out = []
    for q in queries:
        t0 = time.perf_counter()
        v.recall_structured(q.text, top_k=10, namespace=q.namespace)
        out.append((time.perf_counter() - t0) * 1000)
    out.sort()
    return statistics.median(out), out[int(len(out) * 0.95) - 1]


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--records", type=int, default=100_000)
    ap.add_argument("--queries", type=int, default=200)
    args = ap.parse_args()
    corpus = make_corpus(args.records)
    (queries,) = make_query_sets(corpus, [args.queries])
    with tempfile.TemporaryDirectory() as tmp:
        v = Vesk(os.path.join(tmp, "store"))
        t0 = time.perf_counter()
        ids = [v.store(r.content, tags=r.tags, namespace=r.namespace) for r in corpus]
        filled = time.perf_counter() - t0
        t0 = time.perf_counter()
        v.run_maintenance()
        cycle = time.perf_counter() - t0
        sample = ids[:: max(1, len(ids) // 2000)]
        held = sum(v.get_belief_id_for_record(i) is not None for i in sample) / len(sample)
        timings(v, queries[:20])  # warm the caches of the first queries
        on = timings(v, queries)
        v.disable_full_cognitive_stack()
        timings(v, queries[:20])
        off = timings(v, queries)
        v.close()
    print(f"{args.records} records: filled in {filled:.1f} s, one cycle {cycle:.1f} s, "
          f"{held:.0%} of sampled records held by a belief")
    print(f"  layers on : median {on[0]:.2f} ms, p95 {on[1]:.2f} ms")
    print(f"  layers off: median {off[0]:.2f} ms, p95 {off[1]:.2f} ms")
    print(f"  ratio on/off: median {on[0] / off[0]:.2f}, p95 {on[1] / off[1]:.2f} (goal <= 2)")


if __name__ == "__main__":
    main()
