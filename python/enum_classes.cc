#include "enum_classes.h"

#include "binding/enums.h"

namespace vesk::py {
namespace {

float decay_rate(const Level& l) { return level_decay_rate(l); }
std::string_view dna(const Level& l) { return level_dna(l); }
std::string_view tier(const Level& l) { return level_tier(l); }
bool is_cognitive(const Level& l) { return level_is_cognitive(l); }
bool is_core(const Level& l) { return level_is_core(l); }

}  // namespace

// A level compares with integers of one byte, as it is stored.
ClassObject& NativeClass<Level>::object() {
  static EnumClass<Level, uint8_t> cls{
      "vesk._core.Level",
      "Cognitive memory level \u2014 determines decay rate and importance.",
      {{"Working", 1}, {"Decisions", 2}, {"Domain", 3}, {"Identity", 4}},
      level_display_name,
      {
          computed<&decay_rate>("decay_rate", "Get the decay rate for this level."),
          computed<&dna>("dna", "Get the DNA classification string."),
          computed<&tier>("tier", "Get the memory tier: \"cognitive\" or \"core\"."),
          computed<&is_cognitive>("is_cognitive", "Check if this level is in the cognitive tier."),
          computed<&is_core>("is_core", "Check if this level is in the core tier."),
      }};
  return cls;
}

ClassObject& NativeClass<OutcomeKind>::object() {
  static EnumClass<OutcomeKind> cls{"vesk._core.OutcomeKind",
                                    "Externally observed result for one retrieval attempt.",
                                    {{"Helpful", 0}, {"Unhelpful", 1}, {"Inconclusive", 2}}};
  return cls;
}

ClassObject& NativeClass<ConsequencePolarity>::object() {
  static EnumClass<ConsequencePolarity> cls{
      "vesk._core.ConsequencePolarity", nullptr, {{"Supports", 0}, {"Refutes", 1}, {"Inconclusive", 2}}};
  return cls;
}

ClassObject& NativeClass<RouteStateClass>::object() {
  static EnumClass<RouteStateClass> cls{
      "vesk._core.RouteStateClass",
      "Consequence route-state class of a record, used by route-state-stratified\n"
      "decay. Ordered weakest\u2192strongest by how long the memory should be retained;\n"
      "`Refuted` is special-cased as an eternal scar (never field-decays) despite\n"
      "sitting at the top of the ordinal scale.",
      {{"Candidate", 0}, {"EvidenceDebt", 1}, {"Confirmed", 2}, {"Refuted", 3}}};
  return cls;
}

ClassObject& NativeClass<CausalEdgeKind>::object() {
  static EnumClass<CausalEdgeKind> cls{
      "vesk._core.CausalEdgeKind",
      "The SEMANTIC type of a causal edge, classifying *what kind* of relation a\n"
      "pattern represents \u2014 not just how strong it is.\n"
      "\n"
      "Ported from the Vesk research line's typed causal grammar\n"
      "(`ConsequenceMicroRegionTypedEdgeKind`). The proven distinction is that a\n"
      "relation is only `Causes` when it survives a counterfactual test (removing\n"
      "the cause reliably breaks the effect), versus `Precedes` which is mere\n"
      "temporal order (correlation). This is exactly the discrimination a frozen\n"
      "model does NOT make: it follows co-occurrence, calling correlation cause.\n"
      "\n"
      "The classifier reads a `CausalPattern`'s ALREADY-COMPUTED signals\n"
      "(counterfactual ratio, transition lift, effect polarity) \u2014 no new data, no\n"
      "LLM. It is the labeling layer the SDK was missing on top of its quantitative\n"
      "causal engine.",
      {{"Precedes", 0}, {"Causes", 1}, {"Enables", 2}, {"Refutes", 3}}};
  return cls;
}

}  // namespace vesk::py
