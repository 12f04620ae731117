"""import_json, move_record and search() from Python.

    .venv/bin/python bench/record_admin.py [--import-records 10000] [--large 100000] [--small 1000] [--moves 50]

- import: records per second of one import_json of `--import-records`
  records into an empty store, beside store() calls per second for as many
  texts into an empty store (the store rate).
- move: median time of a move_record (to another namespace and back) in a
  store of `--small` records and in one of `--large` records, each record
  linked to two others of its namespace; beside the median time of a connect,
  which writes the same kind of forced journal batch (the forced frame).
- search: median time of search() with no arguments and of search(query=...)
  in the store of `--large` records.
"""

import argparse
import json
import statistics
import tempfile
import time

from store_rate import texts
from vesk._core import Vesk


def records(contents):
    now = time.time()
    n = len(contents)
    out = []
    for i, text in enumerate(contents):
        rid = f"r{i:011d}"
        links = {f"r{(i + 1) % n:011d}": 0.5, f"r{(i - 1) % n:011d}": 0.5}
        out.append({
            "id": rid, "content": text, "level": "Working", "strength": 0.5 + (i % 50) / 100,
            "activation_count": i % 30, "created_at": now, "last_activated": now, "tags": [f"t{i % 20}"],
            "connections": links, "content_type": "text", "metadata": {},
        })
    return out


def median_ms(f, n):
    times = []
    for i in range(n):
        t = time.perf_counter()
        f(i)
        times.append((time.perf_counter() - t) * 1000)
    return statistics.median(times)


def move_ms(v, n, moves):
    def move(i):
        rid = f"r{(i * 7919) % n:011d}"
        v.move_record(rid, "elsewhere")
        v.move_record(rid, "default")
    return median_ms(move, moves) / 2


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--import-records", type=int, default=10000)
    ap.add_argument("--large", type=int, default=100000)
    ap.add_argument("--small", type=int, default=1000)
    ap.add_argument("--moves", type=int, default=50)
    args = ap.parse_args()
    corpus = list(texts(max(args.large, args.import_records)))

    with tempfile.TemporaryDirectory() as d:
        batch = corpus[: args.import_records]
        with Vesk(f"{d}/store") as v:
            t = time.perf_counter()
            for text in batch:
                v.store(text, deduplicate=False)
            store_rate = len(batch) / (time.perf_counter() - t)
        payload = json.dumps(records(batch))
        with Vesk(f"{d}/import") as v:
            t = time.perf_counter()
            v.import_json(payload)
            import_rate = len(batch) / (time.perf_counter() - t)
        print(f"import: {import_rate:,.0f} records/s; store: {store_rate:,.0f} records/s "
              f"({import_rate / store_rate:.1f}x) at {len(batch):,} records")

        results = {}
        for n in (args.small, args.large):
            with Vesk(f"{d}/move{n}") as v:
                v.import_json(json.dumps(records(corpus[:n])))
                v.store("a first extra record", namespace="x")
                v.store("a second extra record", namespace="x")
                a, b = (r.id for r in v.search(namespace="x"))
                results[n] = move_ms(v, n, args.moves)
                frame = median_ms(lambda i: v.connect(a, b, 0.1 + (i % 5) / 10), args.moves)
                print(f"move at {n:,} records: {results[n]:.3f} ms median (connect, one forced batch: {frame:.3f} ms)")
                if n == args.large:
                    s_all = median_ms(lambda i: v.search(), 21)
                    s_query = median_ms(lambda i: v.search(query="the"), 21)
                    print(f"search() at {n:,} records: {s_all:.2f} ms median; search(query='the'): {s_query:.2f} ms")
        print(f"move ratio {args.large:,} / {args.small:,}: {results[args.large] / results[args.small]:.2f}")


if __name__ == "__main__":
    main()
