"""cross_namespace_digest() from Python over a store of 100,000 records
spread over 100 and over 1,000 namespaces.

    .venv/bin/python bench/reports_bench.py [--records 100000] [--namespaces 100,1000] [--repeat 5]

Each record gets two of 40 tags; the records are stored in round-robin over
the namespaces. Printed per namespace count: the time to fill the store, and
the median of `repeat` calls of cross_namespace_digest() with default
arguments (every dimension on, every pair listed) and with
compact_summary=True, as seen from Python (dict conversion included), with
the call's own latency_ms and the number of pairs. The entries are built in
one pass over the records and layers, so the first figure grows with the
records plus the square of the namespaces (the pairs).
"""

import argparse
import os
import random
import statistics
import tempfile
import time

from vesk._core import Vesk

TAGS = [f"topic{i}" for i in range(40)]


def measure(records, namespaces, repeat, seed=11):
    rng = random.Random(seed)
    with tempfile.TemporaryDirectory() as tmp:
        v = Vesk(os.path.join(tmp, "store"))
        t0 = time.perf_counter()
        for i in range(records):
            v.store(f"note {i} about {rng.choice(TAGS)} and {rng.choice(TAGS)}", tags=rng.sample(TAGS, 2),
                    namespace=f"ns{i % namespaces:04}")
        filled = time.perf_counter() - t0
        rows = []
        for kwargs in ({}, {"compact_summary": True}):
            times, latency, pairs = [], [], 0
            for _ in range(repeat):
                t0 = time.perf_counter()
                d = v.cross_namespace_digest(**kwargs)
                times.append(time.perf_counter() - t0)
                latency.append(d["latency_ms"])
                pairs = len(d["pairs"])
            rows.append((kwargs, statistics.median(times) * 1000, statistics.median(latency), pairs))
        v.close()
    print(f"{records} records in {namespaces} namespaces (filled in {filled:.1f} s)")
    for kwargs, wall, latency, pairs in rows:
        label = "compact" if kwargs else "default"
        print(f"  {label:8} {wall:9.1f} ms from Python, latency_ms {latency:9.1f}, {pairs} pairs")


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--records", type=int, default=100_000)
    ap.add_argument("--namespaces", default="100,1000")
    ap.add_argument("--repeat", type=int, default=5)
    args = ap.parse_args()
    for n in (int(x) for x in args.namespaces.split(",")):
        measure(args.records, n, args.repeat)


if __name__ == "__main__":
    main()
