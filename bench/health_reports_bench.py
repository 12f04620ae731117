"""The belief instability, salience and policy reports from Python over a
store of 100,000 records, 10,000 beliefs and 1,000 policy hints.

    .venv/bin/python bench/health_reports_bench.py [--records 100000] [--beliefs 10000] [--hints 1000] [--repeat 5]

The belief and policy layers are written to their files before the store
opens (random volatility, stability, strength; hints over 50 areas); the
records are stored, and one in twenty gets a random salience. Printed: the
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
from test_layer_files import belief, belief_store, hint  # noqa: E402
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
        print(f"{args.records} records, {args.beliefs} beliefs, {args.hints} hints "
              f"(filled in {time.perf_counter() - t0:.1f} s)")
        reports = [
            ("get_belief_instability_summary", v.get_belief_instability_summary),
            ("get_high_volatility_beliefs", v.get_high_volatility_beliefs),
            ("get_low_stability_beliefs", v.get_low_stability_beliefs),
            ("get_salience_summary", v.get_salience_summary),
            ("get_high_salience_records", v.get_high_salience_records),
            ("get_policy_pressure_report", v.get_policy_pressure_report),
            ("get_policy_lifecycle_summary", v.get_policy_lifecycle_summary),
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
