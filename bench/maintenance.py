"""Maintenance cycles on stores of 10,000 and 100,000 records.

For each size N a store is built from the seeded corpus (corpus.py: tags,
metadata, four namespaces), and links are made the way an agent makes them:
recalls grouped in sessions (co-recall edges), each session then ended
(connections between the records it recalled together). Then a fresh worker
process opens the store and runs:

  quiet    two cycles in a row, nothing else running: every phase timing,
           total_ms, the load counters (hotspots), the growth of brain.cog
           per cycle, the resident memory after the open and the peak;
  loaded   the store reopened (an open keeps no record SDRs, so the cycle
           encodes them all, as the first cycle after an open does), one
           cycle on a thread of its own while this thread alternates store()
           and recall_structured() as fast as it can: the longest and the p99
           latency of each call, beside the same load with no cycle running.

    .venv/bin/python bench/maintenance.py                 # N = 10,000 and 100,000
    .venv/bin/python bench/maintenance.py --sizes 2000    # a smoke run
    .venv/bin/python bench/maintenance.py --out bench/results/maintenance.txt

  passes   insights() and the stand-alone passes reflect(), decay() and
           decay_by_route_state(), once each in that order, on the store
           reopened, and on a second store built the same way with one more
           tag carried by every record (the tag-mates of every record are
           then the whole store).

    .venv/bin/python bench/maintenance.py --passes-only   # only the passes

Goals: the record passes (the core and digest phases, the SDR step, the
snapshot, the refreshes) grow at most 13x from 10k to 100k records; the
longest store() stall during a cycle stays under 100 ms at 10k and 1 s at
100k; the second quiet cycle encodes no SDR (sdr_vectors_computed 0) and
builds the cycle SDR map in under 50 ms at 100k. Each stand-alone pass grows
at most 13x from 10k to 100k on both stores, and so does insights(); at
100k reflect() takes under 1 s and decay() under 1.5 s.
"""

from __future__ import annotations

import argparse
import json
import os
import platform
import shutil
import subprocess
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import corpus as corpus_mod  # noqa: E402

TIMINGS = ("level_fix_ms", "decay_ms", "reflect_ms", "epistemic_ms", "insights_ms", "sdr_build_ms", "belief_ms",
           "concept_ms", "causal_ms", "policy_ms", "consolidation_ms", "cross_connections_ms", "tasks_archival_ms",
           "total_ms")
HOTSPOTS = ("records_before_cycle", "records_after_cycle", "belief_snapshot_records", "sdr_source_bytes",
            "sdr_vectors_built", "sdr_vectors_computed", "sdr_vectors_reused", "belief_total_beliefs",
            "belief_total_hypotheses", "concept_pairwise_comparisons", "concept_partitions_with_multiple_seeds",
            "causal_edges_found", "causal_explicit_edges_found", "causal_temporal_edges_found",
            "causal_temporal_namespaces_scanned", "causal_temporal_pairs_considered",
            "causal_temporal_pairs_skipped_by_budget", "causal_temporal_edges_capped",
            "causal_temporal_namespaces_hit_cap", "policy_seeds_found", "cross_connections_found",
            "task_reminders_found", "dominant_phase", "dominant_phase_ms", "dominant_phase_share")
SESSION_SIZE = 4  # recalls per session


def status_kb(field: str) -> int:
    with open("/proc/self/status") as f:
        for line in f:
            if line.startswith(field + ":"):
                return int(line.split()[1])
    return 0


# ------------------------------------------------------------------ workers

PASSES = ("insights", "reflect", "decay", "decay_by_route_state")
EVERY_RECORD_TAG = "shared-by-all"


def build(path: str, n: int, extra_tag: str | None = None) -> dict:
    from vesk._core import Vesk

    corpus = corpus_mod.make_corpus(n)
    if extra_tag:
        for rec in corpus:
            rec.tags = list(rec.tags) + [extra_tag]
    queries = corpus_mod.make_query_sets(corpus, [max(40, n // 20)])[0]
    t0 = time.perf_counter()
    with Vesk(path) as v:
        for rec in corpus:
            v.store(rec.content, tags=rec.tags, namespace=rec.namespace, metadata=rec.metadata)
        stored = time.perf_counter() - t0
        sessions = set()
        for i, q in enumerate(queries):
            session = f"s{i // SESSION_SIZE}"
            v.recall_structured(q.text, top_k=8, namespace=q.namespace, session_id=session)
            sessions.add(session)
        links = sum((v.end_session(s) or {}).get("pairs_strengthened", 0) for s in sorted(sessions))
        records = v.count()
    return {"records": records, "store_s": stored, "recalls": len(queries), "sessions": len(sessions),
            "pairs_linked": links}


def report_of(r) -> dict:
    out = {name: getattr(r.timings, name) for name in TIMINGS}
    out.update({name: getattr(r.hotspots, name) for name in HOTSPOTS})
    out["total_records"] = r.total_records
    return out


def percentile(values: list, p: float) -> float:
    if not values:
        return 0.0
    s = sorted(values)
    return s[min(len(s) - 1, int(round(p / 100.0 * (len(s) - 1))))]


def load_until(v, stop, texts, queries) -> dict:
    """store() and recall_structured() in turn until stop() is true; the
    latency of each call in milliseconds."""
    stores, recalls = [], []
    i = 0
    while not stop():
        t0 = time.perf_counter_ns()
        v.store(texts[i % len(texts)] + f" (load {i})")
        t1 = time.perf_counter_ns()
        q = queries[i % len(queries)]
        v.recall_structured(q.text, top_k=8, namespace=q.namespace)
        t2 = time.perf_counter_ns()
        stores.append((t1 - t0) / 1e6)
        recalls.append((t2 - t1) / 1e6)
        i += 1
    return {"calls": i,
            "store_max_ms": max(stores, default=0.0), "store_p99_ms": percentile(stores, 99),
            "recall_max_ms": max(recalls, default=0.0), "recall_p99_ms": percentile(recalls, 99)}


def serve(path: str, n: int) -> dict:
    from vesk._core import Vesk

    brain = os.path.join(path, "brain.cog")
    out = {"quiet": [], "loaded": {}}
    t0 = time.perf_counter()
    v = Vesk(path)
    out["open_s"] = time.perf_counter() - t0
    out["rss_after_open_mb"] = status_kb("VmRSS") / 1024
    for _ in range(2):
        before = os.path.getsize(brain)
        cycle = report_of(v.run_maintenance())
        cycle["brain_cog_growth_bytes"] = os.path.getsize(brain) - before
        out["quiet"].append(cycle)
    out["rss_peak_mb"] = status_kb("VmHWM") / 1024
    v.close()

    # The load: texts unlike the corpus's, questions of the corpus.
    texts = [f"load record about the kiln firing schedule number {i}" for i in range(1000)]
    queries = corpus_mod.make_query_sets(corpus_mod.make_corpus(min(n, 2000)), [200])[0]
    v = Vesk(path)
    done = threading.Event()
    result = {}

    def run():
        result["cycle"] = report_of(v.run_maintenance())
        done.set()

    worker = threading.Thread(target=run)
    start = time.perf_counter()
    worker.start()
    out["loaded"]["during_cycle"] = load_until(v, done.is_set, texts, queries)
    worker.join()
    seconds = time.perf_counter() - start
    out["loaded"]["cycle_total_ms"] = result["cycle"]["total_ms"]
    out["loaded"]["sdr_vectors_computed"] = result["cycle"]["sdr_vectors_computed"]
    end = time.perf_counter() + seconds
    out["loaded"]["no_cycle"] = load_until(v, lambda: time.perf_counter() >= end, texts, queries)
    v.close()
    return out


def passes(path: str) -> dict:
    """Each stand-alone pass once, in order, on the store reopened (ms)."""
    from vesk._core import Vesk

    out = {}
    with Vesk(path) as v:
        for name in PASSES:
            t0 = time.perf_counter()
            result = getattr(v, name)()
            out[name + "_ms"] = (time.perf_counter() - t0) * 1000
            if name == "insights":
                out[name] = len(result)
            else:
                out[name] = dict(result) if isinstance(result, dict) else list(result)
            # Millions of insight dicts would otherwise stay alive through the next pass's timing.
            del result
    return out


def worker_main(kind: str, path: str, n: int) -> None:
    if kind == "build":
        result = build(path, n)
    elif kind == "build_tagged":
        result = build(path, n, EVERY_RECORD_TAG)
    elif kind == "passes":
        result = passes(path)
    else:
        result = serve(path, n)
    print(json.dumps(result))


def run_worker(kind: str, path: str, n: int) -> dict:
    proc = subprocess.run([sys.executable, __file__, "--worker", kind, path, str(n)], capture_output=True, text=True)
    if proc.returncode != 0:
        raise RuntimeError(f"{kind} worker failed:\n{proc.stderr}")
    return json.loads(proc.stdout.strip().splitlines()[-1])


# ------------------------------------------------------------------ report

def fmt(x) -> str:
    if isinstance(x, float):
        return f"{x:.3f}" if abs(x) < 100 else f"{x:.1f}"
    return str(x)


def passes_report(results: dict) -> list:
    sizes = sorted(results)
    lines = ["Stand-alone passes, once each in this order on the store reopened (ms); 'tagged': every record "
             f"also carries \"{EVERY_RECORD_TAG}\"",
             f"{'':42}" + "".join(f"{f'{n}':>14}{f'{n} tagged':>16}" for n in sizes)]
    for name in PASSES:
        cells = []
        for n in sizes:
            cells += [results[n]["passes"][name + "_ms"], results[n]["passes_tagged"][name + "_ms"]]
        lines.append(f"{name + '_ms':42}" + "".join(f"{fmt(x):>14}{fmt(y):>16}" for x, y in zip(cells[::2],
                                                                                              cells[1::2])))
    for n in sizes:
        for key in ("passes", "passes_tagged"):
            p = results[n][key]
            lines.append(f"  {n} {key}: {p['insights']} insights, reflect {p['reflect']}, decay {p['decay']}, "
                         f"decay_by_route_state {p['decay_by_route_state']}")
    if len(sizes) >= 2:
        small, large = sizes[0], sizes[-1]
        lines.append(f"Growth from {small} to {large} (goal: at most 13x; at {large} reflect under 1000 ms, "
                     "decay under 1500 ms)")
        for key in ("passes", "passes_tagged"):
            for name in PASSES:
                a = results[small][key][name + "_ms"]
                z = results[large][key][name + "_ms"]
                ratio = f"{z / a:.1f}x" if a > 0 else "-"
                lines.append(f"  {key + ' ' + name:40} {a:10.3f} -> {z:10.3f}  {ratio}")
    return lines


def report(results: dict) -> str:
    sizes = sorted(results)
    if all("serve" not in r for r in results.values()):
        head = [f"bench/maintenance.py --passes-only, {platform.machine()}, {os.cpu_count()} cores, Python "
                f"{platform.python_version()}; load average {os.getloadavg()[0]:.1f} at the end.", ""]
        return "\n".join(head + passes_report(results)) + "\n"
    lines = [f"bench/maintenance.py, {platform.machine()}, {os.cpu_count()} cores, Python "
             f"{platform.python_version()}; load average {os.getloadavg()[0]:.1f} at the end.", ""]
    for n in sizes:
        b = results[n]["build"]
        s = results[n]["serve"]
        lines.append(f"N = {n}: {b['records']} records stored in {b['store_s']:.1f} s; {b['recalls']} recalls in "
                     f"{b['sessions']} sessions, {b['pairs_linked']} pairs linked; open {s['open_s']:.2f} s, "
                     f"RSS after open {s['rss_after_open_mb']:.0f} MB, peak {s['rss_peak_mb']:.0f} MB")
    lines.append("")
    header = f"{'':42}" + "".join(f"{f'{n} #{c + 1}':>14}" for n in sizes for c in range(2))
    lines.append("Quiet cycles (ms; counts)")
    lines.append(header)
    for name in TIMINGS + HOTSPOTS + ("brain_cog_growth_bytes",):
        cells = [results[n]["serve"]["quiet"][c][name] for n in sizes for c in range(2)]
        lines.append(f"{name:42}" + "".join(f"{fmt(x):>14}" for x in cells))
    lines.append("")
    lines.append("store() and recall_structured() while a cycle runs on another thread (first cycle after an "
                 "open),")
    lines.append("and the same load for as long with no cycle (ms)")
    lines.append(f"{'':42}" + "".join(f"{f'{n} cycle':>14}{f'{n} none':>14}" for n in sizes))
    for name in ("calls", "store_max_ms", "store_p99_ms", "recall_max_ms", "recall_p99_ms"):
        cells = []
        for n in sizes:
            loaded = results[n]["serve"]["loaded"]
            cells += [loaded["during_cycle"][name], loaded["no_cycle"][name]]
        lines.append(f"{name:42}" + "".join(f"{fmt(x):>14}" for x in cells))
    for n in sizes:
        loaded = results[n]["serve"]["loaded"]
        lines.append(f"  {n}: that cycle took {loaded['cycle_total_ms']:.1f} ms and encoded "
                     f"{loaded['sdr_vectors_computed']} SDRs")
    if len(sizes) >= 2:
        small, large = sizes[0], sizes[-1]
        lines.append("")
        lines.append(f"Growth of the record passes from {small} to {large} (second quiet cycle; goal: at most 13x)")
        for name in ("level_fix_ms", "decay_ms", "reflect_ms", "epistemic_ms", "insights_ms", "sdr_build_ms",
                     "consolidation_ms", "cross_connections_ms", "tasks_archival_ms", "total_ms"):
            a = results[small]["serve"]["quiet"][1][name]
            z = results[large]["serve"]["quiet"][1][name]
            ratio = f"{z / a:.1f}x" if a > 0 else "-"
            lines.append(f"  {name:40} {a:10.3f} -> {z:10.3f}  {ratio}")
    lines.append("")
    lines += passes_report(results)
    return "\n".join(lines) + "\n"


def main() -> None:
    if len(sys.argv) > 1 and sys.argv[1] == "--worker":
        worker_main(sys.argv[2], sys.argv[3], int(sys.argv[4]))
        return
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--sizes", default="10000,100000", help="comma-separated record counts")
    ap.add_argument("--out", help="also write the report to this file")
    ap.add_argument("--passes-only", action="store_true", help="only the stand-alone passes")
    args = ap.parse_args()
    results = {}
    for n in (int(x) for x in args.sizes.split(",")):
        d = tempfile.mkdtemp(prefix="vesk-maint-")
        try:
            path = os.path.join(d, "store")
            results[n] = {"build": run_worker("build", path, n)}
            if not args.passes_only:
                results[n]["serve"] = run_worker("serve", path, n)
            results[n]["passes"] = run_worker("passes", path, n)
            tagged = os.path.join(d, "tagged")
            run_worker("build_tagged", tagged, n)
            results[n]["passes_tagged"] = run_worker("passes", tagged, n)
        finally:
            shutil.rmtree(d, ignore_errors=True)
        print(f"N = {n} done", file=sys.stderr)
    text = report(results)
    print(text, end="")
    if args.out:
        with open(args.out, "w") as f:
            f.write(text)


if __name__ == "__main__":
    main()
