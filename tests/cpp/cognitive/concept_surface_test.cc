// The concept surface's ordering where floats are not numbers: the sort must
// treat them as equal and let the next key decide, without undefined
// behaviour.
#include "cognitive/concept_surface.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace vesk {
namespace {

ConceptCandidate make(std::string id, float score, float confidence, ConceptState state = ConceptState::Stable) {
  ConceptCandidate c;
  c.id = id;
  c.key = "k:" + id;
  c.namespace_ = "n" + id;  // one namespace each: no per-namespace cap
  c.belief_ids = {"b1", "b2"};
  c.record_ids = {"r1"};
  c.core_terms = {"kiln"};
  c.abstraction_score = score;
  c.confidence = confidence;
  c.state = state;
  return c;
}

TEST(ConceptSurface, NotANumberCountsAsEqualAndIsNeverACandidateBar) {
  StringKeyMap<ConceptCandidate> concepts;
  for (ConceptCandidate c : {make("1", 0.9f, 0.5f), make("2", NAN, 0.9f), make("3", 0.8f, NAN),
                             make("4", NAN, 0.1f, ConceptState::Candidate)})
    concepts.emplace(c.id, c);
  std::vector<std::string> ids;
  for (const SurfacedConcept& s : surface_concepts(concepts, std::nullopt, std::nullopt)) ids.push_back(s.id);
  // The NaN candidate fails the 0.7 bar; the rest all appear once.
  ASSERT_EQ(ids.size(), 3u);
  EXPECT_EQ(std::count(ids.begin(), ids.end(), "4"), 0);
  EXPECT_LT(std::find(ids.begin(), ids.end(), "1"), std::find(ids.begin(), ids.end(), "3"));
  EXPECT_TRUE(surface_concepts(concepts, 0, std::nullopt).empty());
  EXPECT_EQ(surface_concepts(concepts, 2, std::nullopt).size(), 2u);
}

}  // namespace
}  // namespace vesk
