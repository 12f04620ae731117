"""The maintenance trend history and the reflection summary history as a
store opens them from "maintenance_trends.json" and
"reflection_summaries.json", and the trend summary over them.

The files are written by hand here, as a maintenance cycle would write them:
pretty JSON arrays of objects with every member.
"""

import json
import os
import pathlib
import struct

import pytest

from vesk._core import Vesk


def f32(x):
    return struct.unpack("<f", struct.pack("<f", x))[0]


def snapshot(n, **changes):
    s = {"timestamp": f"2025-06-15T14:{n:02d}:00+00:00", "total_records": 100 + n, "records_archived": 0,
         "insights_found": 1, "volatile_records": 2, "belief_churn": 0.1, "causal_rejection_rate": 0.25,
         "policy_suppression_rate": 0.5, "feedback_beliefs_touched": 3, "feedback_net_confidence_delta": -0.05,
         "feedback_net_volatility_delta": 0.0, "correction_events": n, "cumulative_corrections": 10 + n,
         "cycle_time_ms": 12.5, "dominant_phase": f"phase{n}"}
    s.update(changes)
    return s


def finding(**changes):
    f = {"kind": "repeated_blocker", "namespace": "work", "title": "Blocked twice", "detail": "kiln task",
         "related_ids": ["aaaaaaaaaaa1"], "score": 0.75, "severity": "high"}
    f.update(changes)
    return f


def summary(findings, **changes):
    s = {"timestamp": "2025-06-15T14:00:00+00:00", "digest": "1 finding", "dominant_phase": "belief",
         "report": {"jobs_run": 3, "blocker_findings": 1, "contradiction_findings": 0, "trend_findings": 0,
                    "total_findings": 1, "capped": False},
         "findings": findings}
    s.update(changes)
    return s


def without(d, key):
    return {k: v for k, v in d.items() if k != key}


def write(store_dir, name, text):
    os.makedirs(store_dir, exist_ok=True)
    path = pathlib.Path(store_dir, name)
    path.write_text(text, encoding="utf-8")
    return path


def event(v, surface):
    (e,) = [e for e in v.get_startup_validation_report().events if e.surface == surface]
    return e


@pytest.fixture
def store_dir(tmp_path):
    return str(tmp_path / "store")


def test_trend_history_loads_whole_and_summarises(store_dir):
    write(store_dir, "maintenance_trends.json", json.dumps([snapshot(1), snapshot(2), snapshot(4)], indent=2))
    with Vesk(store_dir) as v:
        e = event(v, "maintenance_trends")
        assert (e.status, e.detail, e.recovered) == ("loaded", "loaded 3 maintenance trend snapshots", False)
        s = v.get_maintenance_trend_summary()
        assert s.snapshot_count == 3
        assert s.avg_correction_events == f32(7 / 3) and s.total_corrections_in_window == 7
        assert s.avg_belief_churn == f32(0.1) and s.avg_cycle_time_ms == 12.5
        assert s.latest_dominant_phase == "phase4"
        assert [t.timestamp for t in s.recent] == [snapshot(n)["timestamp"] for n in (1, 2, 4)]
        first = v.get_maintenance_trend_history()[0]
        assert {k: getattr(first, k) for k in snapshot(1)} == {
            **snapshot(1), "belief_churn": f32(0.1), "feedback_net_confidence_delta": f32(-0.05)}


def test_a_long_trend_file_is_not_cut_at_load(store_dir):
    write(store_dir, "maintenance_trends.json", json.dumps([snapshot(n) for n in range(40)]))
    with Vesk(store_dir) as v:
        assert event(v, "maintenance_trends").detail == "loaded 40 maintenance trend snapshots"
        history = v.get_maintenance_trend_history()
        assert [t.correction_events for t in history] == list(range(40))
        assert v.get_maintenance_trend_summary().snapshot_count == 40


@pytest.mark.parametrize("second, status, detail", [
    (without(snapshot(2), "dominant_phase"), "load_error_fallback", "missing field `dominant_phase` at line "),
    ('{"timestamp": "t", ' + json.dumps(snapshot(2))[1:], "load_error_fallback", "duplicate field `timestamp` at line "),
    (snapshot(2, belief_churn=None), "load_error_fallback", "invalid type: null, expected f32 at line "),
    (snapshot(2, correction_events=-1), "load_error_fallback", "invalid value: integer `-1`, expected u64 at line "),
    (snapshot(2, note={"anything": [None]}), "loaded", "loaded 2 maintenance trend snapshots"),
])
def test_one_bad_snapshot_refuses_the_whole_file(store_dir, second, status, detail):
    body = second if isinstance(second, str) else json.dumps(second)
    text = "[\n" + json.dumps(snapshot(1)) + ",\n" + body + "\n]"
    path = write(store_dir, "maintenance_trends.json", text)
    with Vesk(store_dir) as v:
        e = event(v, "maintenance_trends")
        assert e.status == status and e.detail.startswith(detail), e.detail
        assert e.recovered == (status != "loaded")
        assert len(v.get_maintenance_trend_history()) == (2 if status == "loaded" else 0)
    assert path.read_text(encoding="utf-8") == text  # neither the open nor the close touches it


def test_new_store_has_an_empty_trend_summary(store_dir):
    with Vesk(store_dir) as v:
        s = v.get_maintenance_trend_summary()
        assert (s.snapshot_count, s.total_corrections_in_window, s.latest_dominant_phase, s.recent) == (0, 0, "", [])
        assert (s.avg_belief_churn, s.avg_causal_rejection_rate, s.avg_policy_suppression_rate,
                s.avg_cycle_time_ms, s.avg_correction_events) == (0.0, 0.0, 0.0, 0.0, 0.0)
        assert v.get_maintenance_trend_history() == []
        assert Vesk.get_maintenance_trend_summary.__text_signature__ == "($self)"
        assert Vesk.get_maintenance_trend_history.__text_signature__ == "($self)"


@pytest.mark.parametrize("summaries, status, detail", [
    ([summary([finding(score=None)])], "load_error_fallback", "invalid type: null, expected f32 at line "),
    ([without(summary([finding()]), "dominant_phase")], "load_error_fallback",
     "missing field `dominant_phase` at line "),
    ([summary([finding(weight=[1, None])])], "loaded", "loaded 1 reflection summaries"),
    ([summary([]), summary([finding()])], "loaded", "loaded 2 reflection summaries"),
])
def test_reflection_summaries_file(store_dir, summaries, status, detail):
    write(store_dir, "reflection_summaries.json", json.dumps(summaries, indent=2))
    with Vesk(store_dir) as v:
        e = event(v, "reflection_summaries")
        assert e.status == status and e.detail.startswith(detail), e.detail
        latest = v.get_latest_reflection_digest()
        if status != "loaded":
            assert latest is None
        else:
            (f,) = latest.findings
            assert (f.kind, f.namespace, f.related_ids, f.score, f.severity) == (
                "repeated_blocker", "work", ["aaaaaaaaaaa1"], 0.75, "high")
            assert (latest.report.jobs_run, latest.report.capped) == (3, False)
