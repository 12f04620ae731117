// Value classes of the module: read-only results with one attribute per
// member of their C++ struct, in member order, no constructor
// (binding/native.h, ValueClass). Every read of an attribute converts a copy
// of that member alone, so a nested value or a list is new on each read.
// Including this header lets a body return these C++ types directly.
//
// The tables live beside their family: maintenance_values.cc (the report, its
// phases and accounting), reflection_values.cc (reflection and trends),
// startup_values.cc (startup report and manifest), governance_values.cc,
// surfaced_values.cc, relation_values.cc, project_values.cc and
// consequence_values.cc. RetrievalEpisode, a live object rather than a value,
// has its own header (retrieval_episode_class.h).
//
// FeedbackAuditReport, FeedbackAuditEntry, ConceptSurfaceTelemetry and
// MaintenanceHotspots are never registered in the module: their class
// objects are built when the first instance is handed out.
#pragma once

#include "audit/consequence_policy_hint.h"
#include "audit/consequence_unit.h"
#include "audit/outcome_receipt.h"
#include "binding/native.h"
#include "cognitive/maintenance_trend_snapshot.h"
#include "cognitive/persistence_manifest.h"
#include "cognitive/reflection_summary.h"
#include "cognitive/startup_validation.h"
#include "cognitive/surfaced_concept.h"
#include "cognitive/surfaced_policy_hint.h"
#include "entities/entity_graph.h"
#include "entities/family_graph.h"
#include "entities/neighbor_mass.h"
#include "entities/project_digest.h"
#include "entities/relation_views.h"
#include "maintenance/maintenance_report.h"
#include "reports/belief_instability.h"
#include "reports/memory_health_digest.h"
#include "reports/policy_governance.h"
#include "reports/reflection_digest.h"
#include "reports/salience_summary.h"

namespace vesk::py {

// The maintenance report and its nested values.
template <> struct NativeClass<MaintenanceReport> { static ClassObject& object(); };
template <> struct NativeClass<DecayReport> { static ClassObject& object(); };
template <> struct NativeClass<ReflectReport> { static ClassObject& object(); };
template <> struct NativeClass<EpistemicPhaseReport> { static ClassObject& object(); };
template <> struct NativeClass<BeliefPhaseReport> { static ClassObject& object(); };
template <> struct NativeClass<ConceptPhaseReport> { static ClassObject& object(); };
template <> struct NativeClass<CausalPhaseReport> { static ClassObject& object(); };
template <> struct NativeClass<PolicyPhaseReport> { static ClassObject& object(); };
template <> struct NativeClass<ConsolidationReport> { static ClassObject& object(); };
template <> struct NativeClass<FeedbackAuditReport> { static ClassObject& object(); };
template <> struct NativeClass<FeedbackAuditEntry> { static ClassObject& object(); };
template <> struct NativeClass<PhaseTimings> { static ClassObject& object(); };
template <> struct NativeClass<LayerStability> { static ClassObject& object(); };
template <> struct NativeClass<ConceptSurfaceTelemetry> { static ClassObject& object(); };
template <> struct NativeClass<MaintenanceHotspots> { static ClassObject& object(); };

// Reflection summaries and maintenance trends.
template <> struct NativeClass<ReflectionSummary> { static ClassObject& object(); };
template <> struct NativeClass<ReflectionJobReport> { static ClassObject& object(); };
template <> struct NativeClass<ReflectionFinding> { static ClassObject& object(); };
template <> struct NativeClass<ReflectionDigest> { static ClassObject& object(); };
template <> struct NativeClass<ReflectionKindSummary> { static ClassObject& object(); };
template <> struct NativeClass<MaintenanceTrendSnapshot> { static ClassObject& object(); };
template <> struct NativeClass<MaintenanceTrendSummary> { static ClassObject& object(); };

// What the open found.
template <> struct NativeClass<StartupValidationEvent> { static ClassObject& object(); };
template <> struct NativeClass<StartupValidationReport> { static ClassObject& object(); };
template <> struct NativeClass<PersistenceManifest> { static ClassObject& object(); };

// Governance and health reports.
template <> struct NativeClass<PolicyPressureArea> { static ClassObject& object(); };
template <> struct NativeClass<PolicyLifecycleSummary> { static ClassObject& object(); };
template <> struct NativeClass<PolicyActionSummary> { static ClassObject& object(); };
template <> struct NativeClass<PolicyDomainSummary> { static ClassObject& object(); };
template <> struct NativeClass<ContradictionCluster> { static ClassObject& object(); };
template <> struct NativeClass<BeliefInstabilitySummary> { static ClassObject& object(); };
template <> struct NativeClass<BeliefVolatilityBands> { static ClassObject& object(); };
template <> struct NativeClass<SalienceSummary> { static ClassObject& object(); };
template <> struct NativeClass<SalienceBands> { static ClassObject& object(); };
template <> struct NativeClass<MemoryHealthDigest> { static ClassObject& object(); };
template <> struct NativeClass<OperatorReviewIssue> { static ClassObject& object(); };

// Surfaced concepts and policy hints.
template <> struct NativeClass<SurfacedConcept> { static ClassObject& object(); };
template <> struct NativeClass<SurfacedPolicyHint> { static ClassObject& object(); };

// Relations, entities and family graphs.
template <> struct NativeClass<RelationEdge> { static ClassObject& object(); };
template <> struct NativeClass<RelationDigest> { static ClassObject& object(); };
template <> struct NativeClass<StructuralRelation> { static ClassObject& object(); };
template <> struct NativeClass<EntityDigest> { static ClassObject& object(); };
template <> struct NativeClass<EntityRelationEdge> { static ClassObject& object(); };
template <> struct NativeClass<EntityGraphNeighbor> { static ClassObject& object(); };
template <> struct NativeClass<EntityGraphDigest> { static ClassObject& object(); };
template <> struct NativeClass<PersonDigest> { static ClassObject& object(); };
template <> struct NativeClass<FamilyGraphSnapshot> { static ClassObject& object(); };
template <> struct NativeClass<FamilyRelationMember> { static ClassObject& object(); };

// Project digests.
template <> struct NativeClass<ProjectDigest> { static ClassObject& object(); };
template <> struct NativeClass<ProjectGraphSnapshot> { static ClassObject& object(); };
template <> struct NativeClass<ProjectStatusSnapshot> { static ClassObject& object(); };
template <> struct NativeClass<ProjectTimelineSnapshot> { static ClassObject& object(); };
template <> struct NativeClass<ProjectTimelineEntry> { static ClassObject& object(); };

// Consequences, outcome receipts and neighbour-mass footprints: registered
// and documented, though no operation hands one out.
template <> struct NativeClass<ConsequenceUnit> { static ClassObject& object(); };
template <> struct NativeClass<ConsequencePolicyHint> { static ClassObject& object(); };
template <> struct NativeClass<OutcomeReceipt> { static ClassObject& object(); };
template <> struct NativeClass<CandidateOutcomeVerdict> { static ClassObject& object(); };
template <> struct NativeClass<OutcomeEvaluationEvidence> { static ClassObject& object(); };
template <> struct NativeClass<NeighborMassFootprint> { static ClassObject& object(); };

}  // namespace vesk::py
