"""Median latency of update() and supersede() from Python in a store of
1,000 records and in one of 100,000, with their ratio.

    .venv/bin/python bench/record_edits.py [--small 1000] [--large 100000] [--calls 500]

Texts as in store_rate.py; every record carries two tags of a pool of 20, so
a superseding version links to up to 50 records that share a tag and the
forced journal batch holds them all. update() changes a record's content
and tags (re-indexing its text, tags and SDR); supersede() replaces a record
that is not yet superseded. A cost that grows with the store shows as a
ratio well above 1.
"""

import argparse
import pathlib
import random
import statistics
import sys
import tempfile
import time

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
from store_rate import texts  # noqa: E402

from vesk._core import Vesk  # noqa: E402

TAG_POOL = [f"topic-{i:02d}" for i in range(20)]


def median_us(call, args_list):
    times = []
    for args in args_list:
        t0 = time.perf_counter()
        call(*args)
        times.append(time.perf_counter() - t0)
    return statistics.median(times) * 1e6


def measure(size, calls, all_texts):
    rng = random.Random(size)
    with tempfile.TemporaryDirectory() as d:
        v = Vesk(d + "/store")
        ids = [v.store(t, tags=rng.sample(TAG_POOL, 2)) for t in all_texts[:size]]
        fresh = iter(all_texts[size:])
        targets = rng.sample(ids, 2 * calls)
        update_us = median_us(
            lambda rid, t, tags: v.update(rid, content=t, tags=tags),
            [(rid, next(fresh), rng.sample(TAG_POOL, 2)) for rid in targets[:calls]],
        )
        supersede_us = median_us(v.supersede, [(rid, next(fresh)) for rid in targets[calls:]])
        v.close()
    return update_us, supersede_us


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--small", type=int, default=1_000)
    ap.add_argument("--large", type=int, default=100_000)
    ap.add_argument("--calls", type=int, default=500)
    args = ap.parse_args()
    all_texts = list(texts(args.large + 4 * args.calls))
    small = measure(args.small, args.calls, all_texts)
    large = measure(args.large, args.calls, all_texts)
    for name, s, l in (("update", small[0], large[0]), ("supersede", small[1], large[1])):
        print(f"{name:9s} median: {s:8.1f} us at {args.small} records, {l:8.1f} us at {args.large}; ratio {l / s:.2f}")


if __name__ == "__main__":
    main()
