"""Record removal from Python.

    .venv/bin/python bench/removal.py [--records 100000] [--deletes 200] [--audit-mb 50]

Two parts, each in a process of its own so that one's memory does not hide
the other's:

- delete: a store of `records` records without embeddings, some of them
  connected to each other; the median and 95th percentile time of
  `delete()` (balanced profile: one pass over the records for the links to
  cut, one forced journal frame) over `deletes` records chosen at random.
- purge: a small store whose audit files are padded to `audit-mb` MB of
  unrelated lines in rotated files; the time of one `purge_record(...,
  "history")` and how much it raised the process's peak resident memory
  (the audit files are streamed line by line, never read whole).
"""

import argparse
import json
import os
import random
import resource
import statistics
import subprocess
import sys
import tempfile
import time

from vesk._core import Vesk

WORDS = ("harbour crane cable kiln glaze firing ferry island noon lease march garden gate orchard apple sea "
         "clay wheel shelf batch report window friday supplier invoice ledger draft review").split()


def peak_rss_mb():
    return resource.getrusage(resource.RUSAGE_SELF).ru_maxrss / 1024


def part_delete(records, deletes):
    rng = random.Random(7)
    with tempfile.TemporaryDirectory() as d:
        v = Vesk(os.path.join(d, "s"))
        ids = [v.store(" ".join(rng.choice(WORDS) for _ in range(8)) + f" note {i}") for i in range(records)]
        for _ in range(records // 10):
            a, b = rng.sample(ids, 2)
            v.connect(a, b)
        times = []
        for rid in rng.sample(ids, deletes):
            t0 = time.perf_counter()
            assert v.delete(rid)
            times.append((time.perf_counter() - t0) * 1000)
        v.close()
    times.sort()
    print(f"delete at {records} records: median {statistics.median(times):.2f} ms, "
          f"p95 {times[int(len(times) * 0.95) - 1]:.2f} ms over {deletes} deletes")


def part_purge(audit_mb):
    with tempfile.TemporaryDirectory() as d:
        path = os.path.join(d, "s")
        v = Vesk(path)
        rid = v.store("the record to purge, build_5521 release note")
        for i in range(100):
            v.store(f"another record number {i}")
        v.close()
        line = json.dumps({"timestamp": 1, "time_iso": "1970-01-01T00:00:01Z",
                           "action": {"update": {"id": "someone-else-" + "x" * 100}},
                           "session_id": "session_1"}, separators=(",", ":")).encode() + b"\n"
        per_file = 10 * 1024 * 1024
        written, n = 0, 0
        while written < audit_mb * 1024 * 1024:
            with open(os.path.join(path, f"brain.audit.{1700000000000 + n}"), "wb") as f:
                block = line * (1024 * 1024 // len(line))
                size = 0
                while size < per_file:
                    f.write(block)
                    size += len(block)
                f.write(line.replace(b"someone-else", rid.encode()))
            written += size
            n += 1
        v = Vesk(path)
        before = peak_rss_mb()
        t0 = time.perf_counter()
        report = v.purge_record(rid, "history")
        elapsed = time.perf_counter() - t0
        grown = peak_rss_mb() - before
        v.close()
    print(f"history purge over {written / 1e6:.0f} MB of audit files: {elapsed * 1000:.0f} ms, "
          f"{report['audit_entries_removed']} lines removed, peak memory grew {grown:.1f} MB")


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--records", type=int, default=100000)
    ap.add_argument("--deletes", type=int, default=200)
    ap.add_argument("--audit-mb", type=int, default=50)
    ap.add_argument("--part", choices=["delete", "purge"])
    args = ap.parse_args()
    if args.part == "delete":
        part_delete(args.records, args.deletes)
    elif args.part == "purge":
        part_purge(args.audit_mb)
    else:
        for part in ("delete", "purge"):
            subprocess.run([sys.executable, __file__, "--part", part, "--records", str(args.records),
                            "--deletes", str(args.deletes), "--audit-mb", str(args.audit_mb)], check=True)


if __name__ == "__main__":
    main()
