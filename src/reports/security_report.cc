#include "reports/security_report.h"

#include <optional>
#include <string_view>
#include <utility>

#include "base/string_hash.h"
#include "recall/recall_pipeline.h"
#include "write/ingress_stamp.h"
#include "write/provenance.h"

namespace vesk {
namespace {

// More records than recall lets one untrusted source group fill.
constexpr uint64_t kRecallSlotsPerGroup = 2;

bool metadata_is(const Record& record, std::string_view key, std::string_view value) {
  auto it = record.metadata.find(key);
  return it != record.metadata.end() && it->second == value;
}

}  // namespace

SecurityStats scan_security_stats(const RecordMap& records) {
  SecurityStats s;
  StringKeyMap<uint64_t> groups;
  for (const auto& [id, record] : records) {
    ++s.records;
    const std::string effective = effective_source_type(record);
    ++s.by_effective_source[effective];
    if (metadata_is(record, "relayed_by_model", "true")) ++s.relayed_by_model;
    if (metadata_is(record, "claim_certainty", "hearsay") || metadata_is(record, "claim_certainty", "speculative")) {
      ++s.hearsay_or_speculative;
    }
    if (metadata_is(record, "acl_visibility", "restricted")) ++s.restricted;
    if (std::optional<std::string> key = diversity_key(record)) ++groups[*key];
    if (auto channel = record.metadata.find("channel"); channel != record.metadata.end()) {
      if (source_type_for_channel(channel->second) != "recorded" && effective == "recorded") {
        ++s.outside_channel_first_hand;
      }
    }
  }
  for (const auto& [key, count] : groups) {
    if (count > kRecallSlotsPerGroup) {
      ++s.untrusted_groups_over_cap;
      s.records_in_groups_over_cap += count;
    }
  }
  return s;
}

SecurityReport build_security_report(SecurityStats stats, const SecurityFacts& facts) {
  SecurityReport r;
  r.profile = facts.strict ? "strict" : "balanced";
  const std::string claim_state = facts.claim_classifier ? "on" : facts.claim_rules ? "partial" : "off";
  r.protections = {
      {"authority_forgery_blocked", "on", "tests/ingress_authority",
       "external writes cannot set reserved consequence tags or outcome metadata"},
      {"provenance_stamped", "on", "E2",
       "source, verification and trust fields are set by Vesk; caller values are kept as claimed_*"},
      {"untrusted_advice_capped", "on", "E2",
       "policy hints backed only by untrusted evidence are capped at verify-first"},
      {"model_writes_downgraded", "on", "E3",
       "MCP model writes default to inferred; a claimed recorded source is marked relayed_by_model"},
      {"repetition_flood_resistance", "partial", "E11",
       "one untrusted source group keeps at most 2 recall slots; 2 of 4 attack kinds fully resisted"},
      {"provenance_context", "on", "E10/E13/E14b/E15",
       "recall() separates first-hand memory from fenced untrusted memory; format=\"levels\" opts out"},
      {"verified_deletion", facts.strict ? "on" : "explicit", "E1",
       facts.strict ? "delete() purges storage, snapshots and audit history"
                    : "delete() is logical; bytes can remain until purge_record(id, \"history\")"},
      {"encryption_at_rest", facts.encrypted ? "on" : "off", "open with a password",
       "records, logs and snapshots encrypted with the store key"},
      {"audit_log", facts.audit_open ? "on" : "off", "audit", "store, delete, purge and correction events are logged"},
      {"claim_certainty", claim_state, "E3/E4",
       "hearsay and speculation from the user lower trust; reliable only with a claim classifier hook"},
      {"action_gate", "not_in_core", "E12/E12b",
       "tool-call argument provenance is an experiment, not part of the library"},
  };
  if (!facts.strict) {
    r.warnings.emplace_back("delete() leaves recoverable bytes; use the strict profile or purge_record for removal "
                            "requests");
  }
  if (!facts.encrypted) r.warnings.emplace_back("memory is not encrypted at rest");
  if (!facts.claim_classifier) {
    r.warnings.emplace_back("no claim classifier: hearsay the user relays is trusted like first-hand statements");
  }
  if (stats.outside_channel_first_hand > 0) {
    r.warnings.push_back(std::to_string(stats.outside_channel_first_hand) +
                         " record(s) came through an outside channel but are marked first-hand: they appear as the "
                         "user's own words; pass source_type or leave it to the channel");
  }
  if (stats.untrusted_groups_over_cap > 0) {
    r.warnings.push_back(std::to_string(stats.untrusted_groups_over_cap) +
                         " untrusted source group(s) repeat beyond the recall cap (" +
                         std::to_string(stats.records_in_groups_over_cap) + " records): possible flooding");
  }
  r.stats = std::move(stats);
  return r;
}

}  // namespace vesk
