"""The cost of opening verified evidence against large sources.

    .venv/bin/python bench/evidence.py [--megabytes 10] [--runs 30]

One retrieval episode per run, over a store of one record; each run opens a
1 KB span of a registered source of the given size, with the current bytes
equal to the registered ones (passed as `bytes`). An opening hashes the
registered bytes once (the source's digest), the current bytes once (the
re-check) and the span twice. Printed: the median opening, the median of two
SHA-256 passes over the same bytes in C (hashlib), and their ratio.
"""

import argparse
import hashlib
import os
import statistics
import tempfile
import time

from vesk._core import Vesk


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--megabytes", type=int, default=10)
    ap.add_argument("--runs", type=int, default=30)
    args = ap.parse_args()
    source = os.urandom(args.megabytes * 1024 * 1024)
    current = bytes(source)
    print(f"load average at start: {os.getloadavg()[0]:.1f}")
    with tempfile.TemporaryDirectory() as tmp:
        v = Vesk(os.path.join(tmp, "store"))
        rid = v.store("the kiln reaches 1240 degrees")
        opens = []
        for _ in range(args.runs):
            e = v.start_retrieval_episode("q", [rid])
            t0 = time.perf_counter()
            e.open_verified_evidence(rid, "c1", "claim", "timeline", ["kiln"], "doc", "r1", "uri", source, current,
                                     4096, 5120, "verified", "cite")
            opens.append(time.perf_counter() - t0)
        v.close()
    hashes = []
    for _ in range(args.runs):
        t0 = time.perf_counter()
        hashlib.sha256(source).digest()
        hashlib.sha256(current).digest()
        hashes.append(time.perf_counter() - t0)
    o, h = statistics.median(opens), statistics.median(hashes)
    print(f"{args.megabytes} MB sources, 1 KB span:  open_verified_evidence {o * 1e3:.2f} ms   "
          f"two SHA-256 passes {h * 1e3:.2f} ms   ratio {o / h:.2f}x")
    print(f"load average at end: {os.getloadavg()[0]:.1f}")


if __name__ == "__main__":
    main()
