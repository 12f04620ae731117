#include "config_classes.h"

#include <cstdint>
#include <string>
#include <utility>

namespace vesk::py {
namespace {

// The settings a new store starts from, so that a configuration object made
// in Python without arguments equals the store's own.
template <class T>
T default_value() {
  return T{};
}

constexpr char kTagTaxonomyDoc[] =
    "TagTaxonomy()\n--\n\n"
    "User-configurable tag classification.\n"
    "\n"
    "All maintenance phases reference `taxonomy` instead of hardcoded constants.\n"
    "Ships with sensible defaults; user overrides via `brain.set_taxonomy()`.";
constexpr Method kNewTagTaxonomy{"TagTaxonomy", kTagTaxonomyDoc, tag_taxonomy_default};

constexpr char kTrustConfigDoc[] = "TrustConfig()\n--\n\nUser-configurable trust scoring model.";
constexpr Method kNewTrustConfig{"TrustConfig", kTrustConfigDoc, trust_config_default};

constexpr char kMaintenanceConfigDoc[] = "MaintenanceConfig()\n--\n\nUser-configurable maintenance settings.";
constexpr Method kNewMaintenanceConfig{"MaintenanceConfig", kMaintenanceConfigDoc, maintenance_config_default};

constexpr char kArchivalRuleDoc[] =
    "ArchivalRule(tag, max_age_days, keep_recent)\n--\n\nConfigurable archival rule for a tag category.";
ArchivalRule new_archival_rule(std::string tag, uint32_t max_age_days, uint64_t keep_recent) {
  return {std::move(tag), max_age_days, keep_recent};
}
constexpr Method kNewArchivalRule{"ArchivalRule", kArchivalRuleDoc, new_archival_rule};

constexpr char kCompletedArchivalRuleDoc[] =
    "CompletedArchivalRule(tag, max_age_days)\n--\n\n"
    "Completed archival rule \u2014 only deletes completed/done items.";
CompletedArchivalRule new_completed_archival_rule(std::string tag, uint32_t max_age_days) {
  return {std::move(tag), max_age_days};
}
constexpr Method kNewCompletedArchivalRule{"CompletedArchivalRule", kCompletedArchivalRuleDoc,
                                           new_completed_archival_rule};

constexpr char kCircuitBreakerConfigDoc[] = "CircuitBreakerConfig()\n--\n\nPer-tool circuit breaker configuration.";
constexpr Method kNewCircuitBreakerConfig{"CircuitBreakerConfig", kCircuitBreakerConfigDoc,
                                          default_value<CircuitBreakerConfig>};

constexpr char kPersonaTraitsDoc[] = "PersonaTraits()\n--\n\nAgent persona trait values (0.0-1.0).";
constexpr Method kNewPersonaTraits{"PersonaTraits", kPersonaTraitsDoc, default_value<PersonaTraits>};

constexpr char kAgentPersonaDoc[] = "AgentPersona()\n--\n\nAgent persona configuration.";
constexpr Method kNewAgentPersona{"AgentPersona", kAgentPersonaDoc, default_value<AgentPersona>};

}  // namespace

ClassObject& NativeClass<TagTaxonomy>::object() {
  using T = TagTaxonomy;
  static ConfigClass<T> cls{
      "vesk._core.TagTaxonomy", kTagTaxonomyDoc, bind_new<kNewTagTaxonomy>(),
      {
          setting<&T::identity_tags>(
              "identity_tags", "Tags that mark records as permanent identity (never decayed, never archived)."),
          setting<&T::stable_tags>("stable_tags", "Tags that mark records as stable (low volatility, slow decay)."),
          setting<&T::volatile_tags>("volatile_tags",
                                     "Tags that mark records as volatile (high volatility, fast decay)."),
          setting<&T::non_identity_tags>("non_identity_tags",
                                         "Tags that should NEVER be at IDENTITY level (transient/system data)."),
          setting<&T::consolidation_skip_tags>("consolidation_skip_tags",
                                               "Tags that should NEVER be consolidated (sensitive/unique records)."),
          setting<&T::archive_protected_tags>("archive_protected_tags",
                                              "Tags that should NEVER be auto-archived (personal data)."),
          setting<&T::sensitive_tags>("sensitive_tags",
                                      "Tags that trigger human approval before write (sensitive operations)."),
      }};
  return cls;
}

ClassObject& NativeClass<TrustConfig>::object() {
  using T = TrustConfig;
  static ConfigClass<T> cls{
      "vesk._core.TrustConfig", kTrustConfigDoc, bind_new<kNewTrustConfig>(),
      {
          setting<&T::source_trust>("source_trust", "Source \u2192 base trust score (0.0-1.0)."),
          setting<&T::source_authority>("source_authority", "Source \u2192 authority multiplier for recall ranking."),
          setting<&T::recency_boost_max>("recency_boost_max", "Recency boost max (added to trust for fresh records)."),
          setting<&T::recency_half_life_days>("recency_half_life_days", "Recency boost half-life in days."),
          setting<&T::fusion_mode>("fusion_mode", "How ranked signals are fused (see `recall::FUSION_MODES`)."),
      }};
  return cls;
}

ClassObject& NativeClass<MaintenanceConfig>::object() {
  using T = MaintenanceConfig;
  static ConfigClass<T> cls{
      "vesk._core.MaintenanceConfig", kMaintenanceConfigDoc, bind_new<kNewMaintenanceConfig>(),
      {
          setting<&T::decay_enabled>("decay_enabled"),
          setting<&T::reflect_enabled>("reflect_enabled"),
          setting<&T::insights_enabled>("insights_enabled"),
          setting<&T::consolidation_enabled>("consolidation_enabled"),
          setting<&T::synthesis_enabled>("synthesis_enabled"),
          setting<&T::archival_enabled>("archival_enabled"),
          setting<&T::level_fix_interval>("level_fix_interval", "Run level fix every Nth cycle."),
          setting<&T::max_clusters_per_run>("max_clusters_per_run", "Max clusters per consolidation run."),
          setting<&T::archival_rules>("archival_rules", "Configurable archival rules."),
          setting<&T::completed_archival_rules>("completed_archival_rules", "Completed-item archival rules."),
          setting<&T::task_tag>("task_tag", "Tag used for scheduled tasks (default: \"scheduled-task\")."),
      }};
  return cls;
}

ClassObject& NativeClass<ArchivalRule>::object() {
  using T = ArchivalRule;
  static ConfigClass<T> cls{"vesk._core.ArchivalRule", kArchivalRuleDoc, bind_new<kNewArchivalRule>(),
                            {
                                setting<&T::tag>("tag", "Tag to match."),
                                setting<&T::max_age_days>("max_age_days", "Maximum age in days before deletion."),
                                setting<&T::keep_recent>("keep_recent", "Keep at least this many most-recent records."),
                            }};
  return cls;
}

ClassObject& NativeClass<CompletedArchivalRule>::object() {
  using T = CompletedArchivalRule;
  static ConfigClass<T> cls{"vesk._core.CompletedArchivalRule", kCompletedArchivalRuleDoc,
                            bind_new<kNewCompletedArchivalRule>(),
                            {
                                setting<&T::tag>("tag"),
                                setting<&T::max_age_days>("max_age_days"),
                            }};
  return cls;
}

ClassObject& NativeClass<CircuitBreakerConfig>::object() {
  using T = CircuitBreakerConfig;
  static ConfigClass<T> cls{
      "vesk._core.CircuitBreakerConfig", kCircuitBreakerConfigDoc, bind_new<kNewCircuitBreakerConfig>(),
      {
          setting<&T::failure_threshold>("failure_threshold", "Number of failures before circuit opens."),
          setting<&T::failure_window_secs>("failure_window_secs", "Window in seconds for counting failures."),
          setting<&T::recovery_secs>("recovery_secs", "Cooldown in seconds after circuit opens."),
      }};
  return cls;
}

ClassObject& NativeClass<PersonaTraits>::object() {
  using T = PersonaTraits;
  static ConfigClass<T> cls{"vesk._core.PersonaTraits", kPersonaTraitsDoc, bind_new<kNewPersonaTraits>(),
                            {
                                setting<&T::warmth>("warmth"),
                                setting<&T::curiosity>("curiosity"),
                                setting<&T::conciseness>("conciseness"),
                                setting<&T::humor>("humor"),
                                setting<&T::formality>("formality"),
                            }};
  return cls;
}

ClassObject& NativeClass<AgentPersona>::object() {
  using T = AgentPersona;
  static ConfigClass<T> cls{"vesk._core.AgentPersona", kAgentPersonaDoc, bind_new<kNewAgentPersona>(),
                            {
                                setting<&T::name>("name"),
                                setting<&T::role>("role"),
                                setting<&T::scope>("scope"),
                                setting<&T::tone>("tone"),
                                setting<&T::motivations>("motivations"),
                                setting<&T::languages>("languages"),
                                setting<&T::catchphrases>("catchphrases"),
                                setting<&T::avoid>("avoid"),
                                setting<&T::traits>("traits"),
                            }};
  return cls;
}

}  // namespace vesk::py
