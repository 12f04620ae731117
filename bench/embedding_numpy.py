"""Reference figure for embedding scoring: numpy's float32 matrix-vector
product on the shapes of bench/embedding_bench.cc (10k and 100k rows of 384
random normal values).

Only the product M @ q is timed: no norms, no filtering, no ordering, so it is
a lower bound for a cosine ranking. Run it as

    python3 bench/embedding_numpy.py            # BLAS with its default threads
    python3 bench/embedding_numpy.py --threads 1

--threads sets the BLAS thread count before numpy is imported (one core is
what the C++ benchmark uses).
"""

import argparse
import os
import sys
import time

DIM = 384
SIZES = (10_000, 100_000)


def main() -> int:
    parser = argparse.ArgumentParser()
    parser.add_argument("--threads", type=int, default=None)
    parser.add_argument("--min-time", type=float, default=1.0, help="seconds per size")
    args = parser.parse_args()
    if args.threads is not None:
        for var in ("OPENBLAS_NUM_THREADS", "OMP_NUM_THREADS", "MKL_NUM_THREADS"):
            os.environ[var] = str(args.threads)

    import numpy as np

    rng = np.random.default_rng(42)
    query = rng.standard_normal(DIM, dtype=np.float32)
    print(f"numpy {np.__version__}, threads={args.threads or 'default'}")
    for rows in SIZES:
        matrix = rng.standard_normal((rows, DIM), dtype=np.float32)
        out = np.empty(rows, dtype=np.float32)
        np.matmul(matrix, query, out=out)  # warm up
        runs = 0
        best = float("inf")
        start = time.perf_counter()
        while time.perf_counter() - start < args.min_time or runs < 10:
            t0 = time.perf_counter()
            np.matmul(matrix, query, out=out)
            best = min(best, time.perf_counter() - t0)
            runs += 1
        total = time.perf_counter() - start
        gbps = rows * DIM * 4 / best / 1e9
        print(
            f"matvec/{rows:<7d} best {best * 1e6:9.0f} us   mean {total / runs * 1e6:9.0f} us"
            f"   {gbps:5.1f} GB/s   ({runs} runs)"
        )
    return 0


if __name__ == "__main__":
    sys.exit(main())
