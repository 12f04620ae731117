"""Corrections of the cognitive layers by hand, over layer files seeded before
the store opens: what lands in the layer file and in the correction log, and
that a failed save changes nothing."""

import json
import os
import pathlib
import shutil

import pytest

from test_layer_files import belief, belief_store, causal_store, compact, hint, pattern
from vesk._core import Vesk


def seed(store_dir, name, value):
    os.makedirs(store_dir, exist_ok=True)
    pathlib.Path(store_dir, name).write_text(compact(value), encoding="utf-8")


def layer(store_dir, name):
    return json.loads(pathlib.Path(store_dir, name).read_text(encoding="utf-8"))


def last_entry(v):
    e = v.get_correction_log()[-1]
    return (e["target_kind"], e["target_id"], e["operation"], e["reason"])


def block(store_dir, name):
    """Puts a non-empty directory where the layer file goes, so its save
    fails even for root."""
    path = pathlib.Path(store_dir, name)
    path.unlink(missing_ok=True)
    (path / "inside").mkdir(parents=True)
    return path


@pytest.fixture
def store_dir(tmp_path):
    return str(tmp_path / "store")


def test_deprecation_arithmetic_state_and_log(store_dir):
    # (confidence, score) -> (confidence, score) after deprecation, in f32.
    cases = {"b1": ((0.9, 0.6), (0.45, 0.3)), "b2": ((0.08, 0.5), (0.05, 0.3125)),
             "b3": ((0.0, 0.7), (0.05, 0.05)), "b4": ((1.0, 0.2), (0.5, 0.1))}
    seed(store_dir, "beliefs.cog", belief_store(
        [belief(i, confidence=c, score=s) for i, ((c, s), _) in enumerate(cases.values(), 1)]))
    with Vesk(store_dir) as v:
        for bid in cases:
            assert v.deprecate_belief(bid) is True
            assert last_entry(v) == ("belief", bid, "deprecate", "manual_deprecation")
        saved = layer(store_dir, "beliefs.cog")["beliefs"]
        for bid, (_, (confidence, score)) in cases.items():
            b = saved[bid]
            assert (b["confidence"], b["score"]) == (pytest.approx(confidence, rel=1e-6),
                                                      pytest.approx(score, rel=1e-6)), bid
            assert (b["state"], b["winner_id"], b["stability"]) == ("Unresolved", None, 0.0)
            assert b["last_updated"] > 1750000000.5
            # What deprecation leaves alone.
            assert (b["hypothesis_ids"], b["volatility"], b["world_verdict"]) == ([f"h{bid[1:]}"], 0.1, "Confirmed")

        entries = len(v.get_correction_log())
        assert v.deprecate_belief("nope") is False
        assert len(v.get_correction_log()) == entries
        assert v.deprecate_belief_with_reason("b1", "") is True
        assert last_entry(v) == ("belief", "b1", "deprecate", "")
        assert layer(store_dir, "beliefs.cog")["beliefs"]["b1"]["confidence"] == pytest.approx(0.225, rel=1e-6)
        with pytest.raises(TypeError, match="belief_id"):
            v.deprecate_belief(1)
        with pytest.raises(TypeError, match="reason"):
            v.deprecate_belief_with_reason("b1", None)


def test_retracting_a_policy_hint_removes_it_and_its_key(store_dir):
    seed(store_dir, "policies.cog", {"hints": {"ph1": hint()}, "key_index": {"work|deploy": "ph1"}})
    with Vesk(store_dir) as v:
        assert v.retract_policy_hint("ph1") is True
        assert last_entry(v) == ("policy_hint", "ph1", "retract", "manual_retraction")
        assert layer(store_dir, "policies.cog") == {"hints": {}, "key_index": {}}
        entries = len(v.get_correction_log())
        assert v.retract_policy_hint("ph1") is False
        assert v.retract_policy_hint_with_reason("ph1", "again") is False
        assert len(v.get_correction_log()) == entries


@pytest.mark.parametrize("method, args, reason", [
    ("invalidate_causal_pattern", (), "manual_invalidation"),
    ("retract_causal_pattern", (), "manual_retraction"),
    ("invalidate_causal_pattern_with_reason", ("refuted twice",), "refuted twice"),
    ("retract_causal_pattern_with_reason", ("",), ""),
])
def test_both_causal_families_invalidate(store_dir, method, args, reason):
    seed(store_dir, "causal.cog", causal_store([pattern(state="Stable", invalidation_reason=None,
                                                        invalidated_at=None)]))
    with Vesk(store_dir) as v:
        assert getattr(v, method)("p1", *args) is True
        assert last_entry(v) == ("causal_pattern", "p1", "invalidate", reason)
        p = layer(store_dir, "causal.cog")["patterns"]["p1"]
        assert (p["state"], p["invalidation_reason"]) == ("Invalidated", reason)
        assert p["invalidated_at"] > 1750000000.0 and p["last_updated"] == 1750000000.0
        # Already invalidated: invalidated again, with a new entry.
        assert v.invalidate_causal_pattern_with_reason("p1", "once more") is True
        assert layer(store_dir, "causal.cog")["patterns"]["p1"]["invalidation_reason"] == "once more"
        assert len(v.get_correction_log()) == 2
        assert getattr(v, method)("p2", *args) is False


def test_a_failed_save_changes_nothing_and_logs_nothing(store_dir):
    with Vesk(store_dir) as v:
        rid = v.store("the kiln needs a new thermocouple")
    # A second pattern and hint resting on a stored record: deleting it later
    # saves both layers whole, which shows what memory holds of the first.
    seed(store_dir, "beliefs.cog", belief_store([belief(1, confidence=0.9, score=0.6)]))
    seed(store_dir, "causal.cog", causal_store([
        pattern(state="Stable", invalidation_reason=None, invalidated_at=None),
        pattern(id="p2", key="work|p2", cause_record_ids=[rid])]))
    seed(store_dir, "policies.cog", {"hints": {"ph1": hint(), "ph2": {**hint(), "id": "ph2", "key": "work|ship",
                                                                     "supporting_record_ids": [rid]}},
                                     "key_index": {"work|deploy": "ph1", "work|ship": "ph2"}})
    with Vesk(store_dir) as v:
        calls = [("beliefs.cog", v.deprecate_belief, "b1"), ("causal.cog", v.invalidate_causal_pattern, "p1"),
                 ("policies.cog", v.retract_policy_hint, "ph1")]
        for name, call, target in calls:
            path = block(store_dir, name)
            with pytest.raises(RuntimeError):
                call(target)
            assert v.get_correction_log() == []
            shutil.rmtree(path)

        assert v.delete(rid) is True
        p1 = layer(store_dir, "causal.cog")["patterns"]["p1"]
        assert (p1["state"], p1["invalidation_reason"], p1["invalidated_at"]) == ("Stable", None, None)
        assert layer(store_dir, "policies.cog")["key_index"] == {"work|deploy": "ph1"}

        assert v.deprecate_belief("b1") is True
        assert layer(store_dir, "beliefs.cog")["beliefs"]["b1"]["confidence"] == pytest.approx(0.45, rel=1e-6)
        assert v.retract_policy_hint("ph1") is True
        assert [e["target_id"] for e in v.get_correction_log()] == ["b1", "ph1"]
