// Bodies of the module functions.
#include "functions.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "audit/world_fact.h"
#include "binding/call.h"
#include "cognitive/causal_edge.h"
#include "entities/neighbor_mass.h"

namespace vesk::py {
namespace {

float neighbor_mass_role_similarity(std::vector<uint64_t> neighbors_a, std::vector<uint64_t> neighbors_b) {
  return vesk::neighbor_mass_role_similarity(neighbors_a, neighbors_b);
}

constexpr Method kNeighborMassRoleSimilarity{
    nullptr,
    "neighbor_mass_role_similarity(neighbors_a, neighbors_b)\n--\n\n"
    "Python: role similarity (normalized neighbor-mass Jaccard overlap, 0..1) of\n"
    "two entities given their neighbor-id lists. Deterministic, no LLM.",
    neighbor_mass_role_similarity};

std::string_view classify_causal_edge(uint64_t support_count, uint64_t counterevidence, double transition_lift,
                                      uint64_t positive_effect_signals, uint64_t negative_effect_signals) {
  return causal_edge_kind_word(vesk::classify_causal_edge(support_count, counterevidence, transition_lift,
                                                          positive_effect_signals, negative_effect_signals));
}

constexpr Method kClassifyCausalEdge{
    nullptr,
    "classify_causal_edge(support_count, counterevidence, transition_lift, positive_effect_signals=0, "
    "negative_effect_signals=0)\n--\n\n"
    "Python: classify a typed causal-edge kind from raw signals. Returns one of\n"
    "\"precedes\" | \"causes\" | \"enables\" | \"refutes\". `precedes` means correlation\n"
    "only (the effect occurs without the cause); `causes` means it survives a\n"
    "counterfactual test. Deterministic, no LLM.",
    classify_causal_edge};

std::string_view world_fact_from_output(int32_t exit_code, std::string stdout_text, std::string stderr_text,
                                        std::vector<std::string> success_markers,
                                        std::vector<std::string> failure_markers) {
  return consequence_polarity_word(
      vesk::world_fact_from_output(exit_code, stdout_text, stderr_text, success_markers, failure_markers));
}

constexpr Method kWorldFactFromOutput{
    nullptr,
    "world_fact_from_output(exit_code, stdout, stderr, success_markers, failure_markers)\n--\n\n"
    "Python: derive a 3-state world fact (\"supports\" | \"refutes\" | \"inconclusive\")\n"
    "from a real command's captured output. The agent runs the command itself and\n"
    "passes the result here. A failure marker (or a dirty exit with no success\n"
    "marker) \u21d2 refutes; a success marker \u21d2 supports; otherwise inconclusive (the\n"
    "evidence debt stays open). Deterministic, no LLM, no execution here.",
    world_fact_from_output};

}  // namespace

PyMethodDef neighbor_mass_role_similarity_def = bind<kNeighborMassRoleSimilarity>();
PyMethodDef classify_causal_edge_def = bind<kClassifyCausalEdge>();
PyMethodDef world_fact_from_output_def = bind<kWorldFactFromOutput>();

}  // namespace vesk::py
