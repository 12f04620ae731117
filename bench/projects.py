"""Project views and writers from Python, in a store of 10,000 and one of
100,000 records.

    .venv/bin/python bench/projects.py [--sizes 10000,100000] [--projects 100] [--members 50] [--calls 200]

Each store holds `projects` projects (an anchor record tagged
"research-project" and `members` member records each: tasks with due dates,
todos and notes, written with the project writers) among distinct short
filler texts. Printed per size: the median time of `get_project_digest`,
`get_project_timeline` and `get_project_status` over `calls` random projects
and of `store_project_task` over `calls` writes, and the ratio of each figure
at the largest size to the smallest. Goals: `get_project_digest` under 3 ms
at 100,000 records, and every figure within 1.3x of the smallest size (a
project costs its own records, not the store's).
"""

import argparse
import random
import statistics
import tempfile
import time

from vesk._core import Vesk

WORDS = ("harbour crane cable kiln glaze firing ferry island noon lease march garden gate orchard apple sea "
         "clay wheel shelf batch report window friday supplier invoice ledger draft review").split()


def median_ms(fn, args):
    times = []
    for a in args:
        t0 = time.perf_counter()
        fn(a)
        times.append(time.perf_counter() - t0)
    return statistics.median(times) * 1000


def text(rng, n):
    return " ".join(rng.choice(WORDS) for _ in range(8)) + f" {n}"


def build(path, size, projects, members, rng):
    v = Vesk(path)
    pids = [f"project-{p}" for p in range(projects)]
    fillers = size - projects * (members + 1)
    spread = max(1, fillers // (projects * members))
    n = 0
    for pid in pids:
        v.store(f"Project {pid}", tags=["research-project"], metadata={"project_id": pid, "project_topic": pid})
        n += 1
    for k in range(members):
        for pid in pids:
            for _ in range(spread):
                v.store(text(rng, n))
                n += 1
            kind = k % 3
            if kind == 0:
                v.store_project_task(pid, text(rng, n), f"2030-{1 + k % 12:02d}-{1 + k % 28:02d}")
            elif kind == 1:
                v.store_project_todo(pid, text(rng, n), {"priority": rng.choice(["high", "low"])})
            else:
                v.store_project_note(pid, text(rng, n))
            n += 1
    while n < size:
        v.store(f"filler note {n}")
        n += 1
    return v, pids


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--sizes", default="10000,100000")
    ap.add_argument("--projects", type=int, default=100)
    ap.add_argument("--members", type=int, default=50)
    ap.add_argument("--calls", type=int, default=200)
    args = ap.parse_args()
    sizes = [int(s) for s in args.sizes.split(",")]
    figures = {}
    for size in sizes:
        rng = random.Random(7)
        with tempfile.TemporaryDirectory() as d:
            t0 = time.perf_counter()
            v, pids = build(d + "/store", size, args.projects, args.members, rng)
            fill_s = time.perf_counter() - t0
            names = [rng.choice(pids) for _ in range(args.calls)]
            row = {
                "get_project_digest": median_ms(v.get_project_digest, names),
                "get_project_timeline": median_ms(v.get_project_timeline, names),
                "get_project_status": median_ms(v.get_project_status, names),
                "store_project_task": median_ms(lambda p: v.store_project_task(p, f"extra task {rng.random()}",
                                                                               "2030-06-01"), names),
            }
            v.close()
        figures[size] = row
        print(f"{size} records (filled in {fill_s:.1f} s):")
        for name, ms in row.items():
            print(f"  {name:40s} {ms:8.4f} ms")
    if len(sizes) > 1:
        lo, hi = figures[sizes[0]], figures[sizes[-1]]
        print(f"ratio {sizes[-1]} / {sizes[0]}:")
        for name in lo:
            print(f"  {name:40s} {hi[name] / lo[name]:8.2f}x")


if __name__ == "__main__":
    main()
