"""Container export and append of an open store, from Python.

    .venv/bin/python bench/container_bench.py [--records 100000]

Fills a store with `records` texts of the store_rate corpus (~85 characters),
then:
- export: captured bytes per second (the generation's original size over the
  export's time, flush and SDR index save included), against `zstd -3 -T1`
  over the same files on this machine; and the peak resident memory the
  export added, against the largest captured file plus its compressed copy
  plus 64 MB;
- append after N = 0, 100 and 10,000 writes: time and "appended_bytes" (N = 0
  reads and hashes every file and writes nothing);
- growth of the container over `--appends` appends (100 by default) with one
  write before each (at 100k records each such append stores some hundreds
  of MB: mind the disk).
A changed file is stored whole, so every append after a write stores the
record log, journal, audit journal and SDR index again; the growth shows it.

Retention (`--retention-generations`, 1,000 by default; `--retention-only`
skips everything above): a small store appended that many times with one
write before each, then
- `plan_container_retention(max_size_bytes=1)`, the size loop's worst case
  (goal: under 100 ms at 1,000 generations);
- `compact_container` to 10 generations, against the time of reading the
  container's generations alone (planning with a limit that keeps them all):
  the copy should cost in proportion to the kept bytes, not the dropped.

Inspection (`--inspection-generations`, 10,000 by default; `--inspection-only`
skips everything else): a container of that many generations of 20 segments,
one changed per generation, built in memory by tests/python/container_files.py
(the signed one signs with its pure-Python Ed25519, which takes a while), then
- `list_container_generations`, unsigned (goal: under 200 ms at 10,000) and
  signed (goal: under 600 ms; one signature check per generation);
- `verify_container_generation` of the latest generation, whose segments come
  from many generations, and `diff_container_generations` of the first and the
  latest.
"""

import argparse
import os
import pathlib
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
from store_rate import texts  # noqa: E402

from vesk._core import Vesk  # noqa: E402

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[1] / "tests" / "python"))


def reset_peak_rss():
    try:
        pathlib.Path("/proc/self/clear_refs").write_text("5")
        return True
    except OSError:
        return False


def peak_rss():
    for line in pathlib.Path("/proc/self/status").read_text().splitlines():
        if line.startswith("VmHWM:"):
            return int(line.split()[1]) * 1024
    return 0


def current_rss():
    for line in pathlib.Path("/proc/self/status").read_text().splitlines():
        if line.startswith("VmRSS:"):
            return int(line.split()[1]) * 1024
    return 0


def zstd_rate(paths):
    total = sum(os.path.getsize(p) for p in paths)
    t0 = time.perf_counter()
    for p in paths:
        subprocess.run(["zstd", "-3", "-T1", "-q", "-c", p], stdout=subprocess.DEVNULL, check=True)
    return total / (time.perf_counter() - t0)


def mb(n):
    return f"{n / 1e6:.1f} MB"


def best_of(n, call):
    best = None
    for _ in range(n):
        t0 = time.perf_counter()
        result = call()
        s = time.perf_counter() - t0
        best = s if best is None else min(best, s)
    return best, result


def retention(count):
    corpus = texts(count + 10)
    with tempfile.TemporaryDirectory() as tmp:
        v = Vesk(os.path.join(tmp, "store"))
        v.store(next(corpus))
        out = os.path.join(tmp, "many.ctr")
        v.export_container(out)
        t0 = time.perf_counter()
        for _ in range(count - 1):
            v.store(next(corpus))
            v.append_container(out)
        v.close()
        print(f"retention: {count} generations, {mb(os.path.getsize(out))}, built in "
              f"{time.perf_counter() - t0:.1f} s")
        read_s, _ = best_of(5, lambda: Vesk.plan_container_retention(out, max_generations=count))
        plan_s, plan = best_of(5, lambda: Vesk.plan_container_retention(out, max_size_bytes=1))
        print(f"  plan, limit keeping all: {read_s * 1e3:.1f} ms (reading the generations)")
        print(f"  plan max_size_bytes=1: {plan_s * 1e3:.1f} ms, keep {plan['selected_keep_last']} "
              f"(goal < 100 ms)")
        t0 = time.perf_counter()
        report = Vesk.compact_container(out, 10)
        compact_s = time.perf_counter() - t0
        print(f"  compact to 10: {compact_s * 1e3:.1f} ms, {mb(report['previous_size'])} -> "
              f"{mb(report['compacted_size'])}, copied {report['copied_segment_count']} segments, "
              f"reused {report['reused_segment_count']}")


def inspection(count, segments=20):
    from container_files import Container  # noqa: E402  (the tests' byte-level builder)

    files = {f"seg/{i:02d}": b"%d" % i * 40 for i in range(segments)}
    for signed in (False, True):
        c = Container()
        t0 = time.perf_counter()
        for n in range(count):
            files[f"seg/{n % segments:02d}"] = b"gen %d " % n * 8
            c.add(files, key=bytes(range(32)) if signed else None)
        label = "signed" if signed else "unsigned"
        with tempfile.TemporaryDirectory() as tmp:
            path = c.write(pathlib.Path(tmp) / "many.ctr")
            print(f"inspection, {label}: {count} generations of {segments} segments, "
                  f"{mb(os.path.getsize(path))}, built in {time.perf_counter() - t0:.1f} s")
            list_s, listed = best_of(5, lambda: Vesk.list_container_generations(path))
            goal = 600 if signed else 200
            print(f"  list_container_generations: {list_s * 1e3:.1f} ms for {len(listed)} entries "
                  f"(goal < {goal} ms at 10,000)")
            verify_s, _ = best_of(5, lambda: Vesk.verify_container_generation(path, count))
            print(f"  verify_container_generation (latest): {verify_s * 1e3:.1f} ms")
            diff_s, diff = best_of(5, lambda: Vesk.diff_container_generations(path, 1, count))
            print(f"  diff_container_generations 1..{count}: {diff_s * 1e3:.1f} ms, "
                  f"{len(diff['changed'])} changed")


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--records", type=int, default=100_000)
    ap.add_argument("--appends", type=int, default=100)
    ap.add_argument("--retention-generations", type=int, default=1_000)
    ap.add_argument("--retention-only", action="store_true")
    ap.add_argument("--inspection-generations", type=int, default=10_000)
    ap.add_argument("--inspection-only", action="store_true")
    args = ap.parse_args()
    if args.inspection_only:
        inspection(args.inspection_generations)
        return
    if args.retention_only:
        retention(args.retention_generations)
        return
    corpus = texts(args.records + 10_100 + args.appends)
    with tempfile.TemporaryDirectory() as tmp:
        store_dir = os.path.join(tmp, "store")
        v = Vesk(store_dir)
        t0 = time.perf_counter()
        for _ in range(args.records):
            v.store(next(corpus))
        print(f"filled {args.records} records in {time.perf_counter() - t0:.1f} s")

        out = os.path.join(tmp, "backup.ctr")
        v.flush()
        before = current_rss()
        has_peak = reset_peak_rss()
        t0 = time.perf_counter()
        report = v.export_container(out)
        export_s = time.perf_counter() - t0
        added_peak = peak_rss() - before if has_peak else None
        manifest = Vesk.inspect_container(out)
        segs = manifest["segments"]
        largest = max(segs, key=lambda s: s["original_size"])
        rate = report["original_size"] / export_s
        z = zstd_rate([os.path.join(store_dir, s["name"]) for s in segs])
        print(f"export: {report['segment_count']} files, {mb(report['original_size'])} captured, "
              f"{mb(report['container_size'])} container, {export_s:.2f} s, {mb(rate)}/s "
              f"(zstd -3 -T1: {mb(z)}/s, ratio {rate / z:.2f}, goal >= 0.5)")
        for s in sorted(segs, key=lambda s: -s["original_size"])[:5]:
            print(f"  {s['name']}: {mb(s['original_size'])} -> {mb(s['stored_size'])} {s['codec']}")
        if added_peak is not None:
            bound = largest["original_size"] + largest["stored_size"] + 64_000_000
            print(f"export peak RSS added: {mb(added_peak)} (bound {mb(bound)}: largest file "
                  f"{largest['name']} + its compressed copy + 64 MB)")

        for n in (0, 100, 10_000):
            for _ in range(n):
                v.store(next(corpus))
            t0 = time.perf_counter()
            r = v.append_container(out)
            s = time.perf_counter() - t0
            print(f"append after {n:>6} writes: {s:.2f} s ({s / export_s:.2f} of the export), "
                  f"appended_bytes {mb(r['appended_bytes'])}, changed {r['changed_segment_count']}, "
                  f"reused {r['reused_segment_count']}")

        start = os.path.getsize(out)
        t0 = time.perf_counter()
        for _ in range(args.appends):
            v.store(next(corpus))
            v.append_container(out)
        grown = os.path.getsize(out) - start
        print(f"{args.appends} appends with one write each: {time.perf_counter() - t0:.1f} s, container "
              f"{mb(start)} -> {mb(os.path.getsize(out))} (+{mb(grown / max(args.appends, 1))} per append)")
        v.close()
    retention(args.retention_generations)
    inspection(args.inspection_generations)


if __name__ == "__main__":
    main()
