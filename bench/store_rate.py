"""store() calls per second from Python, single-threaded, no embedding
function: into an empty store and into one already holding many records.

    .venv/bin/python bench/store_rate.py [--records 100000] [--batch 10000] [--length 200] [--tagged]

The texts are English sentences taken from the docstrings and comments of the
running Python's standard library (so the n-gram and term indexes see real
word and trigram frequencies), each joined with the opening words of another
sentence so that every text is distinct and 40-250 bytes long (about 85 on
average). With --length L, sentences are joined until a text reaches L
characters, then cut at L (the cost of a store grows with its length: every
character adds about 20 SDR positions). The rate is
measured over `batch` calls right after opening an empty store, then after
the store was filled to `records` records with texts of the same kind.

With --tagged, the store first gets a record tagged "user-profile" and every
text is stored with two tags drawn from a pool of 20, so each store links the
new record to up to 50 records that share a tag and runs the family and
project inference of a namespace with a profile. The rate is measured over
`batch` calls at 10,000 records and at `records` records, with their ratio.
"""

import argparse
import ast
import pathlib
import random
import re
import sysconfig
import tempfile
import time

from vesk._core import Vesk


def stdlib_sentences():
    found = set()
    for path in sorted(pathlib.Path(sysconfig.get_paths()["stdlib"]).rglob("*.py")):
        try:
            src = path.read_text(encoding="utf-8")
            tree = ast.parse(src)
        except (OSError, SyntaxError, UnicodeDecodeError, ValueError):
            continue
        pieces = [m.group(1) for m in re.finditer(r"#\s*(.+)", src)]
        for node in ast.walk(tree):
            if isinstance(node, (ast.Module, ast.ClassDef, ast.FunctionDef, ast.AsyncFunctionDef)):
                doc = ast.get_docstring(node)
                if doc:
                    pieces += re.split(r"(?<=[.!?])\s+|\n\s*\n", doc)
        for p in pieces:
            s = " ".join(p.split())
            if 30 <= len(s) <= 160 and sum(c.isalpha() for c in s) > 0.7 * len(s):
                found.add(s)
    return sorted(found)


def texts(n, seed=7, length=None):
    sentences = stdlib_sentences()
    rng = random.Random(seed)
    seen = set()
    while len(seen) < n:
        a, b = rng.choice(sentences), rng.choice(sentences)
        t = f"{a} {' '.join(b.split()[:rng.randint(2, 6)])}"
        if length:
            while len(t) < length:
                t += " " + rng.choice(sentences)
            t = t[:length].rstrip()
        if t not in seen:
            seen.add(t)
            yield t


def rate(v, batch):
    t0 = time.perf_counter()
    for t in batch:
        v.store(t)
    return len(batch) / (time.perf_counter() - t0)


TAG_POOL = [f"topic-{i:02d}" for i in range(20)]


def tagged_rate(v, batch):
    t0 = time.perf_counter()
    for t, tags in batch:
        v.store(t, tags=tags)
    return len(batch) / (time.perf_counter() - t0)


def tagged(args, all_texts):
    rng = random.Random(11)
    calls = [(t, rng.sample(TAG_POOL, 2)) for t in all_texts]
    small = 10_000
    with tempfile.TemporaryDirectory() as d:
        v = Vesk(d + "/store")
        v.store("the user of this store", tags=["user-profile"])
        for t, tags in calls[:small]:
            v.store(t, tags=tags)
        at_small = tagged_rate(v, calls[small:small + args.batch])
        print(f"tagged, at {small} records:   {at_small:8.0f} stores/s over {args.batch} calls")
        t0 = time.perf_counter()
        for t, tags in calls[small + args.batch:args.records]:
            v.store(t, tags=tags)
        print(f"filled to {v.count()} records in {time.perf_counter() - t0:.1f} s")
        at_full = tagged_rate(v, calls[args.records:args.records + args.batch])
        print(f"tagged, at {args.records} records: {at_full:8.0f} stores/s over {args.batch} calls")
        print(f"rate at {small} / rate at {args.records}: {at_small / at_full:.2f}")
        t0 = time.perf_counter()
        v.close()
        print(f"close: {time.perf_counter() - t0:.2f} s")


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--records", type=int, default=100_000)
    ap.add_argument("--batch", type=int, default=10_000)
    ap.add_argument("--length", type=int, help="texts of this many characters")
    ap.add_argument("--tagged", action="store_true", help="a user profile, two of 20 tags on every text")
    args = ap.parse_args()
    all_texts = list(texts(args.records + args.batch, length=args.length))
    print(f"mean text length {sum(map(len, all_texts)) / len(all_texts):.0f} characters")
    if args.tagged:
        tagged(args, all_texts)
        return
    with tempfile.TemporaryDirectory() as d:
        v = Vesk(d + "/store")
        empty = rate(v, all_texts[:args.batch])
        print(f"empty store:               {empty:8.0f} stores/s over {args.batch} calls")
        t0 = time.perf_counter()
        for t in all_texts[args.batch:args.records]:
            v.store(t)
        print(f"filled to {v.count()} records in {time.perf_counter() - t0:.1f} s")
        full = rate(v, all_texts[args.records:])
        print(f"store with {args.records} records: {full:8.0f} stores/s over {args.batch} calls")
        t0 = time.perf_counter()
        v.close()
        print(f"close: {time.perf_counter() - t0:.2f} s")


if __name__ == "__main__":
    main()
