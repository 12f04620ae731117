"""store() calls per second from Python, single-threaded, no embedding
function: into an empty store and into one already holding many records.

    .venv/bin/python bench/store_rate.py [--records 100000] [--batch 20000]

Each text is distinct (so every call creates a record) and of typical memory
length (60-120 bytes). The rate is measured over `batch` calls right after
opening an empty store, and over the same number of calls once the store
holds `records` records (filled with the same kind of texts first).
"""

import argparse
import random
import tempfile
import time

from vesk._core import Vesk

WORDS = ("meeting project deadline coffee report budget client server deploy review design "
         "garden travel invoice family doctor recipe music train weather ticket email phone "
         "database index memory agent schedule friday monday launch bug fix release note").split()


def texts(rng, n, start):
    for i in range(start, start + n):
        words = rng.sample(WORDS, rng.randint(8, 14))
        yield f"{' '.join(words)} #{i}"


def rate(v, rng, n, start):
    batch = list(texts(rng, n, start))
    t0 = time.perf_counter()
    for t in batch:
        v.store(t)
    return n / (time.perf_counter() - t0)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--records", type=int, default=100_000)
    ap.add_argument("--batch", type=int, default=20_000)
    args = ap.parse_args()
    rng = random.Random(7)
    with tempfile.TemporaryDirectory() as d:
        v = Vesk(d + "/store")
        empty = rate(v, rng, args.batch, 0)
        print(f"empty store:            {empty:10.0f} stores/s over {args.batch} calls")
        fill_start = time.perf_counter()
        for t in texts(rng, args.records - args.batch, args.batch):
            v.store(t)
        print(f"filled to {v.count()} records in {time.perf_counter() - fill_start:.1f} s")
        full = rate(v, rng, args.batch, args.records)
        print(f"store with {args.records} records: {full:10.0f} stores/s over {args.batch} calls")
        t0 = time.perf_counter()
        v.close()
        print(f"close: {time.perf_counter() - t0:.2f} s")


if __name__ == "__main__":
    main()
