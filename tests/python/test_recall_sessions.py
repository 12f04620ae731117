"""Sessions and record history from Python."""

import pytest

from vesk._core import Vesk


def links(v, ids):
    return {(a, b): (v.get(a).connections.get(b), v.get(a).connection_types.get(b))
            for a in ids for b in ids if a != b}


def test_a_session_recall_always_runs(store):
    rid = store.store("bravo")
    for expected in ("1", "2"):
        store.recall("bravo", session_id="s")
        assert store.history(rid)["activation_count"] == expected


def test_end_session_links_each_pair_once_and_persists(tmp_path):
    path = str(tmp_path / "store")
    with Vesk(path) as v:
        ids = [v.store(word) for word in ("alpha", "bravo", "charlie")]
        other = v.store("delta", namespace="work")
        for word in ("alpha", "bravo", "charlie"):
            v.recall_structured(word, top_k=1, session_id="s")
        v.recall_structured("delta", top_k=1, session_id="s", namespace="work")
        assert all(w is None for w, _ in links(v, ids).values())
        assert v.end_session("s") == {"pairs_strengthened": 3, "session_records": 4}
        after = links(v, ids)
        assert len(after) == 6
        assert all(w == pytest.approx(0.05) and t == "coactivation" for w, t in after.values())
        assert v.get(other).connections == {}
        assert v.end_session("s") == {}
        assert v.end_session("never") == {}

        # A second session over records already linked: weights only grow.
        for word in ("alpha", "bravo"):
            v.recall_structured(word, top_k=1, session_id="t")
        assert v.end_session("t") == {"pairs_strengthened": 1, "session_records": 2}
        grown = links(v, ids)
        assert all(grown[k][0] >= after[k][0] for k in after)
        assert grown[(ids[0], ids[1])][0] == grown[(ids[1], ids[0])][0] > after[(ids[0], ids[1])][0]
    with Vesk(path) as v:
        assert links(v, ids) == grown


def test_history_of_a_record(store):
    rid = store.store("charlie", tags=["a", "b"])
    h = store.history(rid)
    assert all(isinstance(value, str) for value in h.values())
    assert h["id"] == rid and h["level"] == "WORKING" and h["tags"] == "a, b"
    assert h["strength"] == "1.0000" and h["activation_count"] == "0" and h["connections"] == "0"
    assert h["valid_from"] == h["valid_until"] == h["superseded_at"] == ""
    assert h["age_days"] == "0.00" and "salience_reason" not in h
    with pytest.raises(RuntimeError) as e:
        store.history("nope")
    assert str(e.value) == "Record not found: nope"
    assert Vesk.history.__doc__.endswith("Return access/strength timeline snapshot for a single record.")
