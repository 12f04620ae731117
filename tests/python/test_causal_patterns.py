"""The causal layer from Python: the evidence mode setter and the causal
phase of run_maintenance as causal.cog and the CausalPhaseReport show it.
The edge, scoring and gate rules themselves are tested in C++ on hand-built
snapshots (tests/cpp/maintenance/causal_phase_test.cc)."""

import json
import pathlib

import pytest

from test_layer_files import causal_store, compact
from vesk._core import CausalPhaseReport, Vesk


def causal_file(path):
    return json.loads(pathlib.Path(path, "causal.cog").read_text(encoding="utf-8"))


def five_records(v):
    """Five untagged records of distinct content; the newest names the oldest as its cause."""
    ids = [v.store(f"distinct memory number {i} about {word}")
           for i, word in enumerate(["apples", "rivers", "engines", "violins"])]
    ids.append(v.store("distinct memory number 4 about glaciers", caused_by_id=ids[0]))
    return ids


@pytest.mark.parametrize("mode", ["Strict", "", "strict ", "explicit-trusted", 'a"b'])
def test_unknown_evidence_modes_are_refused_and_change_nothing(tmp_path, mode):
    with Vesk(str(tmp_path / "s")) as v:
        v.set_causal_evidence_mode("explicit_trusted")
        v.run_maintenance()
        before = (tmp_path / "s" / "causal.cog").read_bytes()
        with pytest.raises(ValueError) as e:
            v.set_causal_evidence_mode(mode)
        escaped = mode.replace('"', '\\"')
        assert str(e.value) == (f'unknown mode "{escaped}"; expected one of strict, temporal_cluster_recovery, '
                                "explicit_trusted")
        with pytest.raises(TypeError):
            v.set_causal_evidence_mode(1)
        # The setter writes no file; the next save carries the engine's mode.
        v.set_causal_evidence_mode("temporal_cluster_recovery")
        assert (tmp_path / "s" / "causal.cog").read_bytes() == before
        v.store("one more memory so the corpus changes")
        v.run_maintenance()
    assert causal_file(tmp_path / "s")["evidence_mode"] == "TemporalClusterRecovery"


@pytest.mark.parametrize("mode, state, strength, stable, blocked", [
    ("explicit_trusted", "Stable", 0.784, 1, 9),
    (None, "Rejected", 0.3, 0, 10),
])
def test_one_explicit_link_among_five_records(tmp_path, mode, state, strength, stable, blocked):
    path = tmp_path / "s"
    with Vesk(str(path)) as v:
        ids = five_records(v)
        if mode:
            v.set_causal_evidence_mode(mode)
        c = v.run_maintenance().causal
        assert (c.skipped, c.explicit_edges_found, c.temporal_edges_found, c.edges_found) == (False, 1, 9, 10)
        assert (c.candidates_found, c.stable_count, c.rejected_count) == (10, stable, 10 - stable)
        assert c.patterns_blocked_by_evidence_gates == blocked
        assert c.temporal_namespaces_scanned == 1 and c.temporal_pairs_considered == 10

        layer = causal_file(path)
        key = f"default:orphan:{ids[0]}\u2192orphan:{ids[-1]}"
        pid = layer["key_index"][key]
        p = layer["patterns"][pid]
        assert pid.startswith("ca-") and len(pid) >= 15 and int(pid[3:], 16) >= 0
        assert (p["id"], p["key"], p["state"]) == (pid, key, state)
        assert p["causal_strength"] == pytest.approx(strength, abs=1e-3)
        assert (p["cause_record_ids"], p["effect_record_ids"]) == ([ids[0]], [ids[-1]])
        assert layer["evidence_mode"] == ("ExplicitTrusted" if mode else "StrictRepeatedWindows")
        assert len(layer["patterns"]) == len(layer["key_index"]) == 10

        # Only the mode changes: the unchanged corpus skips the rebuild.
        v.set_causal_evidence_mode("strict" if mode else "explicit_trusted")
        again = v.run_maintenance().causal
        assert (again.skipped, again.edges_found, again.explicit_edges_found, again.temporal_edges_found) == (
            True, 10, 1, 9)
        assert (again.candidates_found, again.stable_count, again.temporal_pairs_considered) == (10, stable, 0)
        assert causal_file(path)["patterns"] == layer["patterns"]
    saved = (path / "causal.cog").read_bytes()
    with Vesk(str(path)) as v:
        assert v.run_maintenance().causal.skipped
    reopened = causal_file(path)
    assert reopened["patterns"] == json.loads(saved)["patterns"]
    assert reopened["key_index"][key] == pid


def test_the_temporal_budget_comes_from_a_stored_file(tmp_path):
    path = tmp_path / "s"
    path.mkdir()
    (path / "causal.cog").write_text(compact(causal_store([], evidence_mode="StrictRepeatedWindows")),
                                     encoding="utf-8")
    with Vesk(str(path)) as v:
        for i in range(21):
            v.store(f"memory {i} of a busy day: item {chr(97 + i) * 3}")
        c = v.run_maintenance().causal
    # Each of the four oldest records leaves 4, 3, 2, 1 later records unexamined.
    assert (c.temporal_pairs_skipped_by_budget, c.temporal_edges_found) == (10, 210 - 10)
    assert causal_file(path)["temporal_budget_mode"] == "NearbySuccessors"


REPORT_FIELDS = {
    "skipped": "True if the causal rebuild was skipped (corpus fingerprint unchanged).",
    "edges_found": "Number of raw record-level causal edges found.",
    "explicit_edges_found": "Number of explicit record-level causal edges found.",
    "temporal_edges_found": "Number of temporal record-level causal edges found.",
    "temporal_namespaces_scanned": "Namespaces scanned for temporal edge extraction.",
    "temporal_pairs_considered": "Pairwise temporal checks considered.",
    "temporal_pairs_skipped_by_budget": "Pairwise temporal checks skipped by the budgeting policy.",
    "temporal_edges_capped": "Temporal edges skipped due to cap pressure.",
    "temporal_namespaces_hit_cap": "Namespaces that hit the temporal edge cap.",
    "candidates_found": "Total causal pattern candidates after aggregation.",
    "patterns_meeting_support_gate": "Patterns that pass the minimum support gate.",
    "patterns_meeting_repeated_window_gate": "Patterns that pass the repeated-evidence gate.",
    "patterns_meeting_counterfactual_gate": "Patterns that pass the counterfactual-ratio gate.",
    "patterns_blocked_by_evidence_gates": "Patterns blocked by evidence gates before state promotion.",
    "patterns_blocked_by_counterfactual_gate": "Patterns blocked by counterfactual pressure before state promotion.",
    "stable_count": "Patterns that reached Stable state.",
    "rejected_count": "Patterns that were Rejected.",
    "avg_causal_strength": "Average causal_strength across all candidates.",
}


def test_the_report_class_and_its_read_only_attributes(tmp_path):
    assert CausalPhaseReport.__doc__ == (
        "Causal phase report \u2014 causal pattern discovery stats from a single maintenance cycle.")
    for name, doc in REPORT_FIELDS.items():
        assert getattr(CausalPhaseReport, name).__doc__ == doc, name
    with Vesk(str(tmp_path / "s")) as v:
        c = v.run_maintenance().causal
    assert isinstance(c, CausalPhaseReport)
    assert (c.skipped, c.edges_found, c.candidates_found, c.avg_causal_strength) == (False, 0, 0, 0.0)
    with pytest.raises(AttributeError):
        c.stable_count = 1
