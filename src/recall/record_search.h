// The filters of the record search (Vesk::search): an exact lookup by
// fields, with no scoring and no index.
//
// A record is found when, in this order: it is valid now (recall/
// record_validity.h), its namespace is one of the list (exact; an empty list
// finds nothing), its level is the one given, it carries at least one of the
// given tags (exact and case-sensitive; an empty tag list finds nothing), its
// content type, stored source type and semantic type equal those given, its
// content contains the query ignoring case (Unicode lower case of both; an
// empty query passes), and an anonymous reader may read it (no access
// restriction). A filter not given passes every record.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "model/level.h"
#include "model/record.h"

namespace vesk {

inline constexpr size_t kDefaultSearchLimit = 20;

struct SearchQuery {
  std::optional<std::string> query;
  std::optional<Level> level;
  std::optional<std::vector<std::string>> tags;
  std::optional<size_t> limit;  // none: 20
  std::optional<std::string> content_type;
  std::optional<std::string> source_type;
  std::optional<std::string> semantic_type;
  std::optional<std::vector<std::string>> namespaces;  // none: {"default"}
};

// The query with its defaults applied and its text lower-cased once.
class SearchFilter {
 public:
  explicit SearchFilter(const SearchQuery& q);
  // Whether the record passes every filter at time `now`.
  bool matches(const Record& r, double now) const;
  // Every filter but the access test, for a caller that knows the few
  // records an anonymous reader may not see by other means.
  bool matches_fields(const Record& r, double now) const;
  size_t limit() const { return limit_; }

 private:
  const SearchQuery& q_;
  std::vector<std::string> namespaces_;
  std::optional<std::string> lowered_query_;  // none: no text test
  size_t limit_;
};

}  // namespace vesk
