// A retrieval episode: the state of one act of answering from memory. It is
// started with a query, the ids of the records retrieval offered and the
// routes the answer may cite through; it lives only in the object handed to
// the caller and is never written to the store.
//
// Invariants: `routes` and `candidate_ids` are ordered sets (ascending, no
// repeats; ids in byte order), whatever order they were given in.
#pragma once

#include <set>
#include <string>

#include "audit/memory_route.h"

namespace vesk {

struct RetrievalEpisode {
  std::string id;     // a version 4 UUID, hyphenated, lower case
  std::string query;  // as given, not trimmed
  std::set<MemoryRoute> routes;
  std::set<std::string> candidate_ids;

  bool operator==(const RetrievalEpisode&) const = default;
};

}  // namespace vesk
