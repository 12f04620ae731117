"""What each maintenance cycle measures about itself and keeps: layer
stability, the concept surface telemetry, the trend snapshot appended to
"maintenance_trends.json" and the reflection summary appended to
"reflection_summaries.json".
"""

import datetime
import json
import pathlib

import pytest

from vesk._core import Vesk

STABILITY_LAYERS = ("belief", "concept", "causal", "policy")


def read_json(path, name):
    return json.loads(pathlib.Path(path, name).read_text(encoding="utf-8"))


@pytest.fixture
def store_dir(tmp_path):
    return str(tmp_path / "store")


def test_first_cycle_writes_one_snapshot_and_one_quiet_summary(store_dir):
    with Vesk(store_dir) as v:
        r = v.run_maintenance()
        (snap,) = read_json(store_dir, "maintenance_trends.json")
        assert snap["timestamp"] == r.timestamp and snap["correction_events"] == 0
        assert snap["dominant_phase"] == r.hotspots.dominant_phase
        assert [s.timestamp for s in v.get_maintenance_trend_history()] == [r.timestamp]
        assert r.trend_summary.snapshot_count == 1
        (summary,) = read_json(store_dir, "reflection_summaries.json")
        assert summary["digest"] == "No significant reflection findings this cycle."
        assert summary["timestamp"] == r.timestamp and summary["findings"] == []
        rep = r.reflection.report
        assert (rep.jobs_run, rep.blocker_findings, rep.contradiction_findings, rep.trend_findings,
                rep.total_findings, rep.capped) == (3, 0, 0, 0, 0, False)
        assert r.reflection.digest == summary["digest"]
        assert v.get_latest_reflection_digest().timestamp == r.timestamp
        c = r.concept_surface
        assert c.mode == "Inspect"
        assert (c.surfaced_concepts_available, c.surfaced_namespaces, c.global_calls_since_last_cycle,
                c.namespace_calls_since_last_cycle, c.record_calls_since_last_cycle,
                c.concepts_returned_since_last_cycle, c.record_annotations_returned_since_last_cycle) == (0,) * 7


def test_histories_keep_the_newest_32_snapshots_and_16_summaries(store_dir):
    with Vesk(store_dir) as v:
        stamps = [v.run_maintenance().timestamp for _ in range(33)]
        history = v.get_maintenance_trend_history()
        assert len(history) == 32 and len(read_json(store_dir, "maintenance_trends.json")) == 32
        assert history[-1].timestamp == stamps[-1]
        summaries = read_json(store_dir, "reflection_summaries.json")
        assert len(summaries) == 16 and summaries[-1]["timestamp"] == stamps[-1]
        assert [s["timestamp"] for s in summaries] == stamps[-16:]
    # Timestamps may repeat within a clock tick; the files reopen whole.
    with Vesk(store_dir) as v:
        assert len(v.get_maintenance_trend_history()) == 32


def test_a_long_trend_file_is_cut_to_32_by_the_next_cycle(store_dir):
    snap = {"timestamp": "2025-06-15T14:00:00+00:00", "total_records": 1, "records_archived": 0,
            "insights_found": 0, "volatile_records": 0, "belief_churn": 0.0, "causal_rejection_rate": 0.0,
            "policy_suppression_rate": 0.0, "feedback_beliefs_touched": 0, "feedback_net_confidence_delta": 0.0,
            "feedback_net_volatility_delta": 0.0, "correction_events": 0, "cumulative_corrections": 0,
            "cycle_time_ms": 1.0, "dominant_phase": "decay"}
    pathlib.Path(store_dir).mkdir(parents=True)
    pathlib.Path(store_dir, "maintenance_trends.json").write_text(
        json.dumps([dict(snap, total_records=n) for n in range(40)]), encoding="utf-8")
    with Vesk(store_dir) as v:
        r = v.run_maintenance()
        history = v.get_maintenance_trend_history()
        assert len(history) == 32
        assert [s.total_records for s in history[:-1]] == list(range(9, 40))
        assert history[-1].timestamp == r.timestamp
        saved = read_json(store_dir, "maintenance_trends.json")
        assert len(saved) == 32 and saved[-1]["timestamp"] == r.timestamp


def test_a_second_cycle_on_an_unchanged_store_is_stable(store):
    store.store("the kiln was fired at 1240 degrees", tags=["pottery"])
    store.store("the glaze crazed after the second firing", tags=["pottery"])
    store.run_maintenance()
    s = store.run_maintenance().stability
    for layer in STABILITY_LAYERS:
        assert getattr(s, f"{layer}_new") == 0 and getattr(s, f"{layer}_dropped") == 0, layer
        assert getattr(s, f"{layer}_churn") == 0.0, layer


def today_utc():
    return datetime.datetime.now(datetime.timezone.utc).date()


@pytest.mark.parametrize("due, finding", [
    (lambda d: f"{d.isoformat()}T00:00:00+00:00", True),
    (lambda d: d.isoformat(), False),
    (lambda d: f"{(d + datetime.timedelta(days=1)).isoformat()}T00:00:00+00:00", False),
])
def test_an_active_task_due_today_is_a_low_blocker(store, due, finding):
    rid = store.store("water the glaze tests", tags=["scheduled-task"],
                      metadata={"status": "active", "due_date": due(today_utc())})
    findings = store.run_maintenance().reflection.findings
    if not finding:
        assert findings == []
        return
    (f,) = findings
    assert (f.kind, f.severity, f.related_ids) == ("repeated_blocker", "low", [rid])
    assert f.title == "Overdue task remains active: water the glaze tests"
    assert f.detail == "Task is overdue by 0 day(s), salience 0.00, strength 0.80."
