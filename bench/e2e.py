"""End-to-end benchmark: Vesk against the stores an agent would use instead.

For each corpus size N and each system, two fresh worker processes run:

  build  store the N records one call at a time, then close;
  serve  open the store, answer the queries on 1 and on 4 threads, close.

Each worker measures its own peak resident memory above what it held
before the store was touched, so the systems' peaks never mix. Disk usage is
measured between the two workers. The results are written as markdown
tables (median and p95 per operation, Vesk's ratio against each peer, the
goals beside the figures) and a plot of recall latency against N.

    python bench/e2e.py            # N = 10,000 and 100,000
    python bench/e2e.py --quick    # N = 2,000, a smoke run
    python bench/e2e.py --sizes 10000,100000,1000000 --out bench/results/scale.md

Above 100,000 records only Vesk and SQLite FTS5 run; the other systems are
skipped at those sizes with a note (LARGEST below says why).
"""

from __future__ import annotations

import argparse
import datetime as _dt
import gc
import json
import os
import pickle
import platform
import shutil
import statistics
import subprocess
import sys
import tempfile
import threading
import time
import traceback

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
RESULTS = os.path.join(HERE, "results")
sys.path.insert(0, HERE)

import corpus as corpus_mod  # noqa: E402

# (key, label, kind); kind "vesk" or "peer".
SYSTEMS = [
    ("vesk", "Vesk", "vesk"),
    ("vesk-enc", "Vesk (encrypted)", "vesk"),
    ("vesk-emb", "Vesk (+embeddings)", "vesk"),
    ("fts5", "SQLite FTS5", "peer"),
    ("bm25s", "bm25s (in-memory)", "peer"),
    ("chroma", "Chroma", "peer"),
]
LABEL = {k: lbl for k, lbl, _ in SYSTEMS}
VESK_VARIANT = {"vesk": "plain", "vesk-enc": "encrypted", "vesk-emb": "embeddings"}
THREADS = 4
# The largest N each system is run at, and why; the rest run at any size.
LARGEST = {
    "vesk-enc": (100_000, "the encrypted variant is measured up to 100,000 records"),
    "vesk-emb": (100_000, "384-dimension vectors of a million records do not fit this machine's memory "
                          "beside the store"),
    "bm25s": (100_000, "no incremental insert: the in-memory index is rebuilt whole"),
    "chroma": (100_000, "about 80 stores per second: a million records would take hours"),
}
WARM_UP = corpus_mod.Query("warm up the reader before timing", "default", -1)


# ---------------------------------------------------------------- measuring

def _status_kb(field: str) -> int:
    with open("/proc/self/status") as f:
        for line in f:
            if line.startswith(field + ":"):
                return int(line.split()[1])
    return 0


def _reset_peak() -> bool:
    """Reset the process's peak RSS to its current RSS (Linux clear_refs 5)."""
    try:
        with open("/proc/self/clear_refs", "w") as f:
            f.write("5")
        return True
    except OSError:
        return False


class MemoryWatch:
    """Peak RSS above a baseline taken when the watch starts."""

    def __init__(self):
        gc.collect()
        self.reset = _reset_peak()
        self.base = _status_kb("VmRSS")
        self.peak_before = _status_kb("VmHWM")

    def current(self) -> int:
        return max(0, _status_kb("VmRSS") - self.base) * 1024

    def peak(self) -> int:
        # Without clear_refs the recorded peak may predate the watch; the
        # figure is then an upper bound.
        return max(0, _status_kb("VmHWM") - self.base) * 1024


def summary(lat: list) -> dict:
    if not lat:
        return {"n": 0}
    s = sorted(lat)
    p95 = s[min(len(s) - 1, int(round(0.95 * (len(s) - 1))))]
    return {"n": len(s), "median_ms": 1e3 * statistics.median(s), "p95_ms": 1e3 * p95,
            "mean_ms": 1e3 * statistics.fmean(s)}


def dir_bytes(path: str) -> int:
    total = 0
    for dirpath, _, files in os.walk(path):
        for name in files:
            try:
                total += os.lstat(os.path.join(dirpath, name)).st_size
            except OSError:
                pass
    return total


# ---------------------------------------------------------------- workers

def _make_system(key: str, args):
    import systems
    from embedder import HashingEmbedder
    if key in VESK_VARIANT:
        emb = HashingEmbedder() if key == "vesk-emb" else None
        return systems.Vesk(VESK_VARIANT[key], emb, args.text_budget)
    if key == "fts5":
        return systems.SqliteFts5()
    if key == "bm25s":
        import bm25s  # noqa: F401 - loaded before the memory baseline
        return systems.Bm25s()
    if key == "chroma":
        import chromadb  # noqa: F401
        return systems.Chroma(HashingEmbedder())
    raise ValueError(f"unknown system {key!r}")


def _import_for(key: str):
    """Import what the system needs before the memory baseline."""
    if key in VESK_VARIANT:
        import vesk  # noqa: F401


def worker_build(args) -> dict:
    with open(args.data, "rb") as f:
        data = pickle.load(f)
    records = data["corpus"]
    _import_for(args.system)
    sysm = _make_system(args.system, args)
    n = len(records)
    tail = n
    if args.system == "chroma" and args.vector_timed_tail and n > args.vector_timed_tail:
        tail = args.vector_timed_tail
    mem = MemoryWatch()
    out = {"n": n, "timed": tail, "peak_reset": mem.reset}

    t_all = time.perf_counter()
    sysm.create(args.store)
    bulk = n - tail
    if bulk:
        t = time.perf_counter()
        for i in range(0, bulk, 500):
            sysm.store_batch(records[i:min(bulk, i + 500)])
        out["bulk_s"] = time.perf_counter() - t
    lat = []
    ids = [None] * n
    t_loop = time.perf_counter()
    for rec in records[bulk:]:
        t = time.perf_counter()
        ids[rec.index] = sysm.store(rec)
        lat.append(time.perf_counter() - t)
    loop_s = time.perf_counter() - t_loop
    t = time.perf_counter()
    sysm.close()
    close_s = time.perf_counter() - t
    out["wall_s"] = time.perf_counter() - t_all
    out["loop_s"] = loop_s
    out["close_s"] = close_s
    out["store"] = summary(lat)
    tenth = max(1, len(lat) // 10)
    out["store_first10"] = summary(lat[:tenth])
    out["store_last10"] = summary(lat[-tenth:])
    # Records per second of the timed calls, the final close included: the
    # moment the data is on disk as each system promises it.
    out["rate"] = tail / (loop_s + close_s)
    out["peak_bytes"] = mem.peak()
    if args.system in VESK_VARIANT:
        with open(args.ids, "w") as f:
            json.dump(ids, f)
    return out


def _run_phase(readers, fn, queries, threads: int) -> dict:
    """Run the queries on `threads` threads; per-call latencies and wall time."""
    chunks = [queries[i::threads] for i in range(threads)]
    lat = [[] for _ in range(threads)]
    res = [[] for _ in range(threads)]
    errors = []
    barrier = threading.Barrier(threads + 1)

    def run(i):
        r = readers[i]
        try:
            barrier.wait()
            for q in chunks[i]:
                t = time.perf_counter()
                out = fn(r, q)
                lat[i].append(time.perf_counter() - t)
                res[i].append((q, out))
        except Exception as e:  # noqa: BLE001 - reported, not hidden
            errors.append(f"{type(e).__name__}: {e}")

    ts = [threading.Thread(target=run, args=(i,)) for i in range(threads)]
    for t in ts:
        t.start()
    barrier.wait()
    t0 = time.perf_counter()
    for t in ts:
        t.join()
    wall = time.perf_counter() - t0
    if errors:
        raise RuntimeError(errors[0])
    flat = [x for part in lat for x in part]
    out = summary(flat)
    out["wall_s"] = wall
    out["qps"] = len(flat) / wall if wall > 0 else 0.0
    out["threads"] = threads
    out["_results"] = [x for part in res for x in part]
    return out


def worker_serve(args) -> dict:
    from systems import TOP_K
    with open(args.data, "rb") as f:
        data = pickle.load(f)
    records = data["corpus"]
    qsets = data["queries"]
    _import_for(args.system)
    sysm = _make_system(args.system, args)
    vesk_ids = None
    if args.system in VESK_VARIANT:
        with open(args.ids) as f:
            vesk_ids = json.load(f)
    mem = MemoryWatch()
    out = {"n": len(records), "peak_reset": mem.reset}

    t = time.perf_counter()
    sysm.open(args.store)
    out["open_s"] = time.perf_counter() - t
    out["rss_after_open_bytes"] = mem.current()
    is_vesk = args.system in VESK_VARIANT
    t = time.perf_counter()
    if is_vesk:
        sysm.recall_structured(WARM_UP)
    else:
        sysm.query(WARM_UP)
    out["first_query_s"] = time.perf_counter() - t

    def target_id(q):
        return vesk_ids[q.target] if is_vesk else records[q.target].id

    def hits_ids(results):
        h = 0
        for q, items in results:
            h += any(it.get("id") == target_id(q) for it in items[:TOP_K])
        return h

    def hits_text(results):
        return sum(records[q.target].content in text for q, text in results)

    phases = {}
    if is_vesk:
        plan = [("text1", 0, 1, "text"), ("text4", 1, THREADS, "text"),
                ("struct1", 2, 1, "struct"), ("struct4", 3, THREADS, "struct")]
    else:
        plan = [("struct1", 2, 1, "struct"), ("struct4", 3, THREADS, "struct")]
    for name, qi, threads, kind in plan:
        readers = [sysm.reader() for _ in range(threads)]
        if is_vesk:
            fn = (lambda r, q: r.recall_text(q)) if kind == "text" else (lambda r, q: r.recall_structured(q))
        else:
            fn = lambda r, q: r.query(q)  # noqa: E731
        ph = _run_phase(readers, fn, qsets[qi], threads)
        results = ph.pop("_results")
        ph["hits"] = hits_text(results) if kind == "text" else hits_ids(results)
        ph["queries"] = len(results)
        phases[name] = ph
    out["phases"] = phases
    out["peak_bytes"] = mem.peak()
    t = time.perf_counter()
    sysm.close()
    out["close_s"] = time.perf_counter() - t
    return out


def worker_main(args) -> int:
    try:
        res = worker_build(args) if args.worker == "build" else worker_serve(args)
    except Exception as e:  # noqa: BLE001 - the parent reports it beside the others
        res = {"error": f"{type(e).__name__}: {e}", "trace": traceback.format_exc()}
    with open(args.result, "w") as f:
        json.dump(res, f)
    return 0


# ---------------------------------------------------------------- orchestration

def _meminfo_kb(field: str) -> int | None:
    try:
        with open("/proc/meminfo") as f:
            for line in f:
                if line.startswith(field + ":"):
                    return int(line.split()[1])
    except OSError:
        pass
    return None


def _pid_rss_kb(pid: int) -> int:
    try:
        with open(f"/proc/{pid}/status") as f:
            for line in f:
                if line.startswith("VmRSS:"):
                    return int(line.split()[1])
    except OSError:
        pass
    return 0


def run_worker(phase: str, key: str, n: int, paths: dict, args) -> dict:
    """Run one worker process and return its result.

    The machine is shared: a worker whose store grows until the machine's
    available memory falls under --memory-floor is stopped and reported as
    failed, with its resident memory at that moment, rather than left to
    bring the out-of-memory killer onto other processes."""
    cmd = [sys.executable, os.path.abspath(__file__), "--worker", phase, "--system", key,
           "--data", paths["data"], "--store", paths["store"], "--ids", paths["ids"],
           "--result", paths["result"], "--text-budget", str(args.text_budget),
           "--vector-timed-tail", str(args.vector_timed_tail)]
    if os.path.exists(paths["result"]):
        os.remove(paths["result"])
    floor_kb = int(args.memory_floor * 1024 * 1024)
    t = time.perf_counter()
    with tempfile.TemporaryFile("w+") as log:
        proc = subprocess.Popen(cmd, stdout=log, stderr=subprocess.STDOUT, text=True)
        stopped = None
        max_rss_kb = 0
        while proc.poll() is None:
            rss = _pid_rss_kb(proc.pid)
            max_rss_kb = max(max_rss_kb, rss)
            avail = _meminfo_kb("MemAvailable")
            if floor_kb and avail is not None and avail < floor_kb:
                stopped = (f"stopped: the machine's available memory fell to {avail / 2**20:.1f} GB "
                           f"(floor {args.memory_floor:g} GB) with the worker at {rss / 2**20:.1f} GB resident")
            elif time.perf_counter() - t > args.worker_timeout:
                stopped = f"stopped: no result after {args.worker_timeout:,.0f} s"
            if stopped:
                proc.kill()
                proc.wait()
                break
            try:
                proc.wait(timeout=0.2)
            except subprocess.TimeoutExpired:
                pass
        elapsed = time.perf_counter() - t
        log.seek(0)
        output = log.read()
    if stopped:
        return {"error": stopped, "worker_max_rss_bytes": max_rss_kb * 1024}
    if not os.path.exists(paths["result"]):
        tail = output.strip().splitlines()[-5:]
        return {"error": f"worker exited with {proc.returncode}: " + " | ".join(tail)}
    with open(paths["result"]) as f:
        res = json.load(f)
    res["worker_s"] = elapsed
    if proc.returncode != 0 and "error" not in res:
        res["error"] = f"worker exited with {proc.returncode}"
    return res


def exact_cosine_recall(records, queries) -> float:
    """Share of questions whose target is in the exact top 10 by cosine over
    the shared embeddings, within the question's namespace: the ceiling for
    any vector search fed by this embedder."""
    import numpy as np
    from embedder import HashingEmbedder
    from systems import TOP_K
    emb = HashingEmbedder()
    mat = np.stack([emb.vector(r.content) for r in records])
    ns = np.array([r.namespace for r in records])
    hits = 0
    for q in queries:
        s = mat @ emb.vector(q.text)
        s[ns != q.namespace] = -np.inf
        top = np.argpartition(-s, TOP_K)[:TOP_K]
        hits += int(q.target in top)
    return hits / max(1, len(queries))


def fmt_s(x: float) -> str:
    return f"{x:.1f} s" if x >= 10 else f"{x:.2f} s"


def run_all(args) -> dict:
    results = {"sizes": args.sizes, "queries_per_phase": args.queries, "systems": {},
               "skipped": {}, "too_large": {}, "corpus": {}}
    import systems
    for key, label, kind in SYSTEMS:
        if key not in args.systems:
            continue
        if kind == "vesk":
            why = systems.Vesk.missing(VESK_VARIANT[key])
            if why:
                results["skipped"][key] = why
                print(f"{label}: not available yet ({why}); its rows are skipped", flush=True)
    work = args.workdir or tempfile.mkdtemp(prefix="vesk-e2e-")
    os.makedirs(work, exist_ok=True)
    try:
        for n in args.sizes:
            t = time.perf_counter()
            records = corpus_mod.make_corpus(n)
            qsets = corpus_mod.make_query_sets(records, [args.queries] * 4)
            data = os.path.join(work, f"corpus-{n}.pkl")
            with open(data, "wb") as f:
                pickle.dump({"corpus": records, "queries": qsets}, f, protocol=pickle.HIGHEST_PROTOCOL)
            results["corpus"][str(n)] = corpus_mod.describe(records)
            if {"chroma", "vesk-emb"} & set(args.systems):
                results["corpus"][str(n)]["exact_cosine_recall"] = exact_cosine_recall(
                    records, qsets[2] + qsets[3])
            print(f"\nN = {n:,}: corpus and {4 * args.queries} queries ready in "
                  f"{fmt_s(time.perf_counter() - t)}", flush=True)
            del records, qsets
            for key, label, _ in SYSTEMS:
                if key not in args.systems or key in results["skipped"]:
                    continue
                if key in LARGEST and n > LARGEST[key][0]:
                    results["too_large"].setdefault(key, LARGEST[key][1])
                    print(f"  {label:20s} not run at N = {n:,}: {LARGEST[key][1]}", flush=True)
                    continue
                paths = {"data": data, "store": os.path.join(work, f"{key}-{n}"),
                         "ids": os.path.join(work, f"{key}-{n}.ids.json"),
                         "result": os.path.join(work, f"{key}-{n}.result.json")}
                shutil.rmtree(paths["store"], ignore_errors=True)
                entry = {}
                build = run_worker("build", key, n, paths, args)
                entry["build"] = build
                if "error" in build:
                    print(f"  {label:20s} build failed: {build['error']}", flush=True)
                else:
                    entry["disk_bytes"] = dir_bytes(paths["store"])
                    print(f"  {label:20s} stored in {fmt_s(build['wall_s'])} "
                          f"({build['rate']:,.0f}/s), {entry['disk_bytes'] / n:,.0f} B/record on disk",
                          flush=True)
                    serve = run_worker("serve", key, n, paths, args)
                    entry["serve"] = serve
                    if "error" in serve:
                        print(f"  {label:20s} serve failed: {serve['error']}", flush=True)
                    else:
                        ph = serve["phases"]
                        bits = [f"open {1e3 * serve['open_s']:.1f} ms"]
                        for name in ("text1", "struct1", "struct4"):
                            if name in ph:
                                bits.append(f"{name} {ph[name]['median_ms']:.2f} ms "
                                            f"(hit {ph[name]['hits'] / max(1, ph[name]['queries']):.2f})")
                        print(f"  {label:20s} " + ", ".join(bits), flush=True)
                if not args.keep:
                    shutil.rmtree(paths["store"], ignore_errors=True)
                results["systems"].setdefault(key, {})[str(n)] = entry
            if not args.keep:
                os.remove(data)
    finally:
        if not args.keep and not args.workdir:
            shutil.rmtree(work, ignore_errors=True)
    return results


# ---------------------------------------------------------------- report

def _env() -> dict:
    env = {"python": platform.python_version(), "machine": platform.machine(),
           "cores": os.cpu_count(), "sqlite": __import__("sqlite3").sqlite_version,
           "date": _dt.datetime.now(_dt.timezone.utc).strftime("%Y-%m-%d %H:%M UTC")}
    try:
        with open("/proc/cpuinfo") as f:
            for line in f:
                if line.startswith("model name"):
                    env["cpu"] = line.split(":", 1)[1].strip()
                    break
    except OSError:
        pass
    from importlib import metadata
    for pkg in ("vesk", "chromadb", "bm25s", "numpy"):
        try:
            env[pkg] = metadata.version(pkg)
        except metadata.PackageNotFoundError:
            env[pkg] = "not installed"
    try:
        env["load"] = " / ".join(f"{x:.1f}" for x in os.getloadavg())
    except OSError:
        pass
    try:
        env["commit"] = subprocess.run(["git", "-C", ROOT, "rev-parse", "--short", "HEAD"],
                                       capture_output=True, text=True).stdout.strip()
    except OSError:
        pass
    return env


def _get(results, key, n):
    e = results["systems"].get(key, {}).get(str(n))
    if not e or "error" in e.get("build", {}) or "error" in e.get("serve", {"error": 1}):
        return None
    return e


def _ms(st) -> str:
    if not st or not st.get("n"):
        return "—"
    return f"{st['median_ms']:.3g} / {st['p95_ms']:.3g}"


def _num(x, unit="") -> str:
    if x is None:
        return "—"
    if x >= 100:
        return f"{x:,.0f}{unit}"
    return f"{x:.3g}{unit}"


# Each row: label, getter(entry) -> (cell text, comparable number or None),
# sense: "lower" when a smaller number is better, "higher" otherwise,
# "points" for a rate difference.
def _rows(n):
    def store_call(e):
        if e.get("_key") == "bm25s":
            return "index built once", None
        st = e["build"]["store"]
        mark = " †" if e["build"]["timed"] < n else ""
        return _ms(st) + mark, st.get("median_ms")

    def store_rate(e):
        r = e["build"]["rate"]
        mark = " ‡" if e.get("_key") == "bm25s" else (" †" if e["build"]["timed"] < n else "")
        return _num(r) + mark, r

    def open_ms(e):
        x = 1e3 * e["serve"]["open_s"]
        return _num(x), x

    def first_ms(e):
        x = 1e3 * e["serve"]["first_query_s"]
        return _num(x), x

    def phase(name, peer_name=None, field="lat"):
        def get(e):
            ph = e["serve"]["phases"]
            p = ph.get(name) or (ph.get(peer_name) if peer_name else None)
            if not p:
                return "—", None
            if field == "qps":
                return _num(p["qps"]), p["qps"]
            if field == "hits":
                r = p["hits"] / max(1, p["queries"])
                return f"{r:.3f}", r
            return _ms(p), p.get("median_ms")
        return get

    def recall_at_10(e):
        ph = e["serve"]["phases"]
        h = sum(ph[x]["hits"] for x in ("struct1", "struct4") if x in ph)
        q = sum(ph[x]["queries"] for x in ("struct1", "struct4") if x in ph)
        r = h / max(1, q)
        return f"{r:.3f}", r

    def text_hits(e):
        ph = e["serve"]["phases"]
        if "text1" not in ph:
            return "—", None
        h = sum(ph[x]["hits"] for x in ("text1", "text4") if x in ph)
        q = sum(ph[x]["queries"] for x in ("text1", "text4") if x in ph)
        r = h / max(1, q)
        return f"{r:.3f}", r

    def disk(e):
        x = e["disk_bytes"] / n
        return _num(x), x

    def mem_store(e):
        x = e["build"]["peak_bytes"] / n
        return _num(x), x

    def mem_serve(e):
        x = e["serve"]["peak_bytes"] / n
        return _num(x), x

    def mem_open(e):
        x = e["serve"]["rss_after_open_bytes"] / n
        return _num(x), x

    return [
        ("store, one call (ms)", store_call, "lower"),
        ("store rate (records/s)", store_rate, "higher"),
        ("open (ms)", open_ms, "lower"),
        ("first recall after open (ms)", first_ms, "lower"),
        ("recall text, 1 thread (ms) §", phase("text1", "struct1"), "lower"),
        ("recall text, 4 threads (ms)", phase("text4", "struct4"), "lower"),
        ("recall text, 4 threads (queries/s)", phase("text4", "struct4", "qps"), "higher"),
        ("recall structured, 1 thread (ms)", phase("struct1"), "lower"),
        ("recall structured, 4 threads (ms)", phase("struct4"), "lower"),
        ("recall structured, 4 threads (queries/s)", phase("struct4", field="qps"), "higher"),
        ("recall@10", recall_at_10, "points"),
        ("text recall holds the target", text_hits, "points"),
        ("disk (bytes/record)", disk, "lower"),
        ("memory after open (bytes/record)", mem_open, "lower"),
        ("peak memory, open + recall (bytes/record)", mem_serve, "lower"),
        ("peak memory, store (bytes/record)", mem_store, "lower"),
    ]


def _ratio(v, p, sense, peer_label) -> str:
    if v is None or p is None:
        return "—"
    if sense == "points":
        d = v - p
        return f"{d:+.3f}"
    if v <= 0 or p <= 0:
        return "—"
    if sense == "lower":
        r = p / v
    else:
        r = v / p
    short = peer_label.split(" (")[0]
    if abs(r - 1) < 0.005:
        return "equal"
    if r >= 1:
        return f"Vesk {r:.2f}× better"
    return f"**{short} {1 / r:.2f}× better**"


COMPARISONS = [("vesk", "fts5"), ("vesk", "bm25s"), ("vesk-emb", "chroma")]


# The goals: at 100,000 records (the reference size), and at a million.
GOAL_N = 100_000
MILLION = 1_000_000


def _goals(results, n) -> list:
    """(goal, measured, verdict) rows for size n."""
    g = []

    def val(key, f, size=n):
        e = _get(results, key, size)
        try:
            return f(e) if e else None
        except (KeyError, TypeError, ZeroDivisionError):
            return None

    note = "" if n in (GOAL_N, MILLION) else f" (the goal is stated for N = {GOAL_N:,})"

    def verdict(ok):
        if ok is None:
            return "not measured"
        return ("met" if ok else "**not met**") + note

    def row(goal, got, ok):
        g.append((goal, got if got is not None else "—", verdict(ok)))

    text_ms = val("vesk", lambda e: e["serve"]["phases"]["text1"]["median_ms"])
    fts_ms = val("fts5", lambda e: e["serve"]["phases"]["struct1"]["median_ms"])
    open_s = val("vesk", lambda e: e["serve"]["open_s"])
    after_open = val("vesk", lambda e: e["serve"]["rss_after_open_bytes"] / n)
    peak = val("vesk", lambda e: max(e["serve"]["peak_bytes"], e["serve"]["rss_after_open_bytes"]) / n)
    v_rate = val("vesk", lambda e: e["build"]["rate"])
    f_rate = val("fts5", lambda e: e["build"]["rate"])

    if n == MILLION:
        ref = val("vesk", lambda e: e["build"]["rate"], GOAL_N)
        r = v_rate / ref if v_rate and ref else None
        row(f"store rate within 15% of the {GOAL_N:,} rate", r and f"{r:.2f}× the {GOAL_N:,} rate",
            None if r is None else r >= 0.85)
        if v_rate and f_rate:
            g.append(("store rate against SQLite FTS5 (no goal)", f"{v_rate / f_rate:.2f}×", "—"))
        row("text recall median < 12 ms, no embeddings", text_ms and _num(text_ms, " ms"),
            None if text_ms is None else text_ms < 12)
        if fts_ms:
            g.append(("SQLite FTS5 on the same questions (no goal)", _num(fts_ms, " ms"), "—"))
        row("open < 8 s", open_s is not None and _num(1e3 * open_s, " ms") or None,
            None if open_s is None else open_s < 8)
        row("peak memory ≤ 9 KB per record (open + recall)", peak and _num(peak, " B"),
            None if peak is None else peak <= 9 * 1024)
        return g

    r = v_rate / f_rate if v_rate and f_rate else None
    row("store rate ≥ 1.4× SQLite FTS5", r and f"{r:.2f}×", None if r is None else r >= 1.4)
    small = min(results["sizes"])
    if n == GOAL_N and small < n:
        rs = val("vesk", lambda e: e["build"]["rate"], small)
        rr = v_rate / rs if v_rate and rs else None
        row(f"store rate flat from {small:,} to {n:,} (within 15%)", rr and f"{rr:.2f}× the {small:,} rate",
            None if rr is None else rr >= 0.85)
    row("text recall median ≤ 4 ms, no embeddings", text_ms and _num(text_ms, " ms"),
        None if text_ms is None else text_ms <= 4)
    te = val("vesk-emb", lambda e: e["serve"]["phases"]["text1"]["median_ms"])
    tc = val("chroma", lambda e: e["serve"]["phases"]["struct1"]["median_ms"])
    row("text recall with embeddings ≥ 3× faster than Chroma", te and tc and f"{tc / te:.2f}×",
        None if not (te and tc) else tc / te >= 3)
    row("open ≤ 1 s", open_s is not None and _num(1e3 * open_s, " ms") or None,
        None if open_s is None else open_s <= 1)
    oe = val("vesk-emb", lambda e: e["serve"]["open_s"])
    row("open with embeddings ≤ 1.5 s", oe is not None and _num(1e3 * oe, " ms") or None,
        None if oe is None else oe <= 1.5)
    row("memory after open ≤ 8 KB per record", after_open and _num(after_open, " B"),
        None if after_open is None else after_open <= 8 * 1024)
    row("peak memory ≤ 9 KB per record (open + recall)", peak and _num(peak, " B"),
        None if peak is None else peak <= 9 * 1024)
    return g


def write_report(results, args, path_md: str, path_png: str | None, cpp_text: str | None):
    env = results.get("env") or _env()
    lines = ["# Vesk end-to-end benchmark", ""]
    lines.append(f"{env['date']}; commit {env.get('commit', '?')}; {env.get('cpu', env['machine'])}, "
                 f"{env['cores']} cores; Python {env['python']}; SQLite {env['sqlite']}; "
                 f"chromadb {env['chromadb']}; bm25s {env['bm25s']}; numpy {env['numpy']}; "
                 f"vesk {env['vesk']}. Load average (1, 5, 15 min) {results.get('load_start', '?')} "
                 f"at the start, {env.get('load', '?')} at the end: other work on the machine "
                 "shows in the figures.")
    lines.append("")
    if args.quick:
        lines.append("Quick smoke run: the figures are indicative only.")
        lines.append("")
    for key, why in results["skipped"].items():
        lines.append(f"- {LABEL[key]}: not available yet ({why}); its columns are empty.")
    for key, why in results.get("too_large", {}).items():
        lines.append(f"- {LABEL[key]}: not run above {LARGEST[key][0]:,} records ({why}); its columns "
                     "are n/a there.")
    if results["skipped"] or results.get("too_large"):
        lines.append("")
    lines += [
        "How to read: each cell is median / p95 for per-call latencies, one figure otherwise. "
        "Ratios compare medians; \"Vesk 2.00× better\" means Vesk's figure is twice as good "
        "(faster, smaller or higher rate); a bold cell names the peer where the peer does better. "
        "Recall@10 differences are in absolute points.",
        "",
        "Set-up: the same seeded corpus (memory-like notes of 80 to 400 characters in 12 topics and "
        "4 namespaces, with tags and metadata) and the same questions for every system. Each "
        "question paraphrases one stored fact and is asked within that fact's namespace; recall@10 "
        "counts the questions whose fact is among the first 10 results. Query sets are disjoint "
        "between phases, so no recall cache answers a timed call. Vesk stores one call at a time "
        "through `store`; SQLite FTS5 inserts each row with one autocommit INSERT, its own "
        "transaction (WAL, synchronous=NORMAL), into a table with an external-content FTS5 index "
        "and queries it with BM25 over the question's words (OR); Chroma (persistent client, cosine HNSW) gets one `add` per record and one "
        "`query` per question with a namespace filter; bm25s keeps one in-memory index per "
        "namespace. The embedding function (hashing trick over words, seeded projection to 384 "
        "dimensions, numpy) is the same for Vesk (+embeddings) and Chroma, and its calls are "
        "inside the timings of both. Memory figures are resident memory above what the worker "
        "process held before the store was touched (corpus loaded), one process per system and "
        "phase.",
        "",
        f"- § Vesk's text recall renders up to a {args.text_budget}-token budget (about ten "
        "200-character records); the peers have one query, a top-10 search returning ids, texts "
        "and metadata, so their text and structured rows show the same search.",
        f"- † Chroma at more than {args.vector_timed_tail:,} records: all but the last "
        f"{args.vector_timed_tail:,} are bulk-loaded in batches of 500; the last "
        f"{args.vector_timed_tail:,} are stored one call at a time and timed, so the per-call figure "
        "is measured on a store of nearly N records.",
        "- ‡ bm25s has no incremental insert: its rate is N over the time to gather the records, "
        "build the index and save it.",
        "",
    ]
    keys = [k for k, _, _ in SYSTEMS if k in args.systems]
    for n in results["sizes"]:
        c = results["corpus"].get(str(n), {})
        lines.append(f"## N = {n:,}")
        lines.append("")
        if c:
            lines.append(f"Corpus: {c['records']:,} records, mean {c['mean_chars']:.0f} characters "
                         f"({c['min_chars']}–{c['max_chars']}); namespaces "
                         + ", ".join(f"{k} {v:,}" for k, v in c["namespaces"].items())
                         + f"; {results['queries_per_phase']} questions per phase.")
            if "exact_cosine_recall" in c:
                lines.append(f"Exact cosine top-10 over the shared embeddings finds the target for "
                             f"{c['exact_cosine_recall']:.3f} of the questions: the ceiling of recall@10 "
                             "for any vector search with this embedder.")
            lines.append("")
        entries = {}
        for k in keys:
            e = _get(results, k, n)
            if e:
                e = dict(e)
                e["_key"] = k
            entries[k] = e
        comps = [(a, b) for a, b in COMPARISONS if a in keys and b in keys]
        head = ["operation"] + [LABEL[k] for k in keys] + \
               [f"{LABEL[a].replace(' (+embeddings)', '+emb')} vs {LABEL[b].split(' (')[0]}" for a, b in comps]
        lines.append("| " + " | ".join(head) + " |")
        lines.append("|" + "|".join("---" for _ in head) + "|")
        for label, get, sense in _rows(n):
            cells, nums = [], {}
            for k in keys:
                e = entries[k]
                if e is None:
                    err = results["systems"].get(k, {}).get(str(n), {})
                    failed = "error" in err.get("build", {}) or "error" in err.get("serve", {})
                    cells.append("failed" if failed else "n/a")
                    continue
                try:
                    text, num = get(e)
                except (KeyError, TypeError, ZeroDivisionError):
                    text, num = "—", None
                cells.append(text)
                nums[k] = num
            for a, b in comps:
                cells.append(_ratio(nums.get(a), nums.get(b), sense, LABEL[b]))
            lines.append(f"| {label} | " + " | ".join(cells) + " |")
        lines.append("")
        failures = []
        for k in keys:
            e = results["systems"].get(k, {}).get(str(n), {})
            for ph in ("build", "serve"):
                if "error" in e.get(ph, {}):
                    failures.append(f"- {LABEL[k]} {ph} failed: {e[ph]['error']}")
        if failures:
            lines += failures + [""]
        if not any(k in VESK_VARIANT and entries.get(k) for k in keys):
            lines.append("Goals: not measured (Vesk is not available yet).")
            lines.append("")
        else:
            lines.append("Goals:")
            lines.append("")
            lines.append("| goal | measured | verdict |")
            lines.append("|---|---|---|")
            for goal, got, ok in _goals(results, n):
                lines.append(f"| {goal} | {got} | {ok} |")
            lines.append("")
    if len(results["sizes"]) > 1:
        small, big = min(results["sizes"]), max(results["sizes"])
        lines.append(f"## Scaling from {small:,} to {big:,}")
        lines.append("")
        lines.append("| system | store rate at N / at smallest N | recall 1 thread median at N / at smallest N |")
        lines.append("|---|---|---|")
        for k in keys:
            a, b = _get(results, k, small), _get(results, k, big)
            if not a or not b:
                continue
            r = b["build"]["rate"] / a["build"]["rate"]
            pa = a["serve"]["phases"].get("text1") or a["serve"]["phases"]["struct1"]
            pb = b["serve"]["phases"].get("text1") or b["serve"]["phases"]["struct1"]
            lines.append(f"| {LABEL[k]} | {r:.2f} | {pb['median_ms'] / pa['median_ms']:.2f} |")
        lines.append("")
    if path_png:
        lines.append(f"![recall latency and memory against N]({os.path.basename(path_png)})")
        lines.append("")
    if cpp_text:
        lines += ["## C++ micro-benchmarks", "", "```", cpp_text.rstrip(), "```", ""]
    with open(path_md, "w") as f:
        f.write("\n".join(lines))


def plot(results, args, path_png: str) -> bool:
    """Recall latency (left) and memory per record (right) against N."""
    try:
        import matplotlib
        matplotlib.use("Agg")
        import matplotlib.pyplot as plt
        from matplotlib.ticker import NullFormatter
    except ImportError:
        print("matplotlib is not installed; no plot", flush=True)
        return False
    fig, (ax, mx) = plt.subplots(1, 2, figsize=(13, 5))
    series = []
    for k, label, _ in SYSTEMS:
        if k not in args.systems:
            continue
        phases = (("text1", "text", "-"), ("struct1", "structured", ":")) if k in VESK_VARIANT \
            else (("struct1", "", "-"),)
        color = None
        for phase, suffix, style in phases:
            xs, med, p95 = [], [], []
            for n in results["sizes"]:
                e = _get(results, k, n)
                p = e and e["serve"]["phases"].get(phase)
                if p:
                    xs.append(n)
                    med.append(p["median_ms"])
                    p95.append(p["p95_ms"])
            if not xs:
                continue
            name = label if k not in VESK_VARIANT else f"{label}, {suffix}"
            line, = ax.plot(xs, med, style, marker="o", label=f"{name} (median)", color=color)
            color = line.get_color()
            ax.fill_between(xs, med, p95, color=color, alpha=0.08)
            series.append(name)
        xs, after, peak = [], [], []
        for n in results["sizes"]:
            e = _get(results, k, n)
            if e:
                xs.append(n)
                after.append(e["serve"]["rss_after_open_bytes"] / n / 1024)
                peak.append(max(e["serve"]["peak_bytes"], e["serve"]["rss_after_open_bytes"]) / n / 1024)
        if xs:
            mx.plot(xs, peak, "-", marker="o", color=color, label=f"{label} (peak, open + recall)")
            mx.plot(xs, after, ":", marker=".", color=color, label=f"{label} (after open)")
    if not series:
        plt.close(fig)
        return False
    for a in (ax, mx):
        a.set_xscale("log")
        a.xaxis.set_minor_formatter(NullFormatter())
        a.set_xticks(results["sizes"])
        a.set_xticklabels([f"{n:,}" for n in results["sizes"]])
        a.set_xlabel("records in the store (N)")
        a.grid(True, which="both", alpha=0.3)
        a.legend(fontsize=7)
    ax.set_yscale("log")
    ax.set_ylabel("recall latency, 1 thread (ms); band up to p95")
    ax.set_title("Recall latency against store size")
    mx.set_yscale("log")
    mx.set_ylabel("resident memory per record (KB)")
    mx.set_title("Memory against store size")
    fig.tight_layout()
    fig.savefig(path_png, dpi=120)
    plt.close(fig)
    return True


# ---------------------------------------------------------------- main

def parse_args(argv=None):
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("--quick", action="store_true", help="N = 2,000 and fewer questions: a smoke run")
    p.add_argument("--sizes", type=lambda s: [int(x) for x in s.split(",")],
                   help="comma-separated corpus sizes (default 10000,100000)")
    p.add_argument("--queries", type=int, help="questions per phase (default 500; quick 200)")
    p.add_argument("--systems", type=lambda s: s.split(","), default=[k for k, _, _ in SYSTEMS],
                   help="comma-separated subset of: " + ",".join(k for k, _, _ in SYSTEMS))
    p.add_argument("--text-budget", type=int, default=600, help="token budget of Vesk's text recall")
    p.add_argument("--vector-timed-tail", type=int, default=10000,
                   help="Chroma: time only the last this-many stores one by one (0: all)")
    p.add_argument("--out", help="markdown output (default bench/results/latest.md; quick.md with --quick)")
    p.add_argument("--cpp-results", help="text of the C++ micro-benchmark run to include")
    p.add_argument("--workdir", help="where the stores are built (default: a temporary directory)")
    p.add_argument("--keep", action="store_true", help="keep the stores after the run")
    p.add_argument("--worker-timeout", type=float, default=4 * 3600,
                   help="seconds after which a worker is stopped and reported as failed")
    p.add_argument("--memory-floor", type=float, default=1.5,
                   help="GB: a worker is stopped and reported as failed when the machine's "
                        "available memory falls under this (0: never)")
    # Worker-only arguments.
    p.add_argument("--worker", choices=["build", "serve"], help=argparse.SUPPRESS)
    p.add_argument("--system", help=argparse.SUPPRESS)
    p.add_argument("--data", help=argparse.SUPPRESS)
    p.add_argument("--store", help=argparse.SUPPRESS)
    p.add_argument("--ids", help=argparse.SUPPRESS)
    p.add_argument("--result", help=argparse.SUPPRESS)
    args = p.parse_args(argv)
    if args.sizes is None:
        args.sizes = [2000] if args.quick else [10_000, 100_000]
    if args.queries is None:
        args.queries = 200 if args.quick else 500
    unknown = set(args.systems) - set(LABEL)
    if unknown:
        p.error("unknown systems: " + ", ".join(sorted(unknown)))
    return args


def main(argv=None) -> int:
    args = parse_args(argv)
    if args.worker:
        return worker_main(args)
    for n in args.sizes:
        if 4 * args.queries > n:
            print(f"error: {4 * args.queries} questions need N ≥ {4 * args.queries}", file=sys.stderr)
            return 2
    os.makedirs(RESULTS, exist_ok=True)
    stem = "quick" if args.quick and not args.out else "latest"
    path_md = args.out or os.path.join(RESULTS, stem + ".md")
    base = os.path.splitext(path_md)[0]
    path_png, path_json = base + ".png", base + ".json"
    t = time.perf_counter()
    load_start = " / ".join(f"{x:.1f}" for x in os.getloadavg())
    results = run_all(args)
    results["load_start"] = load_start
    results["env"] = _env()
    results["text_budget"] = args.text_budget
    with open(path_json, "w") as f:
        json.dump(results, f, indent=1)
    cpp_text = None
    if args.cpp_results and os.path.exists(args.cpp_results):
        with open(args.cpp_results) as f:
            cpp_text = f.read()
    have_png = plot(results, args, path_png)
    write_report(results, args, path_md, path_png if have_png else None, cpp_text)
    print(f"\nfinished in {fmt_s(time.perf_counter() - t)}", flush=True)
    print(f"wrote {os.path.relpath(path_md)}" + (f", {os.path.relpath(path_png)}" if have_png else "")
          + f" and {os.path.relpath(path_json)}\n", flush=True)
    with open(path_md) as f:
        print(f.read())
    return 0


if __name__ == "__main__":
    sys.exit(main())
