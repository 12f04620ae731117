#include "cognitive/layer_placeholders.h"

#include "model/json_reader.h"

namespace vesk {

namespace {

// One JSON object, its members skipped.
template <typename T>
Result<T> parse_object(std::string_view payload, std::string_view expecting) {
  JsonReader r(payload);
  bool ok = r.begin_map(expecting);
  if (ok) {
    bool has = false;
    std::string_view key;
    while ((ok = r.next_key(has, key)) && has) {
      if (!(ok = r.object_colon() && r.skip_value())) break;
    }
    ok = r.end_map(ok);
  }
  if (!ok || !r.end()) return r.status();
  return T{};
}

// One JSON array of anything, one empty entry per element.
template <typename T>
Result<std::vector<T>> parse_array(std::string_view text) {
  JsonReader r(text);
  std::vector<T> out;
  bool ok = r.begin_seq();
  if (ok) {
    bool has = false;
    while ((ok = r.next_element(has)) && has) {
      if (!(ok = r.skip_value())) break;
      out.emplace_back();
    }
    ok = r.end_seq(ok);
  }
  if (!ok || !r.end()) return r.status();
  return out;
}

}  // namespace

Result<BeliefEngine> parse_belief_engine(std::string_view p) {
  return parse_object<BeliefEngine>(p, "struct BeliefEngine");
}
Result<ConceptEngine> parse_concept_engine(std::string_view p) {
  return parse_object<ConceptEngine>(p, "struct ConceptEngine");
}
Result<CausalEngine> parse_causal_engine(std::string_view p) {
  return parse_object<CausalEngine>(p, "struct CausalEngine");
}
Result<PolicyEngine> parse_policy_engine(std::string_view p) {
  return parse_object<PolicyEngine>(p, "struct PolicyEngine");
}
Result<Topology> parse_topology(std::string_view p) { return parse_object<Topology>(p, "struct Topology"); }

uint64_t belief_count(const BeliefEngine& e) { return e.beliefs.size(); }
uint64_t concept_count(const ConceptEngine& e) { return e.concepts.size(); }
uint64_t causal_pattern_count(const CausalEngine& e) { return e.patterns.size(); }
uint64_t policy_hint_count(const PolicyEngine& e) { return e.hints.size(); }

Result<std::vector<RecallReplayBaseline>> parse_recall_replay(std::string_view t) {
  return parse_array<RecallReplayBaseline>(t);
}

}  // namespace vesk
