"""The audit graph and the audit entity writers from Python, in a store of
10,000 and one of 100,000 records.

    .venv/bin/python bench/audit_graph.py [--sizes 10000,100000] [--entities 1000] [--edges 2000]

Each store is filled with distinct short texts; then `entities` of its
records, spread over the whole store, are annotated (half claims, half
memories) and `edges` links are made between random pairs of them (a memory
supports or refutes a claim, a claim contradicts a claim, a memory is derived
from a memory). Printed per size: the median time of one annotation and of
one link (each forces its journal frame to stable storage, the floor of both)
and the median of 30 calls of `audit_graph()` (every entity and edge, read
back through json.loads), of 30 calls of `trace_claim_evidence` on random
claims and of `explain_decision` on 30 decisions, each linked to five
claims and to one action that produced one artifact; then each figure at the largest size divided by the
one at the smallest. The time of each operation should not grow with the
records that are not audit entities.
"""

import argparse
import os
import random
import statistics
import tempfile
import time

from vesk._core import Vesk

WORDS = ("harbour crane cable kiln glaze firing ferry island noon lease march garden gate orchard apple sea "
         "clay wheel shelf batch report window friday supplier invoice ledger draft review").split()


def fill(v, n, rng):
    ids = []
    for i in range(n):
        words = " ".join(rng.choice(WORDS) for _ in range(8))
        ids.append(v.store(f"{words} note {i}"))
    return ids


def timed(fn):
    t0 = time.perf_counter()
    fn()
    return time.perf_counter() - t0


def measure(n, entities, edges, seed=5):
    rng = random.Random(seed)
    with tempfile.TemporaryDirectory() as tmp:
        v = Vesk(os.path.join(tmp, "store"))
        t0 = time.perf_counter()
        ids = fill(v, n, rng)
        filled = time.perf_counter() - t0
        chosen = rng.sample(ids, entities)
        claims, memories = chosen[: entities // 2], chosen[entities // 2 :]
        annotate = [timed(lambda r=r: v.annotate_audit_entity(r, "claim", "accepted")) for r in claims]
        annotate += [timed(lambda r=r: v.annotate_audit_entity(r, "memory", "observed")) for r in memories]
        link = []
        for i in range(edges):
            shape = i % 4
            if shape == 0:
                a, b, rel = rng.choice(memories), rng.choice(claims), "supports"
            elif shape == 1:
                a, b, rel = rng.choice(memories), rng.choice(claims), "refutes"
            elif shape == 2:
                a, b = rng.sample(claims, 2)
                rel = "contradicts"
            else:
                a, b = rng.sample(memories, 2)
                rel = "derived_from"
            link.append(timed(lambda: v.link_audit_entities(a, b, rel)))
        decisions = []
        for i in range(30):
            rid = v.store(f"decision {i}: fire the kiln at the agreed temperature")
            v.annotate_audit_entity(rid, "decision", "decided")
            for claim in rng.sample(claims, 5):
                v.link_audit_entities(rid, claim, "used_evidence")
            action = v.store(f"action {i}: fired the kiln")
            artifact = v.store(f"artifact {i}: the fired batch")
            v.annotate_audit_entity(action, "action", "completed")
            v.annotate_audit_entity(artifact, "artifact", "produced")
            v.link_audit_entities(rid, action, "caused")
            v.link_audit_entities(action, artifact, "produced")
            decisions.append(rid)
        trace_times = [timed(lambda c=c: v.trace_claim_evidence(c)) for c in rng.sample(claims, 30)]
        explain_times = [timed(lambda d=d: v.explain_decision(d)) for d in decisions]
        graph = v.audit_graph()
        graph_times = [timed(v.audit_graph) for _ in range(30)]
        v.close()
    return {
        "fill": filled,
        "annotate": statistics.median(annotate),
        "link": statistics.median(link),
        "graph": statistics.median(graph_times),
        "trace": statistics.median(trace_times),
        "explain": statistics.median(explain_times),
        "nodes": len(graph["nodes"]),
        "edges": len(graph["edges"]),
    }


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--sizes", default="10000,100000")
    ap.add_argument("--entities", type=int, default=1000)
    ap.add_argument("--edges", type=int, default=2000)
    args = ap.parse_args()
    sizes = [int(s) for s in args.sizes.split(",")]
    print(f"load average at start: {os.getloadavg()[0]:.1f}")
    results = {}
    for n in sizes:
        r = measure(n, args.entities, args.edges)
        results[n] = r
        print(f"{n:>7} records (filled in {r['fill']:.1f} s), {r['nodes']} entities, {r['edges']} edges:  "
              f"annotate {r['annotate'] * 1e3:.2f} ms   link {r['link'] * 1e3:.2f} ms   "
              f"audit_graph() {r['graph'] * 1e3:.2f} ms   trace_claim_evidence {r['trace'] * 1e3:.2f} ms   "
              f"explain_decision {r['explain'] * 1e3:.2f} ms")
    if len(sizes) > 1:
        lo, hi = results[sizes[0]], results[sizes[-1]]
        print(f"{sizes[-1]} / {sizes[0]}:  annotate {hi['annotate'] / lo['annotate']:.2f}x   "
              f"link {hi['link'] / lo['link']:.2f}x   audit_graph() {hi['graph'] / lo['graph']:.2f}x   "
              f"trace_claim_evidence {hi['trace'] / lo['trace']:.2f}x   "
              f"explain_decision {hi['explain'] / lo['explain']:.2f}x")
    print(f"load average at end: {os.getloadavg()[0]:.1f}")


if __name__ == "__main__":
    main()
