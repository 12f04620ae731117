// The surfaced concept: the outward form of a concept candidate that the
// concept surface lets callers inspect. It copies what a caller may rely on
// ("stable" or "candidate" state, terms, tags, scores and the beliefs and
// records behind it) and nothing of the candidate's internal bookkeeping.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vesk {

struct SurfacedConcept {
  std::string id;
  std::string key;
  std::string state;
  std::string namespace_;
  std::string semantic_type;
  std::vector<std::string> core_terms;
  std::vector<std::string> shell_terms;
  std::vector<std::string> tags;
  double abstraction_score = 0.0;
  double confidence = 0.0;
  uint64_t cluster_size = 0;
  double support_mass = 0.0;
  std::vector<std::string> belief_ids;
  std::vector<std::string> record_ids;

  bool operator==(const SurfacedConcept&) const = default;
};

}  // namespace vesk
