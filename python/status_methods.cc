// Copies of the state the store keeps beside its records: what the open
// found, the persistence manifest, the maintenance trend history and its
// summary, and the newest reflection summary. Each takes one read lock,
// copies (or summarises), and lets it go before any Python object is made;
// none fails, none releases the interpreter lock.
#include <optional>
#include <vector>

#include "value_classes.h"
#include "vesk_object.h"

namespace vesk::py {
namespace {

StartupValidationReport get_startup_validation_report(Vesk& self) { return self.startup_report(); }
constexpr Method kGetStartupValidationReport{"Vesk", "get_startup_validation_report($self)",
                                             get_startup_validation_report};

PersistenceManifest get_persistence_manifest(Vesk& self) { return self.persistence_manifest(); }
constexpr Method kGetPersistenceManifest{"Vesk", "get_persistence_manifest($self)", get_persistence_manifest};

std::vector<MaintenanceTrendSnapshot> get_maintenance_trend_history(Vesk& self) {
  return self.maintenance_trend_history();
}
constexpr Method kGetMaintenanceTrendHistory{"Vesk", "get_maintenance_trend_history($self)",
                                             get_maintenance_trend_history};

MaintenanceTrendSummary get_maintenance_trend_summary(Vesk& self) { return self.maintenance_trend_summary(); }
constexpr Method kGetMaintenanceTrendSummary{"Vesk", "get_maintenance_trend_summary($self)",
                                             get_maintenance_trend_summary};

// Despite the name, the newest ReflectionSummary (not a ReflectionDigest), or
// None before the first maintenance cycle.
std::optional<ReflectionSummary> get_latest_reflection_digest(Vesk& self) { return self.latest_reflection_summary(); }
constexpr Method kGetLatestReflectionDigest{"Vesk", "get_latest_reflection_digest($self)",
                                            get_latest_reflection_digest};

}  // namespace

MethodRows status_methods() {
  return {bind<kGetMaintenanceTrendHistory>(), bind<kGetMaintenanceTrendSummary>(),
          bind<kGetLatestReflectionDigest>(), bind<kGetStartupValidationReport>(), bind<kGetPersistenceManifest>()};
}

}  // namespace vesk::py
