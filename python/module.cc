// Entry point of the extension module vesk._core.
//
// Importing the module creates it once per process and registers its
// classes and functions in a fixed order, each name appended to __all__.
// The module lives in one interpreter only: its objects and the stores they
// hold are process-wide, so a second interpreter of the process is refused.
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <atomic>
#include <cstdint>

#include "binding/call.h"
#include "binding/classes.h"
#include "config_classes.h"
#include "enum_classes.h"
#include "functions.h"
#include "record_class.h"
#include "retrieval_episode_class.h"
#include "value_classes.h"
#include "vesk_object.h"
#include "model/version.h"

namespace vesk::py {
namespace {

// Per-module state size 0 (none) rather than -1: the host then calls the
// entry point on every import instead of copying the first module's dict,
// which lets re-imports return the one module and refusals reach other
// interpreters.
PyModuleDef core_module_def = {PyModuleDef_HEAD_INIT, "_core", "", 0, nullptr, nullptr, nullptr, nullptr, nullptr};

// The interpreter that first imported the module; -1 until then. Never cleared.
std::atomic<int64_t> owning_interpreter{-1};
// The module once initialised; written under the interpreter lock.
PyObject* module_cell = nullptr;

// One registration: a class or a module function, in __all__ order.
struct Registration {
  ClassObject* cls;
  PyMethodDef* function;
};

// The class objects are made here, at load, without touching the host; the
// host builds them when the initialiser first asks. FeedbackAuditReport,
// FeedbackAuditEntry, ConceptSurfaceTelemetry, MaintenanceHotspots and
// CompletedArchivalRule are never registered: Python code meets them only as
// attribute values.
const Registration kRegistrations[] = {
    {&vesk_class(), nullptr},
    {&NativeClass<ConsequencePolarity>::object(), nullptr},
    {&NativeClass<ConsequenceUnit>::object(), nullptr},
    {&NativeClass<ConsequencePolicyHint>::object(), nullptr},
    {&NativeClass<OutcomeKind>::object(), nullptr},
    {&NativeClass<OutcomeReceipt>::object(), nullptr},
    {&NativeClass<CandidateOutcomeVerdict>::object(), nullptr},
    {&NativeClass<OutcomeEvaluationEvidence>::object(), nullptr},
    {&NativeClass<Level>::object(), nullptr},
    {&NativeClass<Record>::object(), nullptr},
    {&NativeClass<RouteStateClass>::object(), nullptr},
    {&NativeClass<EpisodeCell>::object(), nullptr},
    {&NativeClass<NeighborMassFootprint>::object(), nullptr},
    {nullptr, &neighbor_mass_role_similarity_def},
    {&NativeClass<CausalEdgeKind>::object(), nullptr},
    {nullptr, &classify_causal_edge_def},
    {nullptr, &world_fact_from_output_def},
    {&NativeClass<TagTaxonomy>::object(), nullptr},
    {&NativeClass<TrustConfig>::object(), nullptr},
    {&NativeClass<MaintenanceConfig>::object(), nullptr},
    {&NativeClass<MaintenanceReport>::object(), nullptr},
    {&NativeClass<ArchivalRule>::object(), nullptr},
    {&NativeClass<DecayReport>::object(), nullptr},
    {&NativeClass<ReflectReport>::object(), nullptr},
    {&NativeClass<ConsolidationReport>::object(), nullptr},
    {&NativeClass<EpistemicPhaseReport>::object(), nullptr},
    {&NativeClass<BeliefPhaseReport>::object(), nullptr},
    {&NativeClass<ConceptPhaseReport>::object(), nullptr},
    {&NativeClass<CausalPhaseReport>::object(), nullptr},
    {&NativeClass<PolicyPhaseReport>::object(), nullptr},
    {&NativeClass<MaintenanceTrendSnapshot>::object(), nullptr},
    {&NativeClass<MaintenanceTrendSummary>::object(), nullptr},
    {&NativeClass<ReflectionFinding>::object(), nullptr},
    {&NativeClass<ReflectionJobReport>::object(), nullptr},
    {&NativeClass<ReflectionKindSummary>::object(), nullptr},
    {&NativeClass<ReflectionDigest>::object(), nullptr},
    {&NativeClass<ReflectionSummary>::object(), nullptr},
    {&NativeClass<PhaseTimings>::object(), nullptr},
    {&NativeClass<LayerStability>::object(), nullptr},
    {&NativeClass<PersistenceManifest>::object(), nullptr},
    {&NativeClass<StartupValidationEvent>::object(), nullptr},
    {&NativeClass<StartupValidationReport>::object(), nullptr},
    {&NativeClass<OperatorReviewIssue>::object(), nullptr},
    {&NativeClass<MemoryHealthDigest>::object(), nullptr},
    {&NativeClass<SalienceBands>::object(), nullptr},
    {&NativeClass<SalienceSummary>::object(), nullptr},
    {&NativeClass<BeliefVolatilityBands>::object(), nullptr},
    {&NativeClass<BeliefInstabilitySummary>::object(), nullptr},
    {&NativeClass<ContradictionCluster>::object(), nullptr},
    {&NativeClass<PolicyActionSummary>::object(), nullptr},
    {&NativeClass<PolicyDomainSummary>::object(), nullptr},
    {&NativeClass<PolicyPressureArea>::object(), nullptr},
    {&NativeClass<PolicyLifecycleSummary>::object(), nullptr},
    {&NativeClass<SurfacedConcept>::object(), nullptr},
    {&NativeClass<SurfacedPolicyHint>::object(), nullptr},
    {&NativeClass<StructuralRelation>::object(), nullptr},
    {&NativeClass<RelationEdge>::object(), nullptr},
    {&NativeClass<RelationDigest>::object(), nullptr},
    {&NativeClass<EntityDigest>::object(), nullptr},
    {&NativeClass<EntityRelationEdge>::object(), nullptr},
    {&NativeClass<EntityGraphNeighbor>::object(), nullptr},
    {&NativeClass<EntityGraphDigest>::object(), nullptr},
    {&NativeClass<FamilyRelationMember>::object(), nullptr},
    {&NativeClass<FamilyGraphSnapshot>::object(), nullptr},
    {&NativeClass<PersonDigest>::object(), nullptr},
    {&NativeClass<ProjectGraphSnapshot>::object(), nullptr},
    {&NativeClass<ProjectStatusSnapshot>::object(), nullptr},
    {&NativeClass<ProjectTimelineEntry>::object(), nullptr},
    {&NativeClass<ProjectTimelineSnapshot>::object(), nullptr},
    {&NativeClass<ProjectDigest>::object(), nullptr},
    {&NativeClass<AgentPersona>::object(), nullptr},
    {&NativeClass<PersonaTraits>::object(), nullptr},
    {&NativeClass<CircuitBreakerConfig>::object(), nullptr},
};

int init_core_module(PyObject* module) {
  for (const Registration& r : kRegistrations) {
    int rc = r.cls ? register_class(module, r.cls->get()) : register_function(module, r.function);
    if (rc < 0) return -1;
  }
  return PyModule_AddStringConstant(module, "__version__", vesk::version());
}

PyObject* create_core_module() {
  int64_t id = PyInterpreterState_GetID(PyInterpreterState_Get());
  if (id < 0) return nullptr;
  int64_t expected = -1;
  if (!owning_interpreter.compare_exchange_strong(expected, id) && expected != id) {
    PyErr_SetString(PyExc_ImportError,
                    "vesk._core does not support sub-interpreters yet: import it in the main interpreter only");
    return nullptr;
  }
  if (module_cell) return Py_NewRef(module_cell);

  PyRef module = PyRef::steal(PyModule_Create(&core_module_def));
  if (!module || init_core_module(module.get()) < 0) return nullptr;
  if (module_cell) return Py_NewRef(module_cell);  // another import finished first
  module_cell = Py_NewRef(module.get());
  return module.release();
}

}  // namespace
}  // namespace vesk::py

PyMODINIT_FUNC PyInit__core(void) { return vesk::py::call_frame(vesk::py::create_core_module); }
