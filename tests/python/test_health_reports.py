"""Belief instability, salience, reflection and policy reports, as a caller
sees them; the layers and histories are seeded through their files, salience
set through mark_record_salience."""

import json
import math

import numpy as np
import pytest

from test_correction_log import _append as append_audit, _line as correction_line
from test_layer_files import belief, belief_store, causal_store, compact, hint, pattern
from test_maintenance_histories import finding, snapshot, summary
from vesk._core import (BeliefInstabilitySummary, MemoryHealthDigest, OperatorReviewIssue, ReflectionDigest,
                        ReflectionSummary, SalienceSummary, Vesk)

BELIEF_KEYS = ["id", "key", "state", "winner_id", "hypothesis_ids", "score", "confidence", "support_mass",
               "conflict_mass", "stability", "volatility", "world_verdict", "should_abstain", "last_updated"]

# (state, volatility, stability) of b1..b7
SEEDED = [("Unresolved", 0.2, 1.0), ("Resolved", 0.05, 3.0), ("Singleton", 0.04, 2.0), ("Empty", 0.5, 0.5),
          ("Singleton", 0.5, 0.2), ("Resolved", 1.0, 1.5), ("Singleton", 0.0, 0.0)]


HEALTH_COUNTS = ("total_records", "high_salience_record_count", "reflection_summary_count",
                 "reflection_high_severity_findings", "contradiction_cluster_count", "high_volatility_belief_count",
                 "low_stability_belief_count", "recent_correction_count", "suppressed_policy_hint_count",
                 "rejected_policy_hint_count", "policy_pressure_area_count")


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
        assert v.get_reflection_summaries() == [] and v.get_reflection_summaries(limit=0) == []
        d = v.get_reflection_digest()
        assert isinstance(d, ReflectionDigest)
        assert [getattr(d, f) for f in ("summary_count", "total_findings", "high_severity_findings",
                                         "latest_timestamp", "latest_dominant_phase", "kinds", "namespaces",
                                         "top_findings")] == [0, 0, 0, "", "", [], [], []]
        h = v.get_memory_health_digest()
        assert isinstance(h, MemoryHealthDigest)
        assert [getattr(h, f) for f in HEALTH_COUNTS] == [0] * len(HEALTH_COUNTS)
        assert (h.avg_salience, h.max_salience, h.maintenance_trend_direction, h.latest_dominant_phase,
                h.top_issues) == (0.0, 0.0, "insufficient_data", "", [])
        assert v.get_contradiction_review_queue() == [] and v.get_recently_corrected_beliefs() == []


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
        assert len(v.get_contradiction_review_queue()) == 10
        assert len(v.get_contradiction_review_queue(limit=100)) == 50
        assert v.get_contradiction_review_queue(limit=0) == []
        assert v.get_memory_health_digest(limit=50).contradiction_cluster_count == 20


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


# ---- reflection summaries and digest ----

def seed_summaries(path, summaries):
    path.mkdir(parents=True, exist_ok=True)
    (path / "reflection_summaries.json").write_text(json.dumps(summaries), encoding="utf-8")


@pytest.mark.parametrize("limit, expected", [
    (None, list(range(39, 31, -1))),
    (100, list(range(39, 7, -1))),
    (32, list(range(39, 7, -1))),
    (3, [39, 38, 37]),
    (0, [39]),
])
def test_reflection_window(tmp_path, limit, expected):
    seed_summaries(tmp_path / "s", [summary([finding()], timestamp=f"t{n:02}") for n in range(40)])
    with Vesk(str(tmp_path / "s")) as v:
        got = v.get_reflection_summaries(limit=limit)
        assert all(isinstance(s, ReflectionSummary) for s in got)
        assert [s.timestamp for s in got] == [f"t{n:02}" for n in expected]
        d = v.get_reflection_digest(limit=limit)
        assert (d.summary_count, d.total_findings, d.latest_timestamp) == (len(expected), len(expected), "t39")
        for method in (v.get_reflection_summaries, v.get_reflection_digest):
            with pytest.raises(OverflowError):
                method(limit=-1)
            with pytest.raises(TypeError, match="argument 'limit': "):
                method(limit="8")


def test_reflection_digest_rolls_up_kinds_namespaces_and_top_findings(tmp_path):
    # The older summary: ten low findings of k00 in "alpha", and k01..k13
    # once each, "High" or "high " (neither is high); k12 and k13 tie on
    # score. The newer one holds a single high finding.
    older = [finding(kind="k00", namespace="alpha", title="title k00", score=0.1, severity="low")
             for _ in range(10)]
    for i in range(1, 14):
        older.append(finding(kind=f"k{i:02}", namespace="Zed" if i <= 10 else "beta", title=f"title k{i:02}",
                             score=min(i, 12) * 0.05, severity="High" if i % 2 else "high "))
    newer = [finding(kind="z", namespace="beta", title="title z", score=0.9, severity="high", related_ids=[])]
    seed_summaries(tmp_path / "s", [summary(older, timestamp="t1", dominant_phase="decay"),
                                     summary(newer, timestamp="t2", dominant_phase="belief")])
    with Vesk(str(tmp_path / "s")) as v:
        d = v.get_reflection_digest()
        assert (d.summary_count, d.total_findings, d.high_severity_findings) == (2, 24, 1)
        assert (d.latest_timestamp, d.latest_dominant_phase) == ("t2", "belief")
        kinds = [k.kind for k in d.kinds]
        # One high finding outranks ten ordinary ones; 15 kinds cut to 12.
        assert kinds[:2] == ["z", "k00"] and set(kinds[2:4]) == {"k12", "k13"}
        assert kinds[4:] == [f"k{i:02}" for i in range(11, 3, -1)]
        z, k00 = d.kinds[:2]
        assert (z.count, z.high_severity_count, k00.count, k00.high_severity_count) == (1, 1, 10, 0)
        total = np.float32(0)
        for _ in range(10):
            total += np.float32(0.1)
        assert k00.avg_score == f32(total / np.float32(10))
        # Equal counts in byte order: "Zed" before "alpha".
        assert d.namespaces == ["Zed", "alpha", "beta"]
        assert [f.title for f in d.top_findings] == ["title z", "title k12", "title k13", "title k11",
                                                     "title k10", "title k09"]
        assert d.top_findings[0].related_ids == []
        only_newest = v.get_reflection_digest(limit=0)
        assert (only_newest.summary_count, only_newest.total_findings, only_newest.namespaces) == (1, 1, ["beta"])


# ---- memory health digest ----

@pytest.mark.parametrize("history, direction", [
    ([], "insufficient_data"),
    ([{"volatile_records": 3}], "insufficient_data"),
    ([{"volatile_records": 3}, {"volatile_records": 4, "causal_rejection_rate": 0.05}], "worsening"),
    ([{"volatile_records": 4, "policy_suppression_rate": 0.05}, {"volatile_records": 3}], "improving"),
    ([{"volatile_records": 3}, {"volatile_records": 1, "correction_events": 3}], "stable"),  # +1.0 exactly
    ([{"correction_events": 5}, {"volatile_records": 9}, {"volatile_records": 3}], "improving"),  # ends only
])
def test_health_digest_trend_direction(tmp_path, history, direction):
    path = tmp_path / "s"
    path.mkdir()
    rows = [snapshot(n, **{"volatile_records": 0, "correction_events": 0, "causal_rejection_rate": 0.0,
                           "policy_suppression_rate": 0.0, **changes}) for n, changes in enumerate(history)]
    (path / "maintenance_trends.json").write_text(json.dumps(rows), encoding="utf-8")
    with Vesk(str(path)) as v:
        h = v.get_memory_health_digest()
        assert h.maintenance_trend_direction == direction
        assert h.latest_dominant_phase == (f"phase{len(history) - 1}" if history else "")


@pytest.fixture
def unhealthy(tmp_path):
    """Four unstable beliefs (each its own cluster), a pressing policy area and
    a suppressed one, one reflection summary, one salient record and two
    corrections."""
    path = tmp_path / "s"
    seed_beliefs(path, [belief(1, key="ops:deploy", volatility=0.45), belief(2, key="nocolon", volatility=0.44),
                        belief(3, key="db:x", volatility=0.35, conflict_mass=5.0),
                        belief(4, key="db:y", volatility=0.2)])
    seed_hints(path, [("ha", "ops", "deploy", "Avoid", 1.0, "Stable"), ("hc", "ops", "db", "Warn", 0.5, "Suppressed")])
    seed_summaries(path, [summary([finding(score=0.5, severity="High", related_ids=[], title="Blocked")])])
    with Vesk(str(path)) as v:
        rid = v.store("é" * 60, namespace="media")
        v.mark_record_salience(rid, 0.95)
        append_audit(path / "brain.audit", correction_line("belief", "a1b2c3d4e5f6", "deprecate", ms=1) + "\n" +
                     correction_line("policy_hint", ":x", "retract", ms=2) + "\n")
        yield v, rid


def issue_rows(issues):
    return [(i.kind, i.target_id, i.namespace, i.title, i.score, i.severity) for i in issues]


def test_health_digest_counts_and_ranks_issues(unhealthy):
    v, rid = unhealthy
    h = v.get_memory_health_digest(limit=20)
    assert [getattr(h, f) for f in HEALTH_COUNTS] == [1, 1, 1, 0, 4, 4, 4, 2, 1, 0, 2]
    assert (h.avg_salience, h.max_salience) == (f32(0.95), f32(0.95))
    assert all(isinstance(i, OperatorReviewIssue) for i in h.top_issues)
    got = [(i.kind, i.target_id if i.kind != "contradiction_cluster" else "", i.namespace, i.severity)
           for i in h.top_issues]
    assert got == [
        ("contradiction_cluster", "", "db", "high"),  # 0.35 + min(5.0, 1.0)
        ("policy_pressure", "ha", "ops", "high"),  # avoid 1.3
        ("recent_correction", ":x", "default", "medium"),  # 1.0; equal scores by target id
        ("recent_correction", "a1b2c3d4e5f6", "a1b2c3d4e5f6", "medium"),
        ("high_salience_record", rid, "media", "high"),
        ("reflection_finding", "", "work", "High"),
        ("belief_instability", "b1", "ops", "high"),  # 0.45; equal scores by kind
        ("contradiction_cluster", "", "ops", "low"),
        ("belief_instability", "b2", "nocolon", "medium"),  # 0.44
        ("contradiction_cluster", "", "nocolon", "low"),
        ("belief_instability", "b3", "db", "medium"),
        ("belief_instability", "b4", "db", "low"),  # 0.2
        ("contradiction_cluster", "", "db", "low"),
        ("policy_pressure", "", "ops", "low"),  # only a suppressed hint
    ]
    scores = [i.score for i in h.top_issues]
    assert scores[:2] == [f32(np.float32(0.35) + np.float32(1.0)), f32(1.3)]
    assert scores[2:5] == [1.0, 1.0, f32(0.95)]
    titles = {i.kind: i.title for i in reversed(h.top_issues)}
    assert titles == {"contradiction_cluster": "Contradiction cluster with 1 beliefs",
                      "policy_pressure": "Policy pressure in ops:deploy",
                      "recent_correction": "Recent retract policy_hint",
                      "high_salience_record": "High-salience record " + "é" * 48,
                      "reflection_finding": "Blocked", "belief_instability": "High-volatility belief ops:deploy"}
    assert issue_rows(v.get_memory_health_digest().top_issues) == issue_rows(h.top_issues[:8])
    assert issue_rows(v.get_memory_health_digest(limit=50).top_issues) == issue_rows(h.top_issues)


def test_health_digest_limit_zero_keeps_the_uncut_counts(unhealthy):
    v, _ = unhealthy
    h = v.get_memory_health_digest(limit=0)
    assert h.top_issues == []
    assert (h.contradiction_cluster_count, h.policy_pressure_area_count, h.recent_correction_count) == (0, 0, 0)
    assert (h.reflection_summary_count, h.high_volatility_belief_count, h.high_salience_record_count) == (1, 4, 1)
    with pytest.raises(OverflowError):
        v.get_memory_health_digest(limit=-1)
    with pytest.raises(TypeError, match="argument 'limit': "):
        v.get_memory_health_digest(limit=1.0)


# ---- contradiction review queue and recently corrected beliefs ----

REVIEW_KEYS = ["cluster_id", "namespace", "title", "belief_ids", "belief_keys", "record_ids", "shared_tags",
               "unresolved_belief_count", "high_volatility_belief_count", "dependent_causal_patterns",
               "dependent_policy_hints", "downstream_impact", "total_conflict_mass", "avg_volatility",
               "avg_stability", "priority_score", "severity"]


def seed_review_layers(path):
    """x: three beliefs sharing record rx, all unresolved and volatile; d: one
    volatile belief that two live patterns and two live hints depend on; a
    and b: two identical lone beliefs."""
    def member(bid, key, rec, **changes):
        b = belief(0, id=bid, key=key, hypothesis_ids=[f"h{bid}"], winner_id=None, **changes)
        h = {"id": f"h{bid}", "belief_id": bid, "prototype_record_ids": [rec], "score": 0.5, "confidence": 0.5,
             "support_mass": 1.0, "conflict_mass": 0.0, "recency": 1.0, "consistency": 1.0}
        return b, h

    rows = [member(f"x{i}", f"x:{i}", "rx", state="Unresolved", volatility=1.0, stability=0.0, conflict_mass=2.0)
            for i in range(3)]
    rows += [member("d1", "d:1", "rd", volatility=0.2, stability=0.9),
             member("a1", "a:1", "ra", conflict_mass=0.5, stability=1.5),
             member("b1", "b:1", "rb", conflict_mass=0.5, stability=1.5)]
    store = {"beliefs": {b["id"]: b for b, _ in rows}, "hypotheses": {h["id"]: h for _, h in rows},
             "key_index": {b["key"]: b["id"] for b, _ in rows}, "record_index": {},
             "coarse_key_mode": "Standard", "claim_similarity_override": None, "embedding_similarity_override": None}
    path.mkdir(parents=True, exist_ok=True)
    (path / "beliefs.cog").write_text(compact(store), encoding="utf-8")
    patterns = [pattern(id="p1", key="k1", state="Stable", cause_belief_ids=["d1"], effect_belief_ids=[]),
                pattern(id="p2", key="k2", state="Candidate", cause_belief_ids=["d1"], effect_belief_ids=["d1"]),
                pattern(id="p3", key="k3", state="Invalidated", cause_belief_ids=["d1"], effect_belief_ids=[]),
                pattern(id="p4", key="k4", state="Rejected", cause_belief_ids=["x1"], effect_belief_ids=[])]
    (path / "causal.cog").write_text(compact(causal_store(patterns)), encoding="utf-8")
    hints = {}
    for hid, state, triggers in (("q1", "Suppressed", ["d1", "d1"]), ("q2", "Candidate", ["zz", "d1"]),
                                 ("q3", "Rejected", ["d1", "x0"])):
        h = hint()
        h.update(id=hid, key=f"key-{hid}", state=state, trigger_belief_ids=triggers)
        hints[hid] = h
    (path / "policies.cog").write_text(
        compact({"hints": hints, "key_index": {h["key"]: hid for hid, h in hints.items()}}), encoding="utf-8")


def test_contradiction_review_queue(tmp_path):
    seed_review_layers(tmp_path / "s")
    with Vesk(str(tmp_path / "s")) as v:
        queue = v.get_contradiction_review_queue()
        assert [q["namespace"] for q in queue][:2] == ["x", "d"]
        x, d = queue[:2]
        assert list(x) == REVIEW_KEYS
        # 1.5 + 4 + 2 + 2.4 + 1.8 capped at 10.
        assert (x["priority_score"], x["severity"], x["downstream_impact"]) == (10.0, "high", 0)
        assert x["title"] == "Review contradiction cluster in x (3 beliefs, 1 records)"
        assert (x["record_ids"], x["unresolved_belief_count"], x["high_volatility_belief_count"]) == (["rx"], 3, 3)
        # Live patterns and hints count once each: (1.5 - 0.9) + 0.9 x 4 + 4 x 0.2 + 0.6.
        assert (d["dependent_causal_patterns"], d["dependent_policy_hints"], d["downstream_impact"]) == (2, 2, 4)
        expected = np.float32(1.5) - np.float32(0.9) + (np.float32(0.9) * np.float32(4) + (
            np.float32(4) * np.float32(0.2) + np.float32(0) + np.float32(0.8) * np.float32(0) + np.float32(0.6)))
        assert (d["priority_score"], d["severity"]) == (f32(expected), "high")
        # a and b tie on everything but the cluster id.
        rest = queue[2:]
        assert sorted(q["namespace"] for q in rest) == ["a", "b"]
        assert [q["cluster_id"] for q in rest] == sorted(q["cluster_id"] for q in rest)
        assert rest[0]["severity"] == "low"
        assert [q["namespace"] for q in v.get_contradiction_review_queue(namespace="d")] == ["d"]
        assert v.get_contradiction_review_queue(namespace="none") == []
        assert [q["namespace"] for q in v.get_contradiction_review_queue(limit=1)] == ["x"]
        with pytest.raises(OverflowError):
            v.get_contradiction_review_queue(limit=-1)
        with pytest.raises(TypeError, match="argument 'namespace': "):
            v.get_contradiction_review_queue(namespace=1)


def test_recently_corrected_beliefs(tmp_path):
    path = tmp_path / "s"
    seed_beliefs(path, [belief(n) for n in range(1, 4)])
    with Vesk(str(path)) as v:
        lines = [("belief", "b1", "deprecate", 1000), ("belief", "b2", "deprecate", 2000),
                 ("belief", "gone", "deprecate", 3000), ("belief", "b1", "world_confirm", 4000),
                 ("belief", "b3", "world_refute", 4000),  # same time, later line: first
                 ("Belief", "b2", "deprecate", 5000), ("policy_hint", "b2", "retract", 6000),
                 ("belief", "b1", "deprecate", 500)]
        append_audit(path / "brain.audit",
                     "".join(correction_line(k, t, op, ms=ms) + "\n" for k, t, op, ms in lines))
        assert ids(v.get_recently_corrected_beliefs()) == ["b3", "b1", "b2"]
        # The missing belief does not count toward the limit.
        assert ids(v.get_recently_corrected_beliefs(limit=3)) == ["b3", "b1", "b2"]
        assert ids(v.get_recently_corrected_beliefs(limit=1)) == ["b3"]
        assert v.get_recently_corrected_beliefs(limit=0) == []
        # A deprecation through the store shows the belief as it stands now.
        assert v.deprecate_belief("b2") is True
        (b2,) = v.get_recently_corrected_beliefs(limit=1)
        assert list(b2) == BELIEF_KEYS
        assert (b2["id"], b2["state"], b2["winner_id"]) == ("b2", "unresolved", None)
        with pytest.raises(OverflowError):
            v.get_recently_corrected_beliefs(limit=-1)
