"""run_maintenance as a caller sees it, the background worker slot and the
maintenance configuration.

The digest phases (consolidation, archival by rule) are not built yet; the
core phases' own behaviour is tested in test_insights.py.
"""

import re
import time

import pytest

from vesk._core import MaintenanceConfig, MaintenanceReport, Vesk

LAYER_FILES = ("beliefs.cog", "concepts.cog", "causal.cog", "policies.cog", "topology.cog")

# The timings measured on the cycle's own thread (the concept and causal
# phases may run on the thread pool, side by side).
CALLING_THREAD_TIMINGS = ("level_fix_ms", "decay_ms", "reflect_ms", "epistemic_ms", "insights_ms", "sdr_build_ms",
                          "belief_ms", "policy_ms", "consolidation_ms", "cross_connections_ms", "tasks_archival_ms")


@pytest.mark.parametrize("password", [None, "pw"])
def test_empty_store_cycle_reports_nothing_and_writes_the_layer_files(tmp_path, password):
    path = tmp_path / "store"
    with Vesk(str(path), password=password) as v:
        r = v.run_maintenance()
        assert isinstance(r, MaintenanceReport)
        assert (r.total_records, r.experience_injected, r.cross_connections, r.records_archived) == (0, 0, 0, 0)
        assert r.task_reminders == []
        assert r.hotspots.belief_snapshot_records == 0 and r.hotspots.records_after_cycle == 0
        assert re.fullmatch(r"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d(\.\d{3}|\.\d{6}|\.\d{9})?\+00:00", r.timestamp)
        assert r.concept_surface.mode == "Inspect"
    for name in LAYER_FILES:
        assert (path / name).is_file(), name
    topology = (path / "topology.cog").read_bytes()
    if password is None:
        assert topology == b'{"edges":{}}'
    else:
        assert topology.startswith(b"AEF1")


def test_no_experience_is_queued_and_empty_layers_feed_nothing_back(store):
    store.store("the kiln was fired at 1240 degrees")
    store.store("the glaze crazed after the second firing", tags=["pottery"])
    for _ in range(2):
        r = store.run_maintenance()
        assert r.experience_injected == 0
        f = r.feedback
        assert (f.beliefs_touched, f.beliefs_boosted, f.beliefs_dampened) == (0, 0, 0)
        assert (f.net_confidence_delta, f.net_volatility_delta, f.entries) == (0.0, 0.0, [])


def test_records_outside_their_validity_window_stay_but_are_not_in_the_snapshot(store):
    now = time.time()
    store.store("kiln fired at 1240 degrees")
    store.store("the old kiln schedule", valid_until=now - 3600)
    store.store("next season's glaze order", valid_from=now + 3600)
    r = store.run_maintenance()
    assert store.count() == 3 and r.total_records == 3
    assert r.hotspots.belief_snapshot_records == 1
    assert r.hotspots.sdr_source_bytes == len("kiln fired at 1240 degrees")
    assert r.hotspots.sdr_vectors_built == 1


def test_a_second_cycle_reuses_every_sdr(tmp_path):
    path = str(tmp_path / "store")
    with Vesk(path) as v:
        for text in ("glaze batch A", "glaze batch B", "kiln shelf cracked"):
            v.store(text)
    # A reopened store keeps no record SDRs: the first cycle encodes them all.
    with Vesk(path) as v:
        first, second = v.run_maintenance().hotspots, v.run_maintenance().hotspots
    assert (first.sdr_vectors_built, first.sdr_vectors_computed, first.sdr_vectors_reused) == (3, 3, 0)
    assert (second.sdr_vectors_built, second.sdr_vectors_computed, second.sdr_vectors_reused) == (3, 0, 3)


def test_timings_add_up_and_the_dominant_phase_is_one_of_them(store):
    store.store("a record to time the cycle by")
    r = store.run_maintenance()
    t, h = r.timings, r.hotspots
    assert t.total_ms >= sum(getattr(t, name) for name in CALLING_THREAD_TIMINGS)
    assert t.total_ms > 0
    assert h.dominant_phase_share == h.dominant_phase_ms / t.total_ms
    assert h.dominant_phase_ms == getattr(t, h.dominant_phase + "_ms")
    assert all(h.dominant_phase_ms >= getattr(t, name) for name in CALLING_THREAD_TIMINGS + ("concept_ms", "causal_ms"))


def test_cycles_decay_records_and_recall_still_finds_them(store):
    rid = store.store("the kiln controller needs a new thermocouple")
    before = store.get(rid)
    for _ in range(2):
        store.run_maintenance()
    after = store.get(rid)
    assert (after.content, after.level) == (before.content, before.level)
    assert after.strength == pytest.approx(before.strength * 0.64, abs=1e-6)
    assert [item["id"] for item in store.recall_structured("kiln thermocouple")] == [rid]


def test_background_state_is_never_running(store):
    assert store.is_background_running() is False
    assert store.start_background() is None
    assert store.is_background_running() is False
    assert store.start_background(interval_secs=60) is None
    assert store.start_background(2**64 - 1) is None
    assert store.stop_background() is None
    assert store.stop_background() is None  # nothing installed: nothing to do
    assert store.is_background_running() is False


@pytest.mark.parametrize(
    "call, exc, message",
    [
        (lambda v: v.start_background(interval_secs=-1), OverflowError,
         "out of range integral type conversion attempted"),
        (lambda v: v.start_background(2**64), OverflowError, "out of range integral type conversion attempted"),
        (lambda v: v.start_background("x"), TypeError, "argument 'interval_secs': "),
        (lambda v: v.start_background(1.5), TypeError, "argument 'interval_secs': "),
        (lambda v: v.configure_maintenance(object()), TypeError, "argument 'config': "),
        (lambda v: v.configure_maintenance(None), TypeError, "argument 'config': "),
    ],
)
def test_refused_arguments(store, call, exc, message):
    with pytest.raises(exc) as info:
        call(store)
    assert type(info.value) is exc
    assert str(info.value).startswith(message)
    assert store.is_background_running() is False


def test_configure_maintenance_takes_any_values(store):
    config = MaintenanceConfig()
    config.level_fix_interval = 0
    config.decay_enabled = False
    config.archival_rules = []
    assert store.configure_maintenance(config) is None
    config.task_tag = "changed after the call"
    assert store.run_maintenance().decay.decayed == 0
