"""insights() as a caller sees it, and the core phases of run_maintenance:
level fix, decay, the switches and the insight count."""

import pytest

from vesk._core import Level, MaintenanceConfig, Vesk

KEYS = ["insight_type", "severity", "phase", "record_ids", "description", "evidence"]


def put(store, content, **kw):
    kw.setdefault("auto_promote", False)
    return store.store(content, **kw)


def of_type(found, kind):
    return [i for i in found if i["insight_type"] == kind]


def test_empty_store_gives_nothing_in_every_phase(store):
    assert store.insights() == []
    for phase in (None, 0, 1, 2):
        assert store.insights(phase=phase) == []


@pytest.mark.parametrize(
    "phase, exc, message",
    [
        (3, ValueError, "Invalid phase 3. Must be 0, 1, or 2."),
        (255, ValueError, "Invalid phase 255. Must be 0, 1, or 2."),
        (256, OverflowError, "out of range integral type conversion attempted"),
        (-1, OverflowError, "out of range integral type conversion attempted"),
        ("x", TypeError, "argument 'phase': "),
        (1.0, TypeError, "argument 'phase': "),
    ],
)
def test_refused_phases(store, phase, exc, message):
    put(store, "a record so the detectors have something to read", tags=["kiln"])
    with pytest.raises(exc) as info:
        store.insights(phase=phase)
    assert type(info.value) is exc
    assert str(info.value).startswith(message)
    # The lock was let go: a write goes through.
    put(store, "another record after the refusal")


def test_a_tag_on_three_records_is_one_cluster(store):
    ids = [put(store, f"kiln note {i}", tags=["kiln"]) for i in range(3)]
    found = store.insights()
    assert found == [{
        "insight_type": "cluster", "severity": "Low", "phase": "relationships", "record_ids": ids,
        "description": "Cluster around tag 'kiln': 3 records", "evidence": {"tag": "kiln", "cluster_size": "3"},
    }]
    assert list(found[0]) == KEYS
    assert store.insights(phase=1) == found
    assert store.insights(phase=0) == [] and store.insights(phase=2) == []


def test_two_records_on_a_tag_are_no_cluster(store):
    for i in range(2):
        put(store, f"glaze note {i}", tags=["glaze"])
    assert store.insights() == []


def test_a_causal_chain_of_twelve_records_reports_eleven(store):
    ids = [put(store, "step 0 of the firing")]
    for i in range(1, 12):
        ids.append(put(store, f"step {i} of the firing", caused_by_id=ids[-1]))
    chains = of_type(store.insights(), "causal_chain")
    assert len(chains) == 1
    assert chains[0]["record_ids"] == ids[:11]
    assert chains[0]["evidence"] == {"chain_length": "11"}
    assert chains[0]["description"] == "Causal chain of 11 records"


def test_working_and_identity_on_one_tag_conflict(store):
    a = put(store, "I might like tea", tags=["x"], level=Level.Working)
    b = put(store, "I am a tea drinker", tags=["x"], level=Level.Identity)
    conflicts = of_type(store.insights(), "conflict")
    assert conflicts == [{
        "insight_type": "conflict", "severity": "High", "phase": "relationships", "record_ids": [a, b],
        "description": "Potential conflict on 'x': WORKING and IDENTITY records coexist",
        "evidence": {"tag": "x", "levels": "Working+Identity", "signal": "level_mismatch"},
    }]


def test_decisions_sharing_a_tag_conflict_and_each_phase_keeps_its_name(store):
    d = put(store, "raise prices in the third quarter", tags=["pricing", "q3"], semantic_type="decision")
    e = put(store, "keep prices flat this year", tags=["pricing"], semantic_type="decision")
    found = store.insights(phase=2)
    assert found == [{
        "insight_type": "decision_conflict", "severity": "High", "phase": "cross_domain", "record_ids": [d, e],
        "description": "Potentially conflicting decisions on [pricing]: "
                       "'raise prices in the third quarter' vs 'keep prices flat this year'",
        "evidence": {"tag_overlap": "0.50", "strength_a": "1.00", "strength_b": "1.00", "shared_tags": "pricing"},
    }]
    for phase, name in ((0, "record_health"), (1, "relationships"), (2, "cross_domain")):
        assert {i["phase"] for i in store.insights(phase=phase)} <= {name}


def test_a_cycle_fixes_levels_and_decays_and_a_reopen_shows_the_same(tmp_path):
    path = str(tmp_path / "store")
    with Vesk(path) as v:
        claimless = put(v, "the studio is in the north wing", level=Level.Identity)
        pinned = put(v, "my name is Ada", level=Level.Identity, pin=True)
        working = put(v, "the kiln is cooling down")
        r = v.run_maintenance()
        assert (r.decay.decayed, r.decay.archived) == (3, 0)
        assert r.total_records == 3 and r.hotspots.records_before_cycle == 3
        assert v.get(claimless).level == Level.Domain
        assert v.get(pinned).level == Level.Identity and v.get(pinned).strength == 1.0
        assert v.get(working).strength == pytest.approx(0.8, abs=1e-7)
        seen = {rid: (v.get(rid).level, v.get(rid).strength) for rid in (claimless, pinned, working)}
    with Vesk(path) as v:
        assert {rid: (v.get(rid).level, v.get(rid).strength) for rid in seen} == seen


def test_switched_off_decay_keeps_strengths(store):
    rid = put(store, "the kiln is cooling down")
    config = MaintenanceConfig()
    config.decay_enabled = False
    store.configure_maintenance(config)
    r = store.run_maintenance()
    assert (r.decay.decayed, r.decay.archived) == (0, 0)
    assert store.get(rid).strength == 1.0


def test_the_cycle_counts_the_insights_a_caller_would_see(store):
    for i in range(3):
        put(store, f"kiln note {i}", tags=["kiln"])
    before = len(store.insights())
    assert store.run_maintenance().insights_found == before == 1
    config = MaintenanceConfig()
    config.insights_enabled = False
    store.configure_maintenance(config)
    assert store.run_maintenance().insights_found == 0


def test_a_record_decayed_below_the_floor_leaves_memory_and_recall(store):
    weak = put(store, "an orchard of apples and pears", tags=["fruit"])
    keep = put(store, "the orchard map is pinned", pin=True)
    archived = [store.run_maintenance().decay.archived for _ in range(14)]  # 0.8 ** 14 < 0.05
    assert archived == [0] * 13 + [1]
    assert store.get(weak) is None
    assert store.get(keep).strength == 1.0
    assert [x["id"] for x in store.recall_structured("orchard", min_strength=0.0)] == [keep]
