#include "write/namespace_list.h"

#include <algorithm>

namespace vesk {

void NamespaceList::add(std::string_view ns) {
  if (!seen_.contains(ns)) seen_.emplace(ns);
}

std::vector<std::string> NamespaceList::sorted() const {
  std::vector<std::string> out(seen_.begin(), seen_.end());
  // std::string compares as unsigned bytes, which is the byte order of UTF-8.
  std::sort(out.begin(), out.end());
  return out;
}

}  // namespace vesk
