"""Context capsules and the correction log from Python.

    .venv/bin/python bench/capsule_bench.py [--records 100000] [--calls 21] [--journal-mib 10]

A store is filled with `records` records of the bench corpus (corpus.py), all
in one namespace, with their tags and metadata. Printed: the median time of
`build_context_capsule` and of `build_compacted_context_capsule` over `calls`
calls for a few purposes taken from the corpus's own questions, at the
default budget of 2000 tokens and at the largest, 32768; the dict handed to
Python is part of each call. Goals: under 100 ms and under 200 ms at 100,000
records.

Then a second store's audit journal is extended by hand to `journal_mib` MiB
of plain lines (one correction in ten, the rest store entries, about 200
bytes each) and `get_correction_log` is timed the same way. Goal: under
50 ms for 10 MiB.
"""

import argparse
import json
import os
import statistics
import tempfile
import time

from corpus import make_corpus
from vesk._core import Vesk


def median_ms(fn, calls):
    times = []
    for _ in range(calls):
        t0 = time.perf_counter()
        fn()
        times.append(time.perf_counter() - t0)
    return statistics.median(times) * 1000


def capsules(records, calls):
    corpus = make_corpus(records)
    purposes = [corpus[i].questions[0] for i in (0, len(corpus) // 3, 2 * len(corpus) // 3)]
    with tempfile.TemporaryDirectory() as tmp:
        v = Vesk(os.path.join(tmp, "store"))
        t0 = time.perf_counter()
        for r in corpus:
            v.store(r.content, tags=r.tags, metadata=r.metadata, namespace="bench")
        print(f"filled {v.count()} records in {time.perf_counter() - t0:.1f} s")
        for budget in (2000, 32768):
            for name in ("build_context_capsule", "build_compacted_context_capsule"):
                method = getattr(v, name)
                figures = []
                for p in purposes:
                    figures.append(median_ms(lambda: method(p, token_budget=budget, namespace="bench"), calls))
                    capsule = method(p, token_budget=budget, namespace="bench")
                print(f"  {name:34s} budget {budget:5d}: median {statistics.median(figures):6.1f} ms "
                      f"(per purpose {', '.join(f'{f:.1f}' for f in figures)}); "
                      f"{capsule['source_record_count']} records, {len(capsule['entries'])} entries")
        v.close()


def correction_log(mib, calls):
    with tempfile.TemporaryDirectory() as tmp:
        v = Vesk(os.path.join(tmp, "store"))
        audit = os.path.join(tmp, "store", "brain.audit")
        lines = []
        size = os.path.getsize(audit)
        i = 0
        while size < mib * 1024 * 1024:
            if i % 10 == 0:
                action = {"correction": {"target_kind": "belief", "target_id": f"b{i:08d}", "operation": "deprecate",
                                         "reason": "superseded by a later measurement of the kiln"}}
            else:
                action = {"store": {"id": f"{i:012x}", "text_preview": "the kiln reached 1240 degrees at noon and "
                                                                      "the glaze batch came out even"}}
            line = json.dumps({"timestamp": 1_750_000_000_000 + i, "time_iso": "2025-06-15T15:06:40Z",
                               "action": action, "session_id": "session_1750000000000"}, separators=(",", ":"))
            lines.append(line)
            size += len(line) + 1
            i += 1
        with open(audit, "a", encoding="utf-8") as f:
            f.write("\n".join(lines) + "\n")
        n = len(v.get_correction_log())
        ms = median_ms(v.get_correction_log, calls)
        print(f"  get_correction_log over {os.path.getsize(audit) / 2**20:.1f} MiB ({len(lines)} lines, {n} "
              f"corrections): median {ms:.1f} ms")
        v.close()


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--records", type=int, default=100_000)
    ap.add_argument("--calls", type=int, default=21)
    ap.add_argument("--journal-mib", type=float, default=10)
    args = ap.parse_args()
    capsules(args.records, args.calls)
    correction_log(args.journal_mib, args.calls)


if __name__ == "__main__":
    main()
