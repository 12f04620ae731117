"""Store and recall on the end-to-end corpus, where dense shared tags give
every record up to 50 associative links.

Stores the first N records of bench/corpus.py one call at a time (tags,
metadata and namespace as the end-to-end benchmark gives them), closes,
reopens, and times the text recall and the structured recall of Q questions
about the stored records, each asked once (no cache hit). Prints the store
rate and the median and p95 of each recall.

    python bench/dense_tags.py                 # N = 2,000, Q = 200
    python bench/dense_tags.py --n 5000 --queries 400
"""

from __future__ import annotations

import argparse
import os
import shutil
import statistics
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import corpus as corpus_mod  # noqa: E402


def _ms(lat: list) -> str:
    s = sorted(lat)
    p95 = s[min(len(s) - 1, int(round(0.95 * (len(s) - 1))))]
    return f"median {1e3 * statistics.median(s):.3f} ms, p95 {1e3 * p95:.3f} ms"


def main() -> int:
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--n", type=int, default=2000)
    ap.add_argument("--queries", type=int, default=200)
    ap.add_argument("--budget", type=int, default=600, help="token budget of the text recall")
    args = ap.parse_args()

    import vesk

    records = corpus_mod.make_corpus(args.n)
    queries = corpus_mod.make_query_sets(records, [args.queries, args.queries])
    root = tempfile.mkdtemp(prefix="vesk-dense-")
    path = os.path.join(root, "store")
    try:
        v = vesk.Vesk(path)
        t = time.perf_counter()
        for r in records:
            v.store(r.content, tags=r.tags, metadata=r.metadata, namespace=r.namespace)
        v.close()
        rate = len(records) / (time.perf_counter() - t)

        v = vesk.Vesk(path)
        v.recall_structured("warm up the reader before timing", top_k=10)
        text, structured = [], []
        for q in queries[0]:
            t = time.perf_counter()
            v.recall(q.text, token_budget=args.budget, namespace=q.namespace)
            text.append(time.perf_counter() - t)
        for q in queries[1]:
            t = time.perf_counter()
            v.recall_structured(q.text, top_k=10, namespace=q.namespace)
            structured.append(time.perf_counter() - t)
        v.close()
    finally:
        shutil.rmtree(root, ignore_errors=True)

    print(f"N={args.n}: store {rate:,.0f}/s (close included)")
    print(f"text recall:       {_ms(text)}")
    print(f"structured recall: {_ms(structured)}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
