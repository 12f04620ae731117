// Record delete and purge.
#include <string>

#include "binding/json_result.h"
#include "vesk_object.h"

namespace vesk::py {
namespace {

// Holds the interpreter lock throughout: the delete is one short change.
Result<bool> delete_(Vesk& self, std::string record_id) {
  Result<bool> removed = self.delete_for_profile(record_id);
  if (!removed.ok()) return removed.status().as(ErrorKind::Runtime);
  return *removed;
}
constexpr Method kDelete{"Vesk", "delete($self, record_id)", delete_};

Result<JsonObject> purge_record(Vesk& self, std::string record_id, std::string scope) {
  // The scope is checked before anything is done.
  Result<PurgeScope> parsed = parse_purge_scope(scope);
  if (!parsed.ok()) return parsed.status();
  Result<PurgeReport> report = self.purge_record(record_id, *parsed);
  if (!report.ok()) return report.status().as(ErrorKind::Runtime);
  JsonValue::Array surfaces;
  for (const std::string& s : report->removed_surfaces) surfaces.emplace_back(s);
  JsonObject out;
  out.append("record_digest", report->record_digest);
  out.append("scope", purge_scope_text(report->scope));
  out.append("active_record_removed", report->active_record_removed);
  out.append("beliefs_removed", report->layers.beliefs_removed);
  out.append("concepts_removed", report->layers.concepts_removed);
  out.append("causal_patterns_removed", report->layers.causal_patterns_removed);
  out.append("policy_hints_removed", report->layers.policy_hints_removed);
  out.append("topology_removed", report->layers.topology_removed);
  out.append("snapshots_rewritten", report->snapshots_rewritten);
  out.append("audit_entries_removed", report->audit_entries_removed);
  out.append("removed_surfaces", std::move(surfaces));
  return out;
}
constexpr Method kPurgeRecord{"Vesk", "purge_record($self, record_id, scope)", purge_record};

}  // namespace

MethodRows removal_methods() { return {bind<kDelete>(), bind<kPurgeRecord>()}; }

}  // namespace vesk::py
