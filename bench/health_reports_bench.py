"""The health reports from Python over a store of 100,000 records, 10,000
beliefs, 1,000 policy hints, 32 reflection summaries and an audit journal of
at least 10 MiB.

    .venv/bin/python bench/health_reports_bench.py [--records 100000] [--beliefs 10000] [--hints 1000] [--repeat 5]

The belief and policy layers are written to their files before the store
opens (random volatility, stability, strength; hints over 50 areas); the
records are stored, and one in twenty gets a random salience; then
correction lines (one in three of a belief) are appended to the audit
journal until it holds 10 MiB. Printed: the
median of `repeat` calls of each report, as seen from Python (conversion
included). Each report is one pass over its layer or the records.
"""

import argparse
import json
import os
import random
import statistics
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "tests", "python"))
from test_correction_log import _line as correction_line  # noqa: E402
from test_layer_files import belief, belief_store, hint  # noqa: E402
from test_maintenance_histories import finding, snapshot, summary  # noqa: E402
from vesk._core import Vesk  # noqa: E402

STATES = ["Resolved", "Unresolved", "Singleton", "Empty"]
KINDS = ["Prefer", "Recommend", "VerifyFirst", "Avoid", "Warn"]
HINT_STATES = ["Candidate", "Stable", "Suppressed", "Rejected"]


def seed(path, n_beliefs, n_hints, rng):
    os.makedirs(path)
    beliefs = [belief(i, key=f"ns{i % 20}:k{i}", state=rng.choice(STATES), volatility=rng.random(),
                      stability=rng.random() * 3) for i in range(1, n_beliefs + 1)]
    with open(os.path.join(path, "beliefs.cog"), "w", encoding="utf-8") as f:
        json.dump(belief_store(beliefs), f, separators=(",", ":"))
    hints = {}
    for i in range(n_hints):
        h = hint()
        h.update(id=f"ph{i}", key=f"k{i}", namespace=f"ns{i % 10}", domain=f"d{i % 5}", action_kind=rng.choice(KINDS),
                 state=rng.choice(HINT_STATES), policy_strength=rng.random(), risk_score=rng.random())
        hints[h["id"]] = h
    with open(os.path.join(path, "policies.cog"), "w", encoding="utf-8") as f:
        json.dump({"hints": hints, "key_index": {h["key"]: k for k, h in hints.items()}}, f, separators=(",", ":"))
    summaries = [summary([finding(kind=f"kind{j % 7}", namespace=f"ns{j % 5}", title=f"finding {n}.{j}",
                                  score=rng.random(), severity=rng.choice(["high", "medium", "low"]))
                          for j in range(12)], timestamp=f"t{n:02}") for n in range(32)]
    with open(os.path.join(path, "reflection_summaries.json"), "w", encoding="utf-8") as f:
        json.dump(summaries, f)
    with open(os.path.join(path, "maintenance_trends.json"), "w", encoding="utf-8") as f:
        json.dump([snapshot(n) for n in range(32)], f)


def fill_audit(path, n_beliefs, rng, size=10 << 20):
    audit = os.path.join(path, "brain.audit")
    lines, total, n = [], os.path.getsize(audit), 0
    while total < size:
        kind = "belief" if n % 3 == 0 else "policy_hint"
        line = correction_line(kind, f"b{rng.randrange(1, n_beliefs + 1)}", "deprecate", ms=1_750_000_000_000 + n) + "\n"
        lines.append(line)
        total += len(line)
        n += 1
    with open(audit, "a", encoding="utf-8") as f:
        f.write("".join(lines))
    return n


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--records", type=int, default=100_000)
    ap.add_argument("--beliefs", type=int, default=10_000)
    ap.add_argument("--hints", type=int, default=1_000)
    ap.add_argument("--repeat", type=int, default=5)
    args = ap.parse_args()
    rng = random.Random(7)
    with tempfile.TemporaryDirectory() as tmp:
        path = os.path.join(tmp, "store")
        seed(path, args.beliefs, args.hints, rng)
        v = Vesk(path)
        t0 = time.perf_counter()
        for i in range(args.records):
            rid = v.store(f"note {i} about topic {i % 97}")
            if i % 20 == 0:
                v.mark_record_salience(rid, rng.random())
        corrections = fill_audit(path, args.beliefs, rng)
        print(f"{args.records} records, {args.beliefs} beliefs, {args.hints} hints, {corrections} correction "
              f"lines (filled in {time.perf_counter() - t0:.1f} s)")
        reports = [
            ("get_belief_instability_summary", v.get_belief_instability_summary),
            ("get_high_volatility_beliefs", v.get_high_volatility_beliefs),
            ("get_low_stability_beliefs", v.get_low_stability_beliefs),
            ("get_salience_summary", v.get_salience_summary),
            ("get_high_salience_records", v.get_high_salience_records),
            ("get_policy_pressure_report", v.get_policy_pressure_report),
            ("get_policy_lifecycle_summary", v.get_policy_lifecycle_summary),
            ("get_reflection_summaries", v.get_reflection_summaries),
            ("get_reflection_digest", lambda: v.get_reflection_digest(limit=32)),
            ("get_contradiction_review_queue", v.get_contradiction_review_queue),
            ("get_recently_corrected_beliefs", v.get_recently_corrected_beliefs),
            ("get_correction_log (for comparison)", v.get_correction_log),
            ("get_memory_health_digest", v.get_memory_health_digest),
        ]
        for name, call in reports:
            times = []
            for _ in range(args.repeat):
                t0 = time.perf_counter()
                call()
                times.append(time.perf_counter() - t0)
            print(f"  {name:32} {statistics.median(times) * 1000:8.2f} ms")
        v.close()


if __name__ == "__main__":
    main()
