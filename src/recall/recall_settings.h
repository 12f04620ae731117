// The settings that steer every recall, and the recall hit counters.
//
// The four rerank modes (rerank_modes.h) switch the cognitive layers into
// recall; the context date mode and the identity-block flag shape the
// rendered context. Each is one byte of the main object (StoreFlags), written
// whole by its setter and read by recalls that run without any lock on it, so
// each is a relaxed atomic: a reader sees either the old or the new value.
// The fusion mode is a text of the trust configuration, behind that
// configuration's lock (recall_core.h).
//
// None of these is persisted: a store opens with the defaults below.
//
// The parse functions match the caller's text exactly (case and blanks
// included) and refuse anything else with a Value error that quotes the text
// as a string literal.
#pragma once

#include <array>
#include <atomic>
#include <span>
#include <string>
#include <utility>
#include <cstdint>
#include <string_view>

#include "base/status.h"
#include "model/json_value.h"
#include "recall/rerank_modes.h"

namespace vesk {

enum class ContextDateMode : uint8_t { Off = 0, FirstHand = 1, All = 2 };

inline constexpr std::array<std::string_view, 3> kContextDateModes = {"off", "first_hand", "all"};

// "off", "shadow", "limited".
Result<BeliefRerankMode> parse_belief_rerank_mode(std::string_view text);
// "off", "inspect", "limited".
Result<ConceptSurfaceMode> parse_concept_surface_mode(std::string_view text);
// "off", "limited".
Result<CausalRerankMode> parse_causal_rerank_mode(std::string_view text);
Result<PolicyRerankMode> parse_policy_rerank_mode(std::string_view text);
// One of kContextDateModes.
Result<ContextDateMode> parse_context_date_mode(std::string_view text);

// The four counters read together (each on its own: not one snapshot).
struct RecallHitStats {
  uint64_t recall_total = 0;
  uint64_t recall_empty = 0;
  uint64_t search_total = 0;
  uint64_t search_empty = 0;
};

// {"recall_total", "recall_empty", "search_total", "search_empty"}.
JsonObject recall_hit_stats_dict(const RecallHitStats& stats);

// The four counters of recall_hit_stats. Increased with atomic additions from
// any thread; reset writes 0 to each in turn (not one snapshot).
struct RecallHitCounters {
  std::atomic<uint64_t> recall_total{0};
  std::atomic<uint64_t> recall_empty{0};
  std::atomic<uint64_t> search_total{0};
  std::atomic<uint64_t> search_empty{0};

  RecallHitStats read() const;
  void count_recall(bool empty);
  void count_search(bool empty);
  void reset();
};

}  // namespace vesk
