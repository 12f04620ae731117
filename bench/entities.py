"""Entity and relation reads from Python, in a store of 10,000 and one of
100,000 records.

    .venv/bin/python bench/entities.py [--sizes 10000,100000] [--entities 1000] [--calls 200]

Each store is filled with distinct short texts, `entities` entities of five
records each among them (metadata "entity_id"), and twenty typed links from
each entity's records to records of other entities, made with `link_records`
at weights below 0.8 so that no anchor link is added; then a user profile
and twenty family members (`store_family_person`). Printed per size: the
median time of `get_entity_relations`, `get_entity_graph_digest`,
`get_entity_graph_neighbors(top_n=5)` and `get_relations_for_record` over
`calls` random entities or entity records, of `get_family_graph()` and of
`get_person_digest` over random members, and the ratio of each figure at the
largest size to the smallest. Goals at 100,000 records: under 0.5 ms, 2 ms
and 10 ms for the first three, under 0.5 ms for the family graph and the
person digest; `get_relations_for_record` should not grow with the store
(within 1.3x of the smallest size).
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


def build(path, size, entities, rng):
    v = Vesk(path)
    members = {}
    plain = size - entities * 5
    spread = max(1, plain // (entities * 5))
    n = 0
    for e in range(entities):
        ids = []
        for k in range(5):
            for _ in range(spread):
                words = " ".join(rng.choice(WORDS) for _ in range(8))
                v.store(f"{words} note {n}")
                n += 1
            words = " ".join(rng.choice(WORDS) for _ in range(8))
            ids.append(v.store(f"{words} entity {e} record {k}", metadata={"entity_id": f"entity-{e}"}))
            n += 1
        members[f"entity-{e}"] = ids
    while n < size:
        v.store(f"filler note {n}")
        n += 1
    names = list(members)
    for name in names:
        for j in range(20):
            other = rng.choice(names)
            while other == name:
                other = rng.choice(names)
            v.link_records(rng.choice(members[name]), rng.choice(members[other]), f"rel_{j % 4}",
                           rng.uniform(0.1, 0.79))
    v.store_user_profile({"name": "Ada", "city": "Oslo"})
    relations = ("sister", "brother", "mother", "father", "son")
    family = [v.store_family_person(f"family.{relations[i % 5]}", f"family member {i} of the user")
              for i in range(20)]
    return v, members, family


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--sizes", default="10000,100000")
    ap.add_argument("--entities", type=int, default=1000)
    ap.add_argument("--calls", type=int, default=200)
    args = ap.parse_args()
    sizes = [int(s) for s in args.sizes.split(",")]
    figures = {}
    for size in sizes:
        rng = random.Random(7)
        with tempfile.TemporaryDirectory() as d:
            t0 = time.perf_counter()
            v, members, family = build(d + "/store", size, args.entities, rng)
            fill_s = time.perf_counter() - t0
            names = [rng.choice(list(members)) for _ in range(args.calls)]
            records = [rng.choice(members[n]) for n in names]
            row = {
                "get_entity_relations": median_ms(v.get_entity_relations, names),
                "get_entity_graph_digest": median_ms(v.get_entity_graph_digest, names),
                "get_entity_graph_neighbors(top_n=5)": median_ms(
                    lambda n: v.get_entity_graph_neighbors(n, top_n=5), names),
                "get_relations_for_record": median_ms(v.get_relations_for_record, records),
                "get_family_graph()": median_ms(lambda _: v.get_family_graph(), range(args.calls)),
                "get_person_digest": median_ms(v.get_person_digest,
                                               [rng.choice(family) for _ in range(args.calls)]),
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
