// TrustConfig: the trust scoring model of recall and of ingress stamping.
//
// The two maps do not list the same sources: "agent-inference",
// "user-telegram", "user-desktop" and "user-voice" have an authority but no
// trust entry; each reader decides what a missing source means.
#pragma once

#include <string>

#include "base/string_hash.h"

namespace vesk {

struct TrustConfig {
  // Source -> base trust score (0.0-1.0).
  StringKeyMap<float> source_trust{
      {"user-confirmed", 1.0f}, {"agent-interactive", 0.7f}, {"system", 0.6f},
      {"agent", 0.5f},          {"agent-autonomous", 0.4f},  {"agent-worker", 0.35f},
  };
  // Source -> authority multiplier for recall ranking.
  StringKeyMap<float> source_authority{
      {"user-telegram", 1.2f}, {"user-desktop", 1.2f},      {"user-voice", 1.2f},    {"user-confirmed", 1.2f},
      {"agent-interactive", 1.0f}, {"system", 0.9f},        {"agent", 0.85f},        {"agent-autonomous", 0.75f},
      {"agent-worker", 0.7f},  {"agent-inference", 0.65f},
  };
  // Recency boost max (added to trust for fresh records).
  float recency_boost_max = 0.2f;
  // Recency boost half-life in days.
  float recency_half_life_days = 7.0f;
  // How ranked signals are fused: "family", "equal", "embedding_only" or
  // "bm25_embedding" (recall tests the mode before it is set).
  std::string fusion_mode = "family";

  bool operator==(const TrustConfig&) const = default;
};

// The trust model every store starts from (a default-constructed TrustConfig).
TrustConfig trust_config_default();

}  // namespace vesk
