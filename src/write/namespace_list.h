// The namespaces in use: the distinct `namespace` of a set of records.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "model/record.h"

namespace vesk {

// Distinct namespaces, ascending by the bytes of their UTF-8 text, so capitals
// sort before lower case ("Alpha", "default", "work"). Feed each record's
// namespace to add(), then take the list.
class NamespaceList {
 public:
  void add(std::string_view ns);
  std::vector<std::string> sorted() const;

 private:
  StringSet seen_;
};

namespace detail {
inline const Record& as_record(const Record& r) { return r; }
template <class P>
  requires requires(const P& p) { static_cast<const Record&>(*p); }
const Record& as_record(const P& p) {
  return *p;
}
template <class K, class V>
const Record& as_record(const std::pair<K, V>& entry) {
  return as_record(entry.second);
}
}  // namespace detail

// The namespaces of the records of any range: records, pointers to records,
// or (id, record) map entries. The caller holds the records' read lock.
template <class Records>
std::vector<std::string> list_namespaces(const Records& records) {
  NamespaceList list;
  for (const auto& entry : records) list.add(detail::as_record(entry).namespace_);
  return list.sorted();
}

}  // namespace vesk
