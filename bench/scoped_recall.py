"""Scoped context recall and the tier listing from Python, in a store of
10,000 and one of 100,000 records.

    .venv/bin/python bench/scoped_recall.py [--sizes 10000,100000] [--calls 200]

Each store is filled with distinct short texts over a small vocabulary, a
fifth of them at level Decisions, and 50 entities of 20 records each among
them (metadata "entity_id"), each entity linked to two others with
`link_entities`. Printed per size: the median time of
`recall_entity_context` and `recall_entity_graph_context` over random
entities and two-word queries, of `recall_relation_context` over random
entity records, and of the `recall_cognitive()` listing (limit 20). Goals
at 100,000 records: a scoped recall over an entity of 20 records under
15 ms, the listing under 10 ms.
"""

import argparse
import random
import statistics
import tempfile
import time

from vesk._core import Level, Vesk

WORDS = ("harbour crane cable kiln glaze firing ferry island noon lease march garden gate orchard apple sea "
         "clay wheel shelf batch report window friday supplier invoice ledger draft review").split()
ENTITIES = 50
PER_ENTITY = 20


def median_ms(fn, args):
    times = []
    for a in args:
        t0 = time.perf_counter()
        fn(a)
        times.append(time.perf_counter() - t0)
    return statistics.median(times) * 1000


def text(rng, n):
    return " ".join(rng.choice(WORDS) for _ in range(8)) + f" note {n}"


def build(path, size, rng):
    v = Vesk(path)
    members = {}
    slots = set(rng.sample(range(size), ENTITIES * PER_ENTITY))
    names = [f"entity-{e}" for e in range(ENTITIES)]
    order = [names[i % ENTITIES] for i in range(ENTITIES * PER_ENTITY)]
    rng.shuffle(order)
    for n in range(size):
        level = Level.Decisions if n % 5 == 0 else Level.Working
        if n in slots:
            name = order.pop()
            members.setdefault(name, []).append(
                v.store(text(rng, n), level=level, metadata={"entity_id": name}, deduplicate=False))
        else:
            v.store(text(rng, n), level=level, deduplicate=False)
    for i, name in enumerate(names):
        for step in (1, 2):
            v.link_entities(name, names[(i + step) % ENTITIES], "works_with", 0.5)
    return v, members


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--sizes", default="10000,100000")
    ap.add_argument("--calls", type=int, default=200)
    args = ap.parse_args()
    for size in [int(s) for s in args.sizes.split(",")]:
        rng = random.Random(7)
        with tempfile.TemporaryDirectory() as d:
            t0 = time.perf_counter()
            v, members = build(d + "/store", size, rng)
            fill_s = time.perf_counter() - t0
            calls = [(rng.choice(list(members)), f"{rng.choice(WORDS)} {rng.choice(WORDS)}")
                     for _ in range(args.calls)]
            records = [(rng.choice(members[e]), q) for e, q in calls]
            row = {
                "recall_entity_context": median_ms(lambda c: v.recall_entity_context(*c), calls),
                "recall_entity_graph_context": median_ms(lambda c: v.recall_entity_graph_context(*c), calls),
                "recall_relation_context": median_ms(lambda c: v.recall_relation_context(*c), records),
                "recall_cognitive() listing": median_ms(lambda _: v.recall_cognitive(), range(args.calls)),
            }
            v.close()
        print(f"{size} records (filled in {fill_s:.1f} s):")
        for name, ms in row.items():
            print(f"  {name:32s} {ms:8.3f} ms")


if __name__ == "__main__":
    main()
