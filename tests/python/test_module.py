import importlib
import subprocess
import sys
import textwrap

import vesk._core as m

# Every public name of the module, in registration order.
TABLE = """
Vesk ConsequencePolarity ConsequenceUnit ConsequencePolicyHint OutcomeKind OutcomeReceipt
CandidateOutcomeVerdict OutcomeEvaluationEvidence Level Record RouteStateClass RetrievalEpisode
NeighborMassFootprint neighbor_mass_role_similarity CausalEdgeKind classify_causal_edge
world_fact_from_output TagTaxonomy TrustConfig MaintenanceConfig MaintenanceReport ArchivalRule
DecayReport ReflectReport ConsolidationReport EpistemicPhaseReport BeliefPhaseReport
ConceptPhaseReport CausalPhaseReport PolicyPhaseReport MaintenanceTrendSnapshot
MaintenanceTrendSummary ReflectionFinding ReflectionJobReport ReflectionKindSummary
ReflectionDigest ReflectionSummary PhaseTimings LayerStability PersistenceManifest
StartupValidationEvent StartupValidationReport OperatorReviewIssue MemoryHealthDigest
SalienceBands SalienceSummary BeliefVolatilityBands BeliefInstabilitySummary ContradictionCluster
PolicyActionSummary PolicyDomainSummary PolicyPressureArea PolicyLifecycleSummary SurfacedConcept
SurfacedPolicyHint StructuralRelation RelationEdge RelationDigest EntityDigest EntityRelationEdge
EntityGraphNeighbor EntityGraphDigest FamilyRelationMember FamilyGraphSnapshot PersonDigest
ProjectGraphSnapshot ProjectStatusSnapshot ProjectTimelineEntry ProjectTimelineSnapshot
ProjectDigest AgentPersona PersonaTraits CircuitBreakerConfig
""".split()

# Classes whose instances are handed out as attribute values, never named by
# the module.
UNREGISTERED = ["CompletedArchivalRule", "FeedbackAuditReport", "FeedbackAuditEntry", "MaintenanceHotspots",
                "ConceptSurfaceTelemetry"]


def test_all_lists_every_registered_name_in_order():
    assert len(TABLE) == 73
    assert m.__all__ == TABLE
    for name in m.__all__:
        assert getattr(m, name).__module__ == "vesk._core"
    assert m.__name__ == "vesk._core" and m.__doc__ == ""
    for name in UNREGISTERED:
        assert not hasattr(m, name) and name not in m.__all__


def test_unregistered_class_is_handed_out_but_not_named():
    rule = m.MaintenanceConfig().completed_archival_rules[0]
    assert type(rule).__name__ == "CompletedArchivalRule" and type(rule).__module__ == "vesk._core"


def test_reimport_returns_the_same_module():
    first = sys.modules.pop("vesk._core")
    try:
        again = importlib.import_module("vesk._core")
        assert again is first
        assert again.__all__ is first.__all__  # the initialiser did not run twice
    finally:
        sys.modules["vesk._core"] = first


# Runs in a fresh process: imports the module, then tries it from a second
# interpreter configured to share the process's extension modules, so the
# module's own refusal is what answers.
SUBINTERPRETER_SCRIPT = textwrap.dedent(
    """
    import sys
    import vesk._core
    code = "import vesk._core"
    try:
        import _interpreters as interpreters  # 3.13
        iid = interpreters.create("legacy")
        failure = interpreters.exec(iid, code)
        outcome = "ok" if failure is None else f"{failure.type.__name__}: {failure.msg}"
    except ImportError:
        import _xxsubinterpreters as interpreters  # 3.11, 3.12
        try:
            iid = interpreters.create(isolated=False)
        except TypeError:
            iid = interpreters.create()
        try:
            interpreters.run_string(iid, code)
            outcome = "ok"
        except interpreters.RunFailedError as e:
            outcome = str(e)
    interpreters.destroy(iid)
    print(outcome)
    print(vesk._core.classify_causal_edge(3, 4, 2.0))
    """
)


def test_second_interpreter_is_refused():
    run = subprocess.run([sys.executable, "-c", SUBINTERPRETER_SCRIPT], capture_output=True, text=True, timeout=60)
    assert run.returncode == 0, run.stderr
    outcome, main_still_works = run.stdout.splitlines()[-2:]
    assert "ImportError" in outcome and "sub-interpreters" in outcome, outcome
    assert main_still_works == "precedes"


def test_every_store_method_shows_its_signature():
    import inspect
    names = [n for n in dir(m.Vesk) if not n.startswith("__") or n in ("__enter__", "__exit__")]
    methods = [n for n in names if callable(getattr(m.Vesk, n))]
    assert {"store", "recall", "recall_structured", "close"} <= set(methods)
    for name in methods:
        params = list(inspect.signature(getattr(m.Vesk, name)).parameters)
        # Static methods work on paths alone: nothing is bound, no self.
        is_static = isinstance(inspect.getattr_static(m.Vesk, name), staticmethod)
        assert is_static or params[0] == "self", name
        assert not (is_static and params[:1] == ["self"]), name
    assert list(inspect.signature(m.Vesk.recall).parameters)[1:3] == ["query", "token_budget"]
