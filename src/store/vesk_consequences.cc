// Consequence units: capture (with the belief marking it implies), reading
// back, listing, and the verdicts and hints drawn from them.
//
// Units are ordinary records (audit/consequence_record.h). Listing and
// verdicts take their candidates from the tag index ("consequence-unit")
// and put them in map order, so they cost the units, not the records, and
// answer exactly as a walk of the whole map would.
#include <algorithm>
#include <utility>

#include "audit/consequence_readout.h"
#include "audit/consequence_record.h"
#include "cognitive/surface_savers.h"
#include "model/unicode_text.h"
#include "storage/correction_entry.h"
#include "store/vesk.h"

namespace vesk {
namespace {

constexpr uint64_t kDefaultUnitLimit = 20;
constexpr uint64_t kMaxUnitLimit = 500;

// The beliefs that the links name: a belief id (after an optional
// "belief:"), or a record id that a hypothesis owns. Each once, in link
// order.
std::vector<std::string> linked_beliefs(const BeliefEngine& engine, const StringMap& links) {
  std::vector<std::string> out;
  auto add = [&](const std::string& id) {
    if (std::ranges::find(out, id) == out.end()) out.push_back(id);
  };
  for (const auto& [raw, relation] : links) {
    std::string_view target = trim_unicode_white_space(raw);
    if (target.starts_with("belief:")) target.remove_prefix(7);
    if (target.empty()) continue;
    if (engine.beliefs.contains(target)) {
      add(std::string(target));
      continue;
    }
    auto h = engine.record_index.find(target);
    if (h == engine.record_index.end()) continue;
    auto hyp = engine.hypotheses.find(h->second);
    if (hyp != engine.hypotheses.end()) add(hyp->second.belief_id);
  }
  return out;
}

bool unit_matches_query(const ConsequenceUnit& u, std::string_view query) {
  if (query.empty()) return true;
  // The unit's texts are lower-cased (ASCII) but not trimmed.
  auto lower_has = [&](const std::string& text) {
    std::string l = text;
    for (char& c : l) c = ascii_lower(c);
    return l.find(query) != std::string::npos;
  };
  if (lower_has(u.situation) || lower_has(u.action) || lower_has(u.consequence)) return true;
  return std::ranges::any_of(u.scope, lower_has) || std::ranges::any_of(u.provenance, lower_has);
}

}  // namespace

std::vector<const Record*> Vesk::consequence_unit_candidates(const RecordMap& map) const {
  std::vector<std::pair<size_t, const Record*>> found;
  {
    auto tags = indexes_.tags.read();
    tags->visit_ids_with(kConsequenceUnitTag, [&](std::string_view id) {
      auto it = map.find(id);
      if (it != map.end()) found.emplace_back(map.order(it), &it->second);
      return true;
    });
  }
  std::ranges::sort(found, {}, &std::pair<size_t, const Record*>::first);
  std::vector<const Record*> out;
  out.reserve(found.size());
  for (const auto& [order, record] : found) out.push_back(record);
  return out;
}

Result<ConsequenceUnit> Vesk::capture_consequence(std::string_view situation, std::string_view action,
                                                  std::string_view consequence, int32_t trust,
                                                  std::optional<std::vector<std::string>> scope,
                                                  std::optional<std::vector<std::string>> provenance,
                                                  std::optional<StringMap> links,
                                                  std::optional<std::string> namespace_) {
  ConsequenceUnit unit;
  unit.situation = std::string(trim_unicode_white_space(situation));
  if (unit.situation.empty()) return Status::Runtime("Consequence situation cannot be empty");
  unit.action = std::string(trim_unicode_white_space(action));
  if (unit.action.empty()) return Status::Runtime("Consequence action cannot be empty");
  unit.consequence = std::string(trim_unicode_white_space(consequence));
  if (unit.consequence.empty()) return Status::Runtime("Consequence result cannot be empty");
  unit.namespace_ = namespace_ ? std::move(*namespace_) : std::string("default");
  if (Status s = validate_namespace(unit.namespace_); !s.ok()) return s;
  if (provenance && !provenance->empty()) {
    unit.provenance = std::move(*provenance);
  } else {
    unit.provenance = {"sdk:capture_consequence"};
  }
  if (scope) unit.scope = std::move(*scope);
  if (links) unit.links = std::move(*links);
  unit.trust = trust;
  unit.captured_at = env_.now_seconds();

  ConsequenceRecordFields fields = consequence_record_fields(unit);
  StoreRequest request;
  request.content = std::move(fields.content);
  request.level = Level::Decisions;
  request.tags = std::move(fields.tags);
  request.content_type = "json";
  request.source_type = "recorded";
  request.metadata = std::move(fields.metadata);
  request.deduplicate = false;
  request.namespace_ = unit.namespace_;
  request.semantic_type = "decision";
  request.authority = WriteAuthority::TrustedCapture;
  Result<Record> stored = store_with_channel_and_validity(std::move(request));
  if (!stored.ok()) return stored.status();
  unit.record_id = stored->id;

  for (const auto& [target, relation] : unit.links) {
    if (trim_unicode_white_space(target).empty() || !get(target)) continue;
    (void)connect(unit.record_id, target, 0.8f, relation);
  }

  const ConsequencePolarity polarity = classify_consequence_outcome(unit);
  if (polarity == ConsequencePolarity::Inconclusive) return unit;

  std::vector<std::string> changed;
  {
    auto engine = layers_.beliefs.write();
    for (const std::string& id : linked_beliefs(*engine, unit.links)) {
      auto found = engine->beliefs.find(id);
      if (found == engine->beliefs.end()) continue;
      Belief* belief = &found->second;
      const WorldVerdict before = belief->world_verdict;
      if (polarity == ConsequencePolarity::Refutes) {
        belief->world_verdict = WorldVerdict::Refuted;
      } else if (before == WorldVerdict::EvidenceDebt) {
        belief->world_verdict = WorldVerdict::Confirmed;
      }
      if (belief->world_verdict == before) continue;
      belief->last_updated = env_.now_seconds();
      changed.push_back(id);
    }
    if (!changed.empty()) {
      if (Status s = save_belief_store(persistence_target_, *engine, env_); !s.ok()) return s;
    }
  }
  if (changed.empty()) return unit;
  clear_recall_caches();
  if (audit_) {
    const char* operation = polarity == ConsequencePolarity::Supports ? "world_confirm" : "world_refute";
    const std::string reason = "consequence_unit:" + unit.record_id;
    for (const std::string& id : changed) (void)append_correction_entry(*audit_, "belief", id, operation, reason);
  }
  return unit;
}

Result<std::optional<std::string>> Vesk::record_world_fact(std::string_view situation, std::string_view action,
                                                           std::string_view fact,
                                                           std::optional<std::string> namespace_) {
  const std::string word = consequence_match_text(fact);
  int32_t trust = 0;
  std::string consequence;
  if (word == "supports" || word == "support") {
    trust = 1;
    consequence = "world fact: supports";
  } else if (word == "refutes" || word == "refute") {
    trust = -1;
    consequence = "world fact: refutes";
  } else {
    return std::optional<std::string>();
  }
  Result<ConsequenceUnit> unit = capture_consequence(situation, action, consequence, trust, std::nullopt,
                                                     std::vector<std::string>{"world:executable_judge"},
                                                     std::nullopt, std::move(namespace_));
  if (!unit.ok()) return unit.status();
  return std::optional<std::string>(std::move(unit->record_id));
}

std::optional<ConsequenceUnit> Vesk::get_consequence_unit(std::string_view record_id) const {
  auto map = records_.records.read();
  const Record* record = map->find_value(record_id);
  if (!record) return std::nullopt;
  return build_consequence_unit(*record);
}

std::vector<ConsequenceUnit> Vesk::get_consequence_units(std::optional<std::string_view> query,
                                                         std::optional<uint64_t> limit,
                                                         std::optional<std::string_view> namespace_) const {
  const std::string q = query ? consequence_match_text(*query) : std::string();
  const size_t keep = static_cast<size_t>(std::clamp<uint64_t>(limit.value_or(kDefaultUnitLimit), 1, kMaxUnitLimit));
  std::vector<ConsequenceUnit> units;
  auto map = records_.records.read();
  for (const Record* record : consequence_unit_candidates(*map)) {
    if (namespace_ && record->namespace_ != *namespace_) continue;
    std::optional<ConsequenceUnit> unit = build_consequence_unit(*record);
    if (unit && unit_matches_query(*unit, q)) units.push_back(std::move(*unit));
  }
  std::ranges::stable_sort(units, std::greater<>(), &ConsequenceUnit::captured_at);
  if (units.size() > keep) units.resize(keep);
  return units;
}

ConsequenceVerdict Vesk::consequence_verdict(std::string_view situation, std::string_view action,
                                             std::optional<std::string_view> namespace_) const {
  const std::string s = consequence_match_text(situation);
  const std::string a = consequence_match_text(action);
  ConsequenceVerdict verdict;
  auto map = records_.records.read();
  for (const Record* record : consequence_unit_candidates(*map)) {
    if (namespace_ && record->namespace_ != *namespace_) continue;
    std::optional<ConsequenceUnit> unit = build_consequence_unit(*record);
    if (!unit || consequence_match_text(unit->situation) != s || consequence_match_text(unit->action) != a) continue;
    verdict.count(classify_consequence_outcome(*unit));
  }
  return verdict;
}

ConsequencePolicyHint Vesk::policy_hint(std::string_view situation, std::string_view action,
                                        std::optional<std::string_view> namespace_) const {
  return consequence_policy_hint(std::string(trim_unicode_white_space(situation)),
                                 std::string(trim_unicode_white_space(action)),
                                 consequence_verdict(situation, action, namespace_));
}

}  // namespace vesk
