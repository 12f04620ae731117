"""Links between records from Python: connect, the causal and associative
links of store, and the family and project relations a store infers."""

import re

import pytest

from vesk._core import Vesk

DISTINCT = "Connections require distinct records and a finite weight in [0, 1]"


def links(v, rid):
    r = v.get(rid)
    return {target: (w, r.connection_types.get(target)) for target, w in r.connections.items()}


@pytest.mark.parametrize(
    "args, message",
    [
        (("a", "a"), DISTINCT),
        (("a", "b", 1.5), DISTINCT),
        (("a", "b", float("nan")), DISTINCT),
        (("nope", "b"), "Record nope not found"),
        (("a", "w"), "Cannot connect records across namespaces ('default' vs 'work')"),
    ],
)
def test_connect_refusals(store, args, message):
    ids = {"a": store.store("first"), "b": store.store("second"), "w": store.store("third", namespace="work")}
    with pytest.raises(RuntimeError, match="^" + re.escape(message) + "$"):
        store.connect(*[ids.get(x, x) if isinstance(x, str) else x for x in args])


def test_connect_and_causal_links_survive_reopen(tmp_path):
    path = str(tmp_path / "store")
    with Vesk(path) as v:
        a, b = v.store("first"), v.store("second")
        assert v.connect(a, b) is None
        parent = v.store("the cause")
        child = v.store("the effect", caused_by_id=parent)
        with pytest.raises(RuntimeError, match="^Causal parent record not found$"):
            v.store("orphan", caused_by_id="000000000000")
    with Vesk(path) as v:
        assert links(v, a) == {b: (0.5, None)}
        assert links(v, b) == {a: (0.5, None)}
        assert links(v, parent) == {child: (0.699999988079071, "causal")}
        assert links(v, child) == {parent: (0.699999988079071, "causal")}


def test_associative_links(store):
    x = store.store("tagged x", tags=["x"])
    xy = store.store("tagged x and y", tags=["x", "y"])
    other = store.store("tagged x elsewhere", tags=["x"], namespace="work")
    new = store.store("also x and y", tags=["x", "y"])
    assert links(store, new) == {xy: (0.5, "associative"), x: (0.3500000238418579, "associative")}
    assert links(store, xy)[new] == (0.5, "associative")
    assert new not in links(store, other)

    popular = [store.store(f"popular {i}", tags=["p"]) for i in range(60)]
    crowded = store.store("one more", tags=["p"])
    assert len(store.get(crowded).connections) == 50
    assert set(store.get(crowded).connections) <= set(popular)


def test_family_and_project_relations(tmp_path):
    path = str(tmp_path / "store")
    with Vesk(path) as v:
        lone = v.store("my sister Ann likes green tea", namespace="solo")
        assert links(v, lone) == {}
        profile = v.store("about me", tags=["user-profile"])
        sister = v.store("my sister Ann likes green tea")
        anchor = v.store("the study", tags=["research-project"], metadata={"project_id": "p1"})
        member = v.store("a finding", metadata={"project_id": "p1"})
    with Vesk(path) as v:
        assert links(v, sister) == {profile: (0.949999988079071, "family.sister")}
        assert links(v, profile)[sister] == (0.949999988079071, "family.sister")
        assert links(v, member) == {anchor: (0.9200000166893005, "belongs_to_project")}
        assert links(v, anchor)[member] == (0.9200000166893005, "belongs_to_project")


def test_recall_order_is_the_same_on_a_reopened_store(tmp_path):
    # Dense shared tags give every record many links of equal weight, so the
    # connection expansion meets many ties; a reopened store, whose maps were
    # filled in another order, must rank them the same.
    import shutil

    path, copy = str(tmp_path / "store"), str(tmp_path / "copy")
    topics = ["alpha", "beta", "gamma", "delta"]
    queries = ["notes on the alpha rollout", "beta budget review", "gamma and delta plans"]
    v = Vesk(path)
    try:
        for i in range(160):
            topic = topics[i % 4]
            v.store(f"note {i} on the {topic} project: rollout, budget and plans step {i % 7}",
                    tags=[topic, topics[(i // 4) % 4]])
        v.flush()
        shutil.copytree(path, copy)
        running = [[r["id"] for r in v.recall_structured(q, top_k=20)] for q in queries]
    finally:
        v.close()
    with Vesk(copy) as w:
        reopened = [[r["id"] for r in w.recall_structured(q, top_k=20)] for q in queries]
    assert all(len(ids) == 20 for ids in running)
    assert reopened == running
