"""Belief instability, salience and policy reports, as a caller sees them; the
layers are seeded through their files, salience set through mark_record_salience."""

import math

import numpy as np
import pytest

from test_layer_files import belief, belief_store, compact, hint
from vesk._core import BeliefInstabilitySummary, SalienceSummary, Vesk

BELIEF_KEYS = ["id", "key", "state", "winner_id", "hypothesis_ids", "score", "confidence", "support_mass",
               "conflict_mass", "stability", "volatility", "world_verdict", "should_abstain", "last_updated"]

# (state, volatility, stability) of b1..b7
SEEDED = [("Unresolved", 0.2, 1.0), ("Resolved", 0.05, 3.0), ("Singleton", 0.04, 2.0), ("Empty", 0.5, 0.5),
          ("Singleton", 0.5, 0.2), ("Resolved", 1.0, 1.5), ("Singleton", 0.0, 0.0)]


def seed_beliefs(path, beliefs):
    path.mkdir(parents=True, exist_ok=True)
    (path / "beliefs.cog").write_text(compact(belief_store(beliefs)), encoding="utf-8")


def f32(x):
    return float(np.float32(x))


@pytest.fixture
def seeded(tmp_path):
    path = tmp_path / "s"
    seed_beliefs(path, [belief(n, state=s, volatility=vol, stability=stab)
                        for n, (s, vol, stab) in enumerate(SEEDED, start=1)])
    with Vesk(str(path)) as v:
        yield v


def ids(beliefs):
    return [b["id"] for b in beliefs]


def test_empty_store_reports_zeros(tmp_path):
    with Vesk(str(tmp_path / "s")) as v:
        s = v.get_belief_instability_summary()
        assert isinstance(s, BeliefInstabilitySummary)
        assert [getattr(s, f) for f in ("total_beliefs", "resolved", "unresolved", "singleton", "empty",
                                         "contradiction_cluster_count", "high_volatility_count",
                                         "low_stability_count", "avg_volatility", "avg_stability")] == [0] * 10
        b = s.volatility_bands
        assert (b.low, b.medium, b.high) == (0, 0, 0)
        assert v.get_high_volatility_beliefs() == [] and v.get_low_stability_beliefs() == []
        sal = v.get_salience_summary()
        assert isinstance(sal, SalienceSummary)
        assert (sal.total_records, sal.high_salience_count, sal.avg_salience, sal.max_salience) == (0, 0, 0.0, 0.0)
        assert (sal.bands.low, sal.bands.medium, sal.bands.high) == (0, 0, 0)
        assert v.get_high_salience_records() == []


def test_instability_summary_counts_states_bands_and_averages(seeded):
    s = seeded.get_belief_instability_summary()
    assert (s.total_beliefs, s.resolved, s.unresolved, s.singleton, s.empty) == (7, 2, 1, 3, 1)
    # 0.2 is high, 0.05 medium; stability 1.0 is low.
    b = s.volatility_bands
    assert (b.low, b.medium, b.high, s.high_volatility_count) == (2, 1, 4, 4)
    assert s.low_stability_count == 4
    vol = np.float32(0)
    stab = np.float32(0)
    for _, v, st in SEEDED:
        vol += np.float32(v)
        stab += np.float32(st)
    assert s.avg_volatility == f32(vol / np.float32(7))
    assert s.avg_stability == f32(stab / np.float32(7))
    assert s.contradiction_cluster_count == len(seeded.get_contradiction_clusters())


@pytest.mark.parametrize("kwargs, expected", [
    ({}, ["b6", "b5", "b4", "b1"]),  # equal volatility: the less stable first
    ({"min_volatility": 0.05}, ["b6", "b5", "b4", "b1", "b2"]),
    ({"min_volatility": 5.0}, ["b6"]),  # clamped to 1.0
    ({"min_volatility": -1.0}, ["b6", "b5", "b4", "b1", "b2", "b3", "b7"]),
    ({"min_volatility": math.nan}, []),
    ({"limit": 2}, ["b6", "b5"]),
    ({"limit": 0}, []),
])
def test_high_volatility_beliefs(seeded, kwargs, expected):
    assert ids(seeded.get_high_volatility_beliefs(**kwargs)) == expected


@pytest.mark.parametrize("kwargs, expected", [
    ({}, ["b7", "b5", "b4", "b1"]),
    ({"max_stability": 3.0}, ["b7", "b5", "b4", "b1", "b6", "b3", "b2"]),  # no upper clamp
    ({"max_stability": -2.0}, ["b7"]),
    ({"max_stability": math.nan}, ["b7"]),
    ({"limit": 1}, ["b7"]),
    ({"limit": 0}, []),
])
def test_low_stability_beliefs(seeded, kwargs, expected):
    assert ids(seeded.get_low_stability_beliefs(**kwargs)) == expected


def test_belief_dicts_and_argument_errors(seeded):
    (d,) = seeded.get_high_volatility_beliefs(min_volatility=1.0)
    assert list(d) == BELIEF_KEYS
    assert (d["stability"], d["volatility"], d["hypothesis_ids"]) == (1.5, 1.0, ["h6"])
    for method, name in ((seeded.get_high_volatility_beliefs, "min_volatility"),
                         (seeded.get_low_stability_beliefs, "max_stability")):
        with pytest.raises(TypeError, match=f"argument '{name}': "):
            method(**{name: "x"})
        with pytest.raises(TypeError, match="argument 'limit': "):
            method(limit=1.5)
        with pytest.raises(OverflowError):
            method(limit=-1)


def test_limits_cap_at_one_hundred_and_the_summary_counts_twenty_clusters(tmp_path):
    path = tmp_path / "s"
    # Every belief unstable and alone in its namespace: one cluster each.
    seed_beliefs(path, [belief(n, state="Unresolved", volatility=0.3, stability=0.5) for n in range(1, 121)])
    with Vesk(str(path)) as v:
        assert v.get_belief_instability_summary().contradiction_cluster_count == 20
        assert len(v.get_contradiction_clusters(limit=100)) == 100
        for method in (v.get_high_volatility_beliefs, v.get_low_stability_beliefs):
            assert len(method()) == 20
            assert len(method(limit=500)) == 100


@pytest.fixture
def salient(tmp_path):
    with Vesk(str(tmp_path / "s")) as v:
        r = {name: v.store(f"record {name} about topic {name}") for name in "abcde"}
        for name, salience in zip("abcde", (0.7, 0.3, 0.0, 0.9, 0.7)):
            v.mark_record_salience(r[name], salience)
        # e and a tie on salience; e's connection gives it the higher
        # composite score.
        v.connect(r["e"], r["c"])
        yield v, {rid: name for name, rid in r.items()}


def test_salience_summary_bands(salient):
    v, _ = salient
    s = v.get_salience_summary()
    assert (s.total_records, s.high_salience_count) == (5, 3)
    assert (s.bands.low, s.bands.medium, s.bands.high) == (1, 1, 3)  # 0.3 medium, 0.7 high
    total = np.float32(0)
    for x in (0.7, 0.3, 0.0, 0.9, 0.7):
        total += np.float32(x)
    assert s.avg_salience == f32(total / np.float32(5))
    assert s.max_salience == f32(0.9)


@pytest.mark.parametrize("kwargs, expected", [
    ({}, "dea"),
    ({"min_salience": 0.7}, "dea"),
    ({"min_salience": 2.0}, ""),  # clamped to 1.0
    ({"min_salience": -3.0}, "deabc"),
    ({"min_salience": math.nan}, ""),
    ({"limit": 1}, "d"),
    ({"limit": 0}, ""),
    ({"limit": 1000}, "dea"),
])
def test_high_salience_records(salient, kwargs, expected):
    v, names = salient
    assert "".join(names[rec.id] for rec in v.get_high_salience_records(**kwargs)) == expected


def test_high_salience_argument_errors(salient):
    v, _ = salient
    with pytest.raises(TypeError, match="argument 'min_salience': "):
        v.get_high_salience_records(min_salience="high")
    with pytest.raises(OverflowError):
        v.get_high_salience_records(limit=-1)


# ---- policy pressure and lifecycle ----

def seed_hints(path, rows):
    """rows: (id, namespace, domain, action kind, strength, state)."""
    hints = {}
    for hid, ns, domain, kind, strength, state in rows:
        h = hint()
        h.update(id=hid, key=f"{ns}|{domain}|{hid}", namespace=ns, domain=domain, action_kind=kind,
                 policy_strength=strength, state=state, risk_score=0.1)
        hints[hid] = h
    path.mkdir(parents=True, exist_ok=True)
    (path / "policies.cog").write_text(
        compact({"hints": hints, "key_index": {h["key"]: hid for hid, h in hints.items()}}), encoding="utf-8")


HINTS = [("hb", "ops", "deploy", "Avoid", 1.0, "Stable"), ("ha", "ops", "deploy", "Prefer", 1.0, "Candidate"),
         ("hc", "ops", "db", "Warn", 0.5, "Suppressed"), ("hd", "ops", "db", "Recommend", 0.5, "Rejected"),
         ("hf", "zed", "x", "VerifyFirst", 1.0, "Candidate"), ("he", "app", "x", "VerifyFirst", 1.0, "Stable")]


@pytest.fixture
def policies(tmp_path):
    seed_hints(tmp_path / "s", HINTS)
    with Vesk(str(tmp_path / "s")) as v:
        yield v


def areas(items):
    return [(a.namespace, a.domain) for a in items]


def test_policy_reports_of_an_empty_store(tmp_path):
    with Vesk(str(tmp_path / "s")) as v:
        assert v.get_policy_pressure_report() == []
        s = v.get_policy_lifecycle_summary()
        assert (s.total_hints, s.active_hints, s.avg_policy_strength, s.action_summaries, s.domain_summaries) == (
            0, 0, 0.0, [], [])


def test_policy_pressure_areas(policies):
    report = policies.get_policy_pressure_report()
    # Equal pressure and active counts (app/x, zed/x): namespace order; an
    # area of suppressed and rejected hints only comes last, empty.
    assert areas(report) == [("ops", "deploy"), ("app", "x"), ("zed", "x"), ("ops", "db")]
    deploy, _, _, db = report
    assert deploy.advisory_pressure == pytest.approx(2.05, rel=1e-6)  # avoid 1.3 + prefer 0.75
    assert (deploy.active_hints, deploy.strongest_hint_id, deploy.strongest_action_kind) == (2, "ha", "prefer")
    assert deploy.strongest_policy_strength == 1.0
    assert (db.advisory_pressure, db.active_hints, db.suppressed_hints, db.rejected_hints) == (0.0, 0, 1, 1)
    assert (db.strongest_hint_id, db.strongest_action_kind, db.strongest_policy_strength) == ("", "", 0.0)
    assert areas(policies.get_policy_pressure_report(namespace="ops")) == [("ops", "deploy"), ("ops", "db")]
    assert areas(policies.get_policy_pressure_report(limit=1)) == [("ops", "deploy")]
    assert policies.get_policy_pressure_report(limit=0) == []
    assert policies.get_policy_pressure_report(namespace="none") == []
    with pytest.raises(OverflowError):
        policies.get_policy_pressure_report(limit=-1)
    with pytest.raises(TypeError, match="argument 'namespace': "):
        policies.get_policy_pressure_report(namespace=3)


def test_policy_lifecycle_summary(policies):
    s = policies.get_policy_lifecycle_summary()
    assert (s.total_hints, s.active_hints, s.stable_hints, s.candidate_hints, s.suppressed_hints,
            s.rejected_hints) == (6, 4, 2, 2, 1, 1)
    total = np.float32(0)
    for row in HINTS:
        total += np.float32(row[4])
    assert s.avg_policy_strength == f32(total / np.float32(6))
    assert s.avg_risk_score == pytest.approx(0.1, rel=1e-6)
    # verify_first leads on count; the rest tie on count, and pairs tie on
    # strength too, so text order decides.
    assert [a.action_kind for a in s.action_summaries] == ["verify_first", "avoid", "prefer", "recommend", "warn"]
    vf = s.action_summaries[0]
    assert (vf.total_hints, vf.stable_hints, vf.candidate_hints, vf.avg_policy_strength) == (2, 1, 1, 1.0)
    assert areas(s.domain_summaries) == areas(policies.get_policy_pressure_report())
    for d, a in zip(s.domain_summaries, policies.get_policy_pressure_report()):
        assert d.advisory_pressure == a.advisory_pressure
    db = s.domain_summaries[-1]
    assert (db.total_hints, db.active_hints, db.suppressed_hints, db.rejected_hints) == (2, 0, 1, 1)
    empty = policies.get_policy_lifecycle_summary(action_limit=0, domain_limit=0)
    assert (empty.total_hints, empty.action_summaries, empty.domain_summaries) == (6, [], [])
    assert len(policies.get_policy_lifecycle_summary(action_limit=2).action_summaries) == 2
    with pytest.raises(OverflowError):
        policies.get_policy_lifecycle_summary(domain_limit=-1)


def test_policy_limits_are_capped(tmp_path):
    seed_hints(tmp_path / "s", [(f"h{i:02}", f"n{i:02}", "d", "Warn", 0.5, "Stable") for i in range(40)])
    with Vesk(str(tmp_path / "s")) as v:
        assert len(v.get_policy_pressure_report()) == 10
        assert len(v.get_policy_pressure_report(limit=100)) == 25
        assert len(v.get_policy_lifecycle_summary().domain_summaries) == 12
        assert len(v.get_policy_lifecycle_summary(domain_limit=99).domain_summaries) == 32
