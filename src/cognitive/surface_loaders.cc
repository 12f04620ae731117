#include "cognitive/surface_loaders.h"

#include <utility>

#include "cognitive/belief_store_format.h"
#include "cognitive/causal_store_format.h"
#include "cognitive/concept_store_format.h"
#include "cognitive/history_file_load.h"
#include "cognitive/layer_file_load.h"
#include "cognitive/policy_store_format.h"
#include "cognitive/topology_format.h"

namespace vesk {

namespace {

using EmptyFile = LayerFile::EmptyFile;

constexpr LayerFile kBeliefFile{"belief", kBeliefStoreFile,
                                "belief store missing; started with empty belief engine",
                                "belief store file was empty; started with empty belief engine", "beliefs",
                                EmptyFile::kFallback};
constexpr LayerFile kConceptFile{"concept", kConceptStoreFile,
                                 "concept store missing; started with empty concept engine",
                                 "concept store file was empty; started with empty concept engine", "concepts",
                                 EmptyFile::kFallback};
constexpr LayerFile kCausalFile{"causal", kCausalStoreFile, "causal store missing; started with empty causal engine",
                                "", "causal patterns", EmptyFile::kParse};
constexpr LayerFile kPolicyFile{"policy", kPolicyStoreFile, "policy store missing; started with empty policy engine",
                                "", "policy hints", EmptyFile::kParse};

constexpr HistoryFile kTrendsFile{"maintenance_trends", kMaintenanceTrendsFile,
                                  "maintenance trend history missing; started with empty trend history",
                                  "maintenance trend history file was empty", "maintenance trend snapshots"};
constexpr HistoryFile kReflectionFile{"reflection_summaries", kReflectionSummariesFile,
                                      "reflection summary history missing; started with empty reflection history",
                                      "reflection summary history file was empty", "reflection summaries"};
constexpr HistoryFile kRecallReplayHistory{"recall_replay", kRecallReplayFile,
                                           "recall replay history missing; started with empty history", "",
                                           "recall replay baselines"};

// The numbers the "loaded" events report.
uint64_t belief_count(const BeliefEngine& e) { return e.beliefs.size(); }
uint64_t concept_count(const ConceptEngine& e) { return e.concepts.size(); }
uint64_t causal_pattern_count(const CausalEngine& e) { return e.patterns.size(); }
uint64_t policy_hint_count(const PolicyEngine& e) { return e.hints.size(); }

}  // namespace

BeliefEngine load_belief_store(const PersistenceTarget& target, const fs::path& path,
                               std::vector<StartupValidationEvent>& events, Env& env) {
  return load_layer_file(target, path, kBeliefFile, &parse_belief_engine, &belief_count, events, env);
}

ConceptEngine load_concept_store(const PersistenceTarget& target, const fs::path& path,
                                 std::vector<StartupValidationEvent>& events, Env& env) {
  return load_layer_file(target, path, kConceptFile, &parse_concept_engine, &concept_count, events, env);
}

CausalEngine load_causal_store(const PersistenceTarget& target, const fs::path& path,
                               std::vector<StartupValidationEvent>& events, Env& env) {
  return load_layer_file(target, path, kCausalFile, &parse_causal_engine, &causal_pattern_count, events, env);
}

PolicyEngine load_policy_store(const PersistenceTarget& target, const fs::path& path,
                               std::vector<StartupValidationEvent>& events, Env& env) {
  return load_layer_file(target, path, kPolicyFile, &parse_policy_engine, &policy_hint_count, events, env);
}

Result<Topology> load_topology(const PersistenceTarget& target, Env& env) {
  return load_quiet_layer_file(target, kTopologyFile, "topology", &parse_topology, env);
}

Topology topology_or_default(Result<Topology> loaded) {
  if (!loaded.ok()) return Topology{};
  return std::move(loaded).value();
}

std::vector<MaintenanceTrendSnapshot> load_maintenance_trends(const fs::path& dir, const SecretKey* key,
                                                              std::vector<StartupValidationEvent>& events, Env& env) {
  return load_history_file(dir, key, kTrendsFile, &parse_maintenance_trends, events, env);
}

std::vector<ReflectionSummary> load_reflection_summaries(const fs::path& dir, const SecretKey* key,
                                                         std::vector<StartupValidationEvent>& events, Env& env) {
  return load_history_file(dir, key, kReflectionFile, &parse_reflection_summaries, events, env);
}

std::vector<RecallReplayBaseline> load_recall_replay(const fs::path& dir, const SecretKey* key,
                                                     std::vector<StartupValidationEvent>& events, Env& env) {
  return load_recall_replay_file(dir, key, kRecallReplayHistory, &parse_recall_replay, kRecallReplayLimit, events,
                                 env);
}

}  // namespace vesk
