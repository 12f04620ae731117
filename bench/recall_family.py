"""The recall family against recall_structured at 100,000 corpus records.

    .venv/bin/python bench/recall_family.py [--records 100000] [--queries 200]

Fills a store from the end-to-end corpus (bench/corpus.py), then times each
form of recall over the same corpus questions (each question asked once per
form, so the structured recall's cache never answers) and prints the
median and 95th percentile of each, and its ratio to recall_structured.
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


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--records", type=int, default=100_000)
    p.add_argument("--queries", type=int, default=200)
    args = p.parse_args()
    corpus = make_corpus(args.records)
    sets = make_query_sets(corpus, [args.queries] * 8)
    with tempfile.TemporaryDirectory() as d:
        v = Vesk(d)
        for r in corpus:
            v.store(r.content, tags=r.tags, metadata=r.metadata, namespace=r.namespace)
        now = time.time()
        forms = [
            ("recall_structured", lambda q: v.recall_structured(q.text, top_k=10, namespace=q.namespace)),
            ("recall_full", lambda q: v.recall_full(q.text, top_k=10, namespace=q.namespace)),
            ("recall_provenance_ranked", lambda q: v.recall_provenance_ranked(q.text, top_k=10, namespace=q.namespace)),
            ("recall_with_applicability", lambda q: v.recall_with_applicability(q.text, {}, top_k=10, namespace=q.namespace)),
            ("recall_structured_acl", lambda q: v.recall_structured_acl(q.text, "enforce", subject_id="agent", top_k=10, namespace=q.namespace)),
            ("recall_at", lambda q: v.recall_at(q.text, now, top_k=10, namespace=q.namespace)),
            ("recall_as_of", lambda q: v.recall_as_of(q.text, now, top_k=10, namespace=q.namespace)),
        ]
        base = None
        print(f"{args.records} records, {args.queries} questions per form")
        for (name, call), queries in zip(forms, sets):
            t = []
            for q in queries:
                t0 = time.perf_counter()
                call(q)
                t.append((time.perf_counter() - t0) * 1000)
            med = statistics.median(t)
            p95 = statistics.quantiles(t, n=20)[18]
            base = base or med
            print(f"  {name:26s} median {med:6.2f} ms  p95 {p95:6.2f} ms  ratio {med / base:4.2f}")
        v.close()


if __name__ == "__main__":
    main()
