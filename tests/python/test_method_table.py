"""Every method of Vesk matches its row of the method table (method_table.py).

A present method shows its row's text signature and docstring, has its calling
kind, and holds or releases the interpreter lock as the row says. Whatever
the table names and the class lacks is in PENDING, and nothing else is.
"""

import functools
import gc
import inspect
import operator
import sys
import threading
from collections import Counter

import pytest

from method_table import METHODS, PENDING
from vesk._core import AgentPersona, MaintenanceConfig, TagTaxonomy, TrustConfig, Vesk

ROWS = {sig.split("(", 1)[0]: (sig, kind, lock, errors, doc) for sig, kind, lock, errors, doc in METHODS}
PENDING_NAMES = [name for names in PENDING.values() for name in names]
PRESENT = sorted(n for n in ROWS if n not in PENDING_NAMES)


def test_table_shape():
    assert len(METHODS) == len(ROWS) == 241
    assert Counter(kind for _, kind, *_ in METHODS) == {"K": 176, "N": 41, "S": 23, "SN": 1}
    assert sum(lock == "released" for _, _, lock, *_ in METHODS) == 42


def test_pending_names_exactly_what_the_class_lacks():
    assert len(PENDING_NAMES) == len(set(PENDING_NAMES))
    assert sorted(set(PENDING_NAMES) - set(ROWS)) == []
    methods = {n for n, v in vars(Vesk).items() if callable(v) or isinstance(v, staticmethod)}
    methods -= {"__new__", "__repr__", "__init__"}
    assert sorted(methods - set(ROWS)) == []  # no method outside the table
    assert sorted(set(ROWS) - methods) == sorted(PENDING_NAMES)


@pytest.mark.parametrize("name", PRESENT)
def test_signature_docstring_and_kind(store, name):
    sig, kind, _, _, doc = ROWS[name]
    method = getattr(Vesk, name)
    assert method.__text_signature__ == "(" + sig.split("(", 1)[1]
    assert method.__doc__ == doc
    static = isinstance(inspect.getattr_static(Vesk, name), staticmethod)
    assert static == kind.startswith("S")
    # A refused argument list: nothing runs.
    call = method if static else getattr(store, name)
    if kind in ("N", "SN"):
        with pytest.raises(TypeError, match="takes no arguments"):
            call(1)
    else:
        with pytest.raises(TypeError, match="unexpected keyword argument '_no_such'"):
            call(_no_such=1)


def test_static_methods_run_on_the_class_without_a_store():
    key = Vesk.generate_container_signing_key()
    assert isinstance(key, dict) and key
    with pytest.raises(OSError):
        Vesk.inspect_container("/nonexistent/container.vskc")


def test_every_static_method_runs_on_the_class(tmp_path):
    static = [name for name in PRESENT if ROWS[name][1].startswith("S")]
    assert len(static) == 24
    for name in static:
        args, kwargs = SAMPLES[name](tmp_path, None)
        try:
            getattr(Vesk, name)(*args, **kwargs)
        except OSError as e:  # the sample paths mostly name no container
            assert type(e) is OSError, name


# One call of every present method on an open store, as (args, kwargs) made
# from the store's directory and one stored record id. A call may fail: what
# is looked at is only whether another thread ran while it was inside.
SAMPLES = {
    "count": lambda d, r: ((), {}),
    "get_surfaced_concepts": lambda d, r: ((), {"limit": 3}),
    "get_surfaced_concepts_for_namespace": lambda d, r: (("default",), {}),
    "get_taxonomy": lambda d, r: ((), {}),
    "get_maintenance_trend_history": lambda d, r: ((), {}),
    "get_latest_reflection_digest": lambda d, r: ((), {}),
    "get_startup_validation_report": lambda d, r: ((), {}),
    "get_persistence_manifest": lambda d, r: ((), {}),
    "is_background_running": lambda d, r: ((), {}),
    "__enter__": lambda d, r: ((), {}),
    "is_encrypted": lambda d, r: ((), {}),
    "has_synonyms": lambda d, r: ((), {}),
    "clear_outcome_classifier": lambda d, r: ((), {}),
    "clear_claim_classifier": lambda d, r: ((), {}),
    "stop_background": lambda d, r: ((), {}),
    "snapshot": lambda d, r: (("lock",), {}),
    "rollback": lambda d, r: (("none_such",), {}),
    "diff": lambda d, r: (("none_a", "none_b"), {}),
    "list_snapshots": lambda d, r: ((), {}),
    "flush": lambda d, r: ((), {}),
    "store": lambda d, r: (("a second memory",), {}),
    "set_record_acl": lambda d, r: ((r, "public"), {}),
    "check_record_access": lambda d, r: ((r,), {}),
    "get": lambda d, r: ((r,), {}),
    "set_taxonomy": lambda d, r: ((TagTaxonomy(),), {}),
    "load_synonyms": lambda d, r: ((str(d / "none.toml"),), {}),
    "set_claim_classifier": lambda d, r: ((None,), {}),
    "set_security_profile": lambda d, r: (("balanced",), {}),
    "list_namespaces": lambda d, r: ((), {}),
    "move_record": lambda d, r: ((r, "default"), {}),
    "import_json": lambda d, r: (("[]",), {}),
    "store_image": lambda d, r: (("/p.png", "a picture"), {}),
    "store_audio_transcript": lambda d, r: (("a transcript", "/a.wav"), {}),
    "process": lambda d, r: (("a processed text",), {}),
    "promotion_candidates": lambda d, r: ((), {}),
    "promotion_block_reason": lambda d, r: ((r,), {}),
    "promote_record": lambda d, r: ((r,), {}),
    "mark_record_salience": lambda d, r: ((r, 0.5), {}),
    "search": lambda d, r: ((), {}),
    "set_trust_config": lambda d, r: ((TrustConfig(),), {}),
    "recall": lambda d, r: (("memory",), {}),
    "recall_structured": lambda d, r: (("memory",), {}),
    "recall_provenance_ranked": lambda d, r: (("memory",), {}),
    "recall_full": lambda d, r: (("memory",), {}),
    "recall_structured_acl": lambda d, r: (("memory", "audit"), {"subject_id": "alice", "roles": ["ops"]}),
    "recall_with_applicability": lambda d, r: (("memory", {"os": ["linux"]}), {}),
    "recall_at": lambda d, r: (("memory", 1.0e12), {}),
    "recall_as_of": lambda d, r: (("memory", 1.0e12), {}),
    "explain_recall": lambda d, r: (("memory",), {}),
    "replay_recall": lambda d, r: (("mem_unknown",), {}),
    "history": lambda d, r: ((r,), {}),
    "end_session": lambda d, r: (("s1",), {}),
    "recall_hit_stats": lambda d, r: ((), {}),
    "reset_recall_hit_stats": lambda d, r: ((), {}),
    "set_recall_fusion_mode": lambda d, r: (("family",), {}),
    "enable_full_cognitive_stack": lambda d, r: ((), {}),
    "disable_full_cognitive_stack": lambda d, r: ((), {}),
    "set_belief_rerank_mode": lambda d, r: (("limited",), {}),
    "set_concept_surface_mode": lambda d, r: (("inspect",), {}),
    "set_causal_rerank_mode": lambda d, r: (("limited",), {}),
    "set_policy_rerank_mode": lambda d, r: (("limited",), {}),
    "set_embedding_fn": lambda d, r: ((None,), {}),
    "set_context_dates": lambda d, r: (("first_hand",), {}),
    "set_identity_block_enabled": lambda d, r: ((True,), {}),
    "clear_embedding_fn": lambda d, r: ((), {}),
    "store_embedding": lambda d, r: ((r, [0.5, 0.5]), {}),
    "has_embeddings": lambda d, r: ((), {}),
    "set_claim_rules_enabled": lambda d, r: ((False,), {}),
    "configure_maintenance": lambda d, r: ((MaintenanceConfig(),), {}),
    "run_maintenance": lambda d, r: ((), {}),
    "reflect": lambda d, r: ((), {}),
    "decay": lambda d, r: ((), {}),
    "insights": lambda d, r: ((), {"phase": 1}),
    "decay_by_route_state": lambda d, r: ((), {}),
    "get_maintenance_trend_summary": lambda d, r: ((), {}),
    "start_background": lambda d, r: ((), {}),
    "annotate_audit_entity": lambda d, r: ((r, "claim", "accepted"), {}),
    "set_audit_entity_status": lambda d, r: ((r, "accepted"), {}),
    "link_audit_entities": lambda d, r: ((r, r, "supports"), {}),
    "audit_graph": lambda d, r: ((), {}),
    "explain_decision": lambda d, r: ((r,), {}),
    "trace_claim_evidence": lambda d, r: ((r,), {}),
    "find_claim_conflicts": lambda d, r: ((r,), {}),
    "capture_outcome_receipt": lambda d, r: (("task", "lineage", "attempt", [r], [r], "helpful"), {}),
    "outcome_receipts": lambda d, r: ((), {}),
    "evaluate_applicability": lambda d, r: ((r, {"env": ["prod"]}), {}),
    "capture_consequence": lambda d, r: (("deploy", "ship", "outage"), {"trust": -1, "links": {r: "caused"}}),
    "record_world_fact": lambda d, r: (("deploy", "ship", "supports"), {}),
    "get_consequence_unit": lambda d, r: ((r,), {}),
    "explain_consequence_unit": lambda d, r: ((r,), {}),
    "get_consequence_units": lambda d, r: ((), {"query": "deploy"}),
    "consequence_verdict": lambda d, r: (("deploy", "ship"), {}),
    "should_abstain_on": lambda d, r: (("deploy", "ship"), {}),
    "policy_hint": lambda d, r: (("deploy", "ship"), {}),
    "build_context_capsule": lambda d, r: (("memory",), {}),
    "build_compacted_context_capsule": lambda d, r: (("memory",), {}),
    "export_json": lambda d, r: ((), {}),
    "export_context": lambda d, r: (("memory",), {}),
    "import_context": lambda d, r: (("{}",), {}),
    "get_correction_log": lambda d, r: ((), {}),
    "get_correction_log_for_target": lambda d, r: (("belief", r), {}),
    "start_retrieval_episode": lambda d, r: (("what happened", [r]), {}),
    "connect": lambda d, r: ((r, r), {}),
    "delete": lambda d, r: (("no-such-record",), {}),
    "purge_record": lambda d, r: (("no-such-record", "active"), {}),
    "suggest_memory_intent": lambda d, r: (("latest policy",), {}),
    "recall_cognitive": lambda d, r: (("memory",), {}),
    "recall_core_tier": lambda d, r: ((), {}),
    "get_belief_id_for_record": lambda d, r: ((r,), {}),
    "set_embedding_claim_threshold": lambda d, r: ((None,), {}),
    "get_contradiction_clusters": lambda d, r: ((), {"limit": 3}),
    "get_belief_instability_summary": lambda d, r: ((), {}),
    "get_high_volatility_beliefs": lambda d, r: ((), {"min_volatility": 0.1, "limit": 3}),
    "get_low_stability_beliefs": lambda d, r: ((), {"max_stability": 2.0}),
    "get_salience_summary": lambda d, r: ((), {}),
    "get_high_salience_records": lambda d, r: ((), {"min_salience": 0.0, "limit": 3}),
    "get_policy_pressure_report": lambda d, r: ((), {"namespace": "default", "limit": 3}),
    "get_policy_lifecycle_summary": lambda d, r: ((), {"action_limit": 2, "domain_limit": 2}),
    "get_reflection_summaries": lambda d, r: ((), {"limit": 0}),
    "get_reflection_digest": lambda d, r: ((), {"limit": 3}),
    "get_memory_health_digest": lambda d, r: ((), {"limit": 3}),
    "get_recently_corrected_beliefs": lambda d, r: ((), {"limit": 3}),
    "get_contradiction_review_queue": lambda d, r: ((), {"namespace": "default", "limit": 3}),
    "get_structural_relations": lambda d, r: ((), {}),
    "get_relations": lambda d, r: ((), {}),
    "get_structural_relations_for_record": lambda d, r: ((r,), {}),
    "get_relations_for_record": lambda d, r: ((r,), {}),
    "get_relation_digest": lambda d, r: ((r,), {}),
    "link_records": lambda d, r: ((r, "none_such", "peer_of"), {}),
    "get_entity_digest": lambda d, r: (("e1",), {}),
    "get_entity_digest_for_record": lambda d, r: ((r,), {}),
    "get_family_graph": lambda d, r: ((), {}),
    "get_family_graph_for_record": lambda d, r: ((r,), {}),
    "get_person_digest": lambda d, r: ((r,), {}),
    "store_family_person": lambda d, r: (("family.sister", "my sister Anna"), {}),
    "store_user_profile": lambda d, r: (({"name": "Ada"},), {}),
    "get_user_profile": lambda d, r: ((), {}),
    "set_persona": lambda d, r: ((AgentPersona(),), {}),
    "get_persona": lambda d, r: ((), {}),
    "get_entity_graph_digest": lambda d, r: (("e1",), {}),
    "get_entity_graph_digest_for_record": lambda d, r: ((r,), {}),
    "get_entity_graph_neighbors": lambda d, r: (("e1",), {}),
    "get_entity_relations": lambda d, r: (("e1",), {}),
    "link_entities": lambda d, r: (("e1", "e2", "peer_of"), {}),
    "start_research": lambda d, r: (("topic",), {"depth": "quick"}),
    "add_research_finding": lambda d, r: (("no-project", "q", "r"), {"url": "https://example.org"}),
    "add_research_evidence_finding": lambda d, r: (
        ("no-project", "q", "r", "doc", "rev", "https://example.org", b"abcdef", 0, 3),
        {"verification_status": "verified", "answer_permission": "cite", "page_start": 1, "page_end": 1},
    ),
    "complete_research": lambda d, r: (("no-project",), {"synthesis": "s"}),
    "store_project_note": lambda d, r: (("no-project", "note"), {}),
    "store_project_task": lambda d, r: (("no-project", "task"), {"due_date": "2030-01-01"}),
    "store_project_todo": lambda d, r: (("no-project", "todo"), {"metadata": {"priority": "high"}}),
    "get_project_graph": lambda d, r: (("no-project",), {}),
    "get_project_graph_for_record": lambda d, r: ((r,), {}),
    "get_project_status": lambda d, r: (("no-project",), {}),
    "get_project_status_for_record": lambda d, r: ((r,), {}),
    "get_project_timeline": lambda d, r: (("no-project",), {}),
    "get_project_timeline_for_record": lambda d, r: ((r,), {}),
    "get_project_digest": lambda d, r: (("no-project",), {}),
    "get_project_digest_for_record": lambda d, r: ((r,), {}),
    "set_outcome_classifier": lambda d, r: ((None,), {}),
    "get_credibility": lambda d, r: (("https://example.org/",), {}),
    "set_credibility_override": lambda d, r: (("example.org", 0.5), {}),
    "generate_container_signing_key": lambda d, r: ((), {}),
    "inspect_container": lambda d, r: ((str(d / "none.vskc"),), {}),
    "verify_container": lambda d, r: ((str(d / "none.vskc"),), {}),
    "import_container": lambda d, r: ((str(d / "none.vskc"), str(d / "target")), {}),
    "export_container": lambda d, r: ((str(d / "out.vskc"),), {}),
    "export_signed_container": lambda d, r: ((str(d / "signed.vskc"), "0" * 64), {}),
    "append_container": lambda d, r: ((str(d / "none.vskc"),), {}),
    "append_signed_container": lambda d, r: ((str(d / "none.vskc"), "0" * 64), {}),
    "verify_container_authenticity": lambda d, r: ((str(d / "none.vskc"),), {}),
    "append_container_with_retention": lambda d, r: ((str(d / "none.vskc"),), {"max_generations": 2}),
    "append_signed_container_with_retention": lambda d, r: ((str(d / "none.vskc"), "0" * 64), {"max_generations": 2}),
    "hold_container_generation": lambda d, r: ((str(d / "none.vskc"), 1, "keep"), {}),
    "hold_signed_container_generation": lambda d, r: ((str(d / "none.vskc"), 1, "keep", "0" * 64), {}),
    "release_container_generation_hold": lambda d, r: ((str(d / "none.vskc"), 1), {}),
    "release_signed_container_generation_hold": lambda d, r: ((str(d / "none.vskc"), 1, "0" * 64), {}),
    "plan_container_retention": lambda d, r: ((str(d / "none.vskc"),), {"max_generations": 2}),
    "apply_container_retention": lambda d, r: ((str(d / "none.vskc"),), {"max_generations": 2}),
    "compact_container": lambda d, r: ((str(d / "none.vskc"), 1), {}),
    "update_container_authenticity_checkpoint": lambda d, r: ((str(d / "none.vskc"), str(d / "cp.json"), "0" * 64), {}),
    "verify_container_authenticity_checkpoint": lambda d, r: ((str(d / "none.vskc"), str(d / "cp.json")), {}),
    "start_container_retention_scheduler": lambda d, r: ((str(d / "none.vskc"), 1), {"max_generations": 2}),
    "stop_container_retention_scheduler": lambda d, r: ((), {}),
    "container_retention_scheduler_status": lambda d, r: ((), {}),
    "update": lambda d, r: ((r,), {"strength": 0.5}),
    "supersede": lambda d, r: (("none_such", "a newer memory"), {}),
    "superseded_by": lambda d, r: ((r,), {}),
    "version_chain": lambda d, r: ((r,), {}),
    "set_temporal_validity": lambda d, r: ((r,), {}),
    "feedback": lambda d, r: ((r, True), {}),
    "feedback_stats": lambda d, r: ((r,), {}),
    "list_container_generations": lambda d, r: ((str(d / "none.vskc"),), {}),
    "inspect_container_generation": lambda d, r: ((str(d / "none.vskc"), 1), {}),
    "verify_container_generation": lambda d, r: ((str(d / "none.vskc"), 1), {}),
    "diff_container_generations": lambda d, r: ((str(d / "none.vskc"), 1, 2), {}),
    "verify_container_segments": lambda d, r: ((str(d / "none.vskc"), ["a"]), {}),
    "read_container_segment": lambda d, r: ((str(d / "none.vskc"), "a"), {}),
    "read_container_segment_at_generation": lambda d, r: ((str(d / "none.vskc"), 1, "a"), {}),
    "import_container_generation": lambda d, r: ((str(d / "none.vskc"), str(d / "target"), 1), {}),
    "extract_container_segments": lambda d, r: ((str(d / "none.vskc"), str(d / "target"), ["a"]), {}),
    "import_authenticated_container": lambda d, r: ((str(d / "none.vskc"), str(d / "target"), "0" * 64), {}),
    "cross_namespace_digest": lambda d, r: ((), {}),
    "stats": lambda d, r: ((), {}),
    "tier_stats": lambda d, r: ((), {}),
    "namespace_stats": lambda d, r: ((), {}),
    "security_report": lambda d, r: ((), {}),
    "record_tool_failure": lambda d, r: (("tool",), {}),
    "record_tool_success": lambda d, r: (("tool",), {}),
    "is_tool_available": lambda d, r: (("tool",), {}),
    "tool_health": lambda d, r: ((), {}),
    "deprecate_belief": lambda d, r: (("b1",), {}),
    "deprecate_belief_with_reason": lambda d, r: (("b1", "why"), {}),
    "retract_policy_hint": lambda d, r: (("h1",), {}),
    "retract_policy_hint_with_reason": lambda d, r: (("h1", "why"), {}),
    "invalidate_causal_pattern": lambda d, r: (("p1",), {}),
    "invalidate_causal_pattern_with_reason": lambda d, r: (("p1", "why"), {}),
    "retract_causal_pattern": lambda d, r: (("p1",), {}),
    "retract_causal_pattern_with_reason": lambda d, r: (("p1", "why"), {}),
}
# Calls that end the store: looked at on a store of their own.
ENDING = {"close": lambda d, r: ((), {}), "__exit__": lambda d, r: ((None, None, None), {})}


def test_every_present_method_has_a_sample_call():
    assert sorted(set(PRESENT) - set(SAMPLES) - set(ENDING)) == []


class _Watcher:
    """Tells whether another Python thread ran while a call was inside.

    A second thread spins in Python and notes every moment it sees the mark
    set. The mark is set, the call made and the mark cleared by C callables
    driven from C (list(map(...))), so no Python code of this thread runs
    in between: with the collector off, the spinning thread can run while
    the mark is set only if the call let go of the interpreter lock. A tiny
    switch interval makes the waiting thread ask for the lock at once, so a
    call that lets go of it must hand it over before going on.
    """

    def __init__(self):
        self.mark, self.seen, self.stop = [], [], False
        self.thread = threading.Thread(target=self._spin, daemon=True)

    def _spin(self):
        mark, seen = self.mark, self.seen
        while not self.stop:
            if mark:
                seen.append(True)

    def __enter__(self):
        self.interval = sys.getswitchinterval()
        sys.setswitchinterval(1e-6)
        gc.disable()
        self.thread.start()
        return self

    def __exit__(self, *exc):
        self.stop = True
        self.thread.join()
        gc.enable()
        sys.setswitchinterval(self.interval)

    def ran_inside(self, call, attempts):
        """True when the other thread ran inside one of `attempts` calls."""
        # The pause (in C) outlasts the switch interval, so the spinning
        # thread has asked for the lock by the time the call begins.
        pause = functools.partial(sum, range(50_000))
        steps = [functools.partial(self.mark.append, 1), pause, call, self.mark.clear]
        for _ in range(attempts):
            self.seen.clear()
            try:
                list(map(operator.call, steps))
            except Exception:
                # The handler's first call clears the mark: the failed call
                # reaches no point where the other thread could run first.
                self.mark.clear()
            if self.seen:
                return True
        return False


def _check_lock(store, directory, record_id, name, make):
    args, kwargs = make(directory, record_id)
    owner = Vesk if isinstance(inspect.getattr_static(Vesk, name), staticmethod) else store
    call = functools.partial(getattr(owner, name), *args, **kwargs)
    released = ROWS[name][2] == "released"
    with _Watcher() as watcher:
        assert watcher.ran_inside(call, 20 if released else 5) == released, name


def test_lock_of_each_present_method(tmp_path):
    with Vesk(str(tmp_path / "store")) as store:
        record_id = store.store("a memory to look at")
        for name in PRESENT:
            if name in SAMPLES:
                _check_lock(store, tmp_path, record_id, name, SAMPLES[name])


@pytest.mark.parametrize("name", sorted(ENDING))
def test_lock_of_the_closing_methods(tmp_path, name):
    store = Vesk(str(tmp_path / "store"))
    _check_lock(store, tmp_path, "", name, ENDING[name])
    store.close()
