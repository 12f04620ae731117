"""Consequence units from Python, in a store of 10,000 and one of 100,000
records of which `units` are consequence units.

    .venv/bin/python bench/consequences.py [--sizes 10000,100000] [--units 1000]

Each store is filled with distinct short texts and `units` captured units
spread among them (20 (situation, action) pairs, mixed polarities, three
namespaces), the last 200 of them captured once the store is full. Printed
per size: the median time of those 200 captures, and the medians of 50 calls of
`consequence_verdict`, of `policy_hint` and of `get_consequence_units()`;
then each figure at the largest size divided by the one at the smallest.
Listing and verdicts should cost the units, not the records.
"""

import argparse
import os
import random
import statistics
import tempfile
import time

from vesk._core import Vesk

WORDS = ("harbour crane cable kiln glaze firing ferry island noon lease march garden gate orchard apple sea "
         "clay wheel shelf batch report window friday supplier invoice ledger draft review").split()
OUTCOMES = ["ok", "failed", "outage", "passed", "meh"]


def timed(fn):
    t0 = time.perf_counter()
    fn()
    return time.perf_counter() - t0


def measure(n, units, seed=7):
    rng = random.Random(seed)
    with tempfile.TemporaryDirectory() as tmp:
        v = Vesk(os.path.join(tmp, "store"))
        t0 = time.perf_counter()
        every = max(1, n // units)
        captured = 0

        def capture():
            nonlocal captured
            p = captured % 20
            captured += 1
            v.capture_consequence(f"situation {p}", f"action {p}", rng.choice(OUTCOMES), trust=rng.choice([-1, 0, 1]),
                                  namespace=rng.choice(["default", "ops", "lab"]))

        for i in range(n):
            v.store(" ".join(rng.choice(WORDS) for _ in range(8)) + f" note {i}")
            if i % every == 0 and captured < units - 200:
                capture()
        filled = time.perf_counter() - t0
        captures = [timed(capture) for _ in range(200)]
        pairs = [(f"situation {p}", f"action {p}") for p in range(20)]
        verdict = [timed(lambda s=s, a=a: v.consequence_verdict(s, a)) for s, a in pairs * 3][:50]
        hint = [timed(lambda s=s, a=a: v.policy_hint(s, a)) for s, a in pairs * 3][:50]
        listing = [timed(v.get_consequence_units) for _ in range(50)]
        v.close()
    return {"fill": filled, "capture": statistics.median(captures), "verdict": statistics.median(verdict),
            "hint": statistics.median(hint), "list": statistics.median(listing)}


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--sizes", default="10000,100000")
    ap.add_argument("--units", type=int, default=1000)
    args = ap.parse_args()
    sizes = [int(s) for s in args.sizes.split(",")]
    print(f"load average at start: {os.getloadavg()[0]:.1f}")
    results = {}
    for n in sizes:
        r = measure(n, args.units)
        results[n] = r
        print(f"{n:>7} records (filled in {r['fill']:.1f} s), {args.units} units:  "
              f"capture_consequence {r['capture'] * 1e3:.2f} ms   consequence_verdict {r['verdict'] * 1e3:.2f} ms   "
              f"policy_hint {r['hint'] * 1e3:.2f} ms   get_consequence_units() {r['list'] * 1e3:.2f} ms")
    if len(sizes) > 1:
        lo, hi = results[sizes[0]], results[sizes[-1]]
        print(f"{sizes[-1]} / {sizes[0]}:  " + "   ".join(
            f"{k} {hi[k] / lo[k]:.2f}x" for k in ("capture", "verdict", "hint", "list")))
    print(f"load average at end: {os.getloadavg()[0]:.1f}")


if __name__ == "__main__":
    main()
