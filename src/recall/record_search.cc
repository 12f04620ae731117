#include "recall/record_search.h"

#include <algorithm>

#include "model/record_access.h"
#include "model/unicode_case.h"
#include "recall/record_validity.h"

namespace vesk {

SearchFilter::SearchFilter(const SearchQuery& q)
    : q_(q),
      namespaces_(q.namespaces ? *q.namespaces : std::vector<std::string>{"default"}),
      limit_(q.limit.value_or(kDefaultSearchLimit)) {
  if (q.query && !q.query->empty()) lowered_query_ = unicode_lower(*q.query);
}

bool SearchFilter::matches(const Record& r, double now) const { return matches_fields(r, now) && record_is_public(r); }

bool SearchFilter::matches_fields(const Record& r, double now) const {
  if (!record_valid_at(r, now)) return false;
  if (std::find(namespaces_.begin(), namespaces_.end(), r.namespace_) == namespaces_.end()) return false;
  if (q_.level && r.level != *q_.level) return false;
  if (q_.tags) {
    const auto& wanted = *q_.tags;
    const bool any = std::any_of(wanted.begin(), wanted.end(), [&](const std::string& tag) {
      return std::find(r.tags.begin(), r.tags.end(), tag) != r.tags.end();
    });
    if (!any) return false;
  }
  if (q_.content_type && r.content_type != *q_.content_type) return false;
  if (q_.source_type && r.source_type != *q_.source_type) return false;
  if (q_.semantic_type && r.semantic_type != *q_.semantic_type) return false;
  return !lowered_query_ || unicode_lower(r.content).find(*lowered_query_) != std::string::npos;
}

}  // namespace vesk
