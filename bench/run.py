"""Run every benchmark: the C++ micro-benchmarks, then the end-to-end one.

    python bench/run.py [--skip-cpp] [--no-install] [e2e options, e.g. --quick]

1. Installs the peers and the plotting library into this interpreter's
   environment when they are missing (pinned versions, nothing when present).
2. Runs each built C++ benchmark binary (build/py/*_bench, Google Benchmark)
   with a short minimum time and prints its figures.
3. Runs bench/e2e.py with the remaining options; it writes
   bench/results/latest.md (quick.md with --quick) and a plot beside it.

`make bench` builds the benchmarks and calls this script; pass options
through it as `make bench BENCH_ARGS=--quick`.
"""

from __future__ import annotations

import glob
import importlib.util
import os
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
BUILD_DIR = os.environ.get("VESK_BUILD_DIR", os.path.join(ROOT, "build", "py"))

# module to import -> pip requirement. Pinned so that runs stay comparable.
PEERS = {
    "chromadb": "chromadb==1.5.9",
    "bm25s": "bm25s==0.3.16",
    "matplotlib": "matplotlib==3.11.2",
    "numpy": "numpy",
}

MIN_TIME = "0.1"  # seconds per benchmark; the binaries' fixed iteration counts win


def ensure_peers() -> None:
    missing = [req for mod, req in PEERS.items() if importlib.util.find_spec(mod) is None]
    if not missing:
        return
    print("installing " + ", ".join(missing), flush=True)
    rc = subprocess.call([sys.executable, "-m", "pip", "install", "-q", *missing])
    if rc != 0:
        # The end-to-end run reports every peer that then fails on its own.
        print(f"warning: pip install exited with {rc}; peers that are missing will fail",
              file=sys.stderr, flush=True)
    importlib.invalidate_caches()


def run_cpp() -> str:
    binaries = sorted(p for p in glob.glob(os.path.join(BUILD_DIR, "*_bench"))
                      if os.path.isfile(p) and os.access(p, os.X_OK))
    if not binaries:
        msg = f"no C++ benchmark binaries in {os.path.relpath(BUILD_DIR, ROOT)} (build with VESK_BUILD_BENCH=ON)"
        print(msg, flush=True)
        return msg + "\n"
    out = []
    for b in binaries:
        name = os.path.basename(b)
        print(f"\n== {name}", flush=True)
        proc = subprocess.run([b, f"--benchmark_min_time={MIN_TIME}"], stdout=subprocess.PIPE,
                              stderr=subprocess.STDOUT, text=True)
        print(proc.stdout, end="", flush=True)
        out.append(f"== {name}" + ("" if proc.returncode == 0 else f" (exit {proc.returncode})"))
        # Keep the table, not the machine banner the e2e report already has.
        lines = proc.stdout.splitlines()
        start = next((i for i, line in enumerate(lines) if line.startswith("Benchmark")), 0)
        out += lines[max(0, start - 1):]
    return "\n".join(out) + "\n"


def main(argv: list[str]) -> int:
    skip_cpp = "--skip-cpp" in argv
    no_install = "--no-install" in argv
    rest = [a for a in argv if a not in ("--skip-cpp", "--no-install")]
    if not no_install:
        ensure_peers()
    cpp_file = None
    if not skip_cpp:
        text = run_cpp()
        fd, cpp_file = tempfile.mkstemp(prefix="vesk-cpp-bench-", suffix=".txt")
        with os.fdopen(fd, "w") as f:
            f.write(text)
    cmd = [sys.executable, os.path.join(HERE, "e2e.py"), *rest]
    if cpp_file:
        cmd += ["--cpp-results", cpp_file]
    print("\n== end-to-end: " + " ".join(os.path.relpath(c, ROOT) if c.startswith(ROOT) else c
                                        for c in cmd[1:]), flush=True)
    try:
        return subprocess.call(cmd)
    finally:
        if cpp_file:
            os.remove(cpp_file)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
