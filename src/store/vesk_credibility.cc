// The store's source credibility tables: ratings read under the read lock,
// overrides set under the write lock (lock order: store/lock_order.h).
#include <cmath>
#include <string>

#include "store/vesk.h"

namespace vesk {

float Vesk::get_credibility(std::string_view url) const {
  auto tables = credibility_.read();
  return source_credibility(*tables, url);
}

Status Vesk::set_credibility_override(std::string_view domain, double score) {
  if (std::isnan(score)) return Status::Value(std::string(kNanCredibilityMessage));
  std::string host = credibility_override_key(domain);
  float rating = clamp_credibility(score);
  auto tables = credibility_.write();
  tables->overrides.insert_or_assign(std::move(host), rating);
  return Status::Ok();
}

}  // namespace vesk
