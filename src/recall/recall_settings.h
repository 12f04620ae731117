// The settings that steer every recall, and the recall hit counters.
//
// The four recall modes switch the cognitive layers into recall; the context
// date mode and the identity-block flag shape the rendered context. Each is
// one byte of the main object, written whole by its setter and read by
// recalls that run without any lock on it, so each is a relaxed atomic: a
// reader sees either the old or the new value. The fusion mode is a text of
// the trust configuration and lives behind that configuration's lock.
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

#include "model/status.h"
#include "recall/epistemic_rerank.h"

namespace vesk {

enum class CausalRerankMode : uint8_t { Off = 0, Limited = 1 };
enum class PolicyRerankMode : uint8_t { Off = 0, Limited = 1 };
enum class ContextDateMode : uint8_t { Off = 0, FirstHand = 1, All = 2 };

inline constexpr std::array<std::string_view, 4> kFusionModes = {"equal", "embedding_only", "family",
                                                                 "bm25_embedding"};
inline constexpr std::array<std::string_view, 3> kContextDateModes = {"off", "first_hand", "all"};

struct RecallModes {
  std::atomic<BeliefRerankMode> belief{BeliefRerankMode::Limited};
  std::atomic<ConceptSurfaceMode> concept_surface{ConceptSurfaceMode::Inspect};
  std::atomic<CausalRerankMode> causal{CausalRerankMode::Limited};
  std::atomic<PolicyRerankMode> policy{PolicyRerankMode::Limited};

  BeliefRerankMode belief_mode() const { return belief.load(std::memory_order_relaxed); }
  ConceptSurfaceMode concept_mode() const { return concept_surface.load(std::memory_order_relaxed); }
  CausalRerankMode causal_mode() const { return causal.load(std::memory_order_relaxed); }
  PolicyRerankMode policy_mode() const { return policy.load(std::memory_order_relaxed); }

  // All four Limited, or all four Off; written belief first, then concept
  // surface, causal, policy.
  void set_full_stack(bool enabled);
};

// "off", "shadow", "limited".
Result<BeliefRerankMode> parse_belief_rerank_mode(std::string_view text);
// "off", "inspect", "limited".
Result<ConceptSurfaceMode> parse_concept_surface_mode(std::string_view text);
// "off", "limited".
Result<CausalRerankMode> parse_causal_rerank_mode(std::string_view text);
Result<PolicyRerankMode> parse_policy_rerank_mode(std::string_view text);
// One of kContextDateModes.
Result<ContextDateMode> parse_context_date_mode(std::string_view text);
// One of kFusionModes; the accepted text itself.
Result<std::string_view> parse_fusion_mode(std::string_view text);

// The four counters of recall_hit_stats. Increased with atomic additions from
// any thread; reset writes 0 to each in turn (not one snapshot).
struct RecallHitCounters {
  std::atomic<uint64_t> recall_total{0};
  std::atomic<uint64_t> recall_empty{0};
  std::atomic<uint64_t> search_total{0};
  std::atomic<uint64_t> search_empty{0};

  void count_recall(bool empty);
  void count_search(bool empty);
  void reset();
};

}  // namespace vesk
