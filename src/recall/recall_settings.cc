#include "recall/recall_settings.h"

#include <string>

#include "model/debug_text.h"

namespace vesk {
namespace {

constexpr auto kRelaxed = std::memory_order_relaxed;

template <class Mode, size_t N>
Result<Mode> parse_mode(std::string_view text, const std::array<std::pair<std::string_view, Mode>, N>& table,
                        std::string_view accepted) {
  for (const auto& [name, mode] : table)
    if (text == name) return mode;
  return Status::Value("unknown mode " + quote_debug(text) + "; expected one of " + std::string(accepted));
}

template <size_t N>
std::string quoted_list(const std::array<std::string_view, N>& items) {
  return quote_debug_list(std::span<const std::string_view>(items.data(), items.size()));
}

}  // namespace

Result<BeliefRerankMode> parse_belief_rerank_mode(std::string_view text) {
  static constexpr std::array<std::pair<std::string_view, BeliefRerankMode>, 3> kTable = {{
      {"off", BeliefRerankMode::Off},
      {"shadow", BeliefRerankMode::Shadow},
      {"limited", BeliefRerankMode::Limited},
  }};
  return parse_mode(text, kTable, "off, shadow, limited");
}

Result<ConceptSurfaceMode> parse_concept_surface_mode(std::string_view text) {
  static constexpr std::array<std::pair<std::string_view, ConceptSurfaceMode>, 3> kTable = {{
      {"off", ConceptSurfaceMode::Off},
      {"inspect", ConceptSurfaceMode::Inspect},
      {"limited", ConceptSurfaceMode::Limited},
  }};
  return parse_mode(text, kTable, "off, inspect, limited");
}

Result<CausalRerankMode> parse_causal_rerank_mode(std::string_view text) {
  static constexpr std::array<std::pair<std::string_view, CausalRerankMode>, 2> kTable = {{
      {"off", CausalRerankMode::Off},
      {"limited", CausalRerankMode::Limited},
  }};
  return parse_mode(text, kTable, "off, limited");
}

Result<PolicyRerankMode> parse_policy_rerank_mode(std::string_view text) {
  static constexpr std::array<std::pair<std::string_view, PolicyRerankMode>, 2> kTable = {{
      {"off", PolicyRerankMode::Off},
      {"limited", PolicyRerankMode::Limited},
  }};
  return parse_mode(text, kTable, "off, limited");
}

Result<ContextDateMode> parse_context_date_mode(std::string_view text) {
  static constexpr std::array<ContextDateMode, 3> kModes = {ContextDateMode::Off, ContextDateMode::FirstHand,
                                                            ContextDateMode::All};
  for (size_t i = 0; i < kContextDateModes.size(); ++i)
    if (text == kContextDateModes[i]) return kModes[i];
  return Status::Value("unknown context date mode " + quote_debug(text) + "; expected one of " +
                       quoted_list(kContextDateModes));
}

void RecallHitCounters::count_recall(bool empty) {
  recall_total.fetch_add(1, kRelaxed);
  if (empty) recall_empty.fetch_add(1, kRelaxed);
}

void RecallHitCounters::count_search(bool empty) {
  search_total.fetch_add(1, kRelaxed);
  if (empty) search_empty.fetch_add(1, kRelaxed);
}

void RecallHitCounters::reset() {
  recall_total.store(0, kRelaxed);
  recall_empty.store(0, kRelaxed);
  search_total.store(0, kRelaxed);
  search_empty.store(0, kRelaxed);
}

RecallHitStats RecallHitCounters::read() const {
  constexpr auto kRelaxed = std::memory_order_relaxed;
  return RecallHitStats{recall_total.load(kRelaxed), recall_empty.load(kRelaxed), search_total.load(kRelaxed),
                        search_empty.load(kRelaxed)};
}

JsonObject recall_hit_stats_dict(const RecallHitStats& stats) {
  JsonObject o;
  o.append("recall_total", stats.recall_total);
  o.append("recall_empty", stats.recall_empty);
  o.append("search_total", stats.search_total);
  o.append("search_empty", stats.search_empty);
  return o;
}

}  // namespace vesk
