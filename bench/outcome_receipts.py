"""Outcome receipts from Python in a password-protected store whose audit
history has about 100,000 lines, 1,000 of them receipts.

    .venv/bin/python bench/outcome_receipts.py [--lines 100000] [--receipts 1000] [--lineage 10] [--rate-calls 10000] [--rate-runs 5]

The history is made by the store itself: every store() appends one audit
line, and the receipts (lineages of `lineage` attempts each, 1 to 4
candidates among the stored records) are captured spread over the filling.
The store is then closed and opened again. Printed: the audit files and
their lines; the first receipt call after the open (it reads the whole
history once, unsealing every line); the median of `outcome_receipts`
filtered by one lineage, over every lineage; the median of 200 new captures;
the median of 50 repeats of a stored capture.

Then store() calls per second over `rate-calls` calls in a fresh
password-protected store, with and without the receipt index in place (one
outcome_receipts() call first builds it, and every store's audit line is
then added to it), `rate-runs` times each, alternating: the best rate of
each and the median CPU time per store (both threads of the process), which
a busy machine disturbs less than the wall time.
"""

import argparse
import os
import random
import statistics
import tempfile
import time

from vesk._core import Vesk

PASSWORD = "bench-password"
WORDS = ("harbour crane cable kiln glaze firing ferry island noon lease march garden gate orchard apple sea "
         "clay wheel shelf batch report window friday supplier invoice ledger draft review").split()


def text(rng, i):
    return " ".join(rng.choice(WORDS) for _ in range(8)) + f" note {i}"


def timed(fn):
    t0 = time.perf_counter()
    fn()
    return time.perf_counter() - t0


def capture(v, rng, ids, lineage, attempt):
    candidates = rng.sample(ids, rng.randint(1, 4))
    return v.capture_outcome_receipt(f"task-{lineage}-{attempt}", f"lineage-{lineage}", f"attempt-{attempt}",
                                     candidates, candidates[:1], rng.choice(["helpful", "unhelpful"]))


def audit_lines(directory):
    files = sorted(f for f in os.listdir(directory) if f.startswith("brain.audit"))
    lines = 0
    for f in files:
        with open(os.path.join(directory, f), "rb") as fh:
            lines += sum(1 for _ in fh)
    return files, lines


def history(directory, lines, receipts, lineage, seed=11):
    rng = random.Random(seed)
    lineages = receipts // lineage
    stores = lines - receipts
    every = max(1, stores // receipts)
    ids = []
    made = 0
    t0 = time.perf_counter()
    with Vesk(directory, password=PASSWORD) as v:
        for i in range(stores):
            ids.append(v.store(text(rng, i)))
            if (i + 1) % every == 0 and made < receipts:
                capture(v, rng, ids, made % lineages, made // lineages)
                made += 1
        while made < receipts:
            capture(v, rng, ids, made % lineages, made // lineages)
            made += 1
    return ids, lineages, time.perf_counter() - t0


def queries(directory, ids, lineages, lineage, seed=12):
    rng = random.Random(seed)
    with Vesk(directory, password=PASSWORD) as v:
        t0 = time.perf_counter()
        first = v.outcome_receipts(lineage_id="lineage-0")
        first_call = time.perf_counter() - t0
        assert len(first) == lineage, len(first)
        listing = [timed(lambda k=k: v.outcome_receipts(lineage_id=f"lineage-{k}")) for k in range(lineages)]
        new = [timed(lambda a=a: capture(v, rng, ids, a % lineages, 1000 + a)) for a in range(200)]
        stored = v.outcome_receipts(lineage_id="lineage-1")[0]
        repeat = [timed(lambda: v.capture_outcome_receipt(
            stored["task_id"], stored["lineage_id"], stored["attempt_id"], stored["candidate_record_ids"],
            stored["selected_record_ids"], stored["outcome"])) for _ in range(50)]
        everything = len(v.outcome_receipts())
    return first_call, statistics.median(listing), statistics.median(new), statistics.median(repeat), everything


def store_rate(calls, indexed, seed=13):
    rng = random.Random(seed)
    texts = [text(rng, i) for i in range(calls)]
    with tempfile.TemporaryDirectory() as tmp:
        with Vesk(os.path.join(tmp, "store"), password=PASSWORD) as v:
            if indexed:
                v.outcome_receipts()
            t0, c0 = time.perf_counter(), time.process_time()
            for t in texts:
                v.store(t)
            return calls / (time.perf_counter() - t0), (time.process_time() - c0) / calls


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--lines", type=int, default=100_000)
    ap.add_argument("--receipts", type=int, default=1000)
    ap.add_argument("--lineage", type=int, default=10)
    ap.add_argument("--rate-calls", type=int, default=10_000)
    ap.add_argument("--rate-runs", type=int, default=5)
    args = ap.parse_args()
    print(f"load average at start: {os.getloadavg()[0]:.1f}")
    with tempfile.TemporaryDirectory() as tmp:
        directory = os.path.join(tmp, "store")
        ids, lineages, filled = history(directory, args.lines, args.receipts, args.lineage)
        files, lines = audit_lines(directory)
        print(f"history: {len(files)} audit files, {lines} lines, {args.receipts} receipts in {lineages} lineages "
              f"of {args.lineage} (made in {filled:.1f} s)")
        first, listing, new, repeat, everything = queries(directory, ids, lineages, args.lineage)
        print(f"first call after open:            {first * 1e3:8.1f} ms")
        print(f"outcome_receipts(lineage_id=...): {listing * 1e3:8.3f} ms  (median over {lineages} lineages)")
        print(f"capture_outcome_receipt, new:     {new * 1e3:8.3f} ms  (median of 200)")
        print(f"capture_outcome_receipt, repeat:  {repeat * 1e3:8.3f} ms  (median of 50)")
        print(f"receipts listed at the end:       {everything}")
    runs = {False: [], True: []}
    for _ in range(args.rate_runs):
        for indexed in (False, True):
            runs[indexed].append(store_rate(args.rate_calls, indexed))
    for indexed in (False, True):
        shown = " / ".join(f"{r:.0f}" for r, _ in runs[indexed])
        cpu = statistics.median(c for _, c in runs[indexed])
        print(f"stores/s {'with' if indexed else 'without'} the receipt index: {shown}   "
              f"(median CPU time per store {cpu * 1e6:.1f} us)")
    best = {k: max(r for r, _ in v) for k, v in runs.items()}
    cpu = {k: statistics.median(c for _, c in v) for k, v in runs.items()}
    print(f"with / without: best rate {best[True] / best[False]:.3f}, CPU time per store {cpu[True] / cpu[False]:.3f}")
    print(f"load average at end: {os.getloadavg()[0]:.1f}")


if __name__ == "__main__":
    main()
