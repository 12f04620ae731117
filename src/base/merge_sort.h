// A stable merge sort that needs no strict weak ordering.
//
// std::sort and std::stable_sort are undefined when the comparison is not a
// strict weak ordering, which a float key with NaN ("NaN compares equal")
// breaks. This sort only asks `before(a, b)`: it takes an element of the right
// run ahead of the left one only when before(right, left) holds, so any
// predicate gives some permutation, and elements that do not come "before"
// one another keep their order.
#pragma once

#include <algorithm>
#include <cstddef>
#include <utility>
#include <vector>

namespace vesk {

template <class T, class Before>
void merge_sort(std::vector<T>& items, Before before) {
  const size_t n = items.size();
  if (n < 2) return;
  std::vector<T> buffer(n);
  std::vector<T>* src = &items;
  std::vector<T>* dst = &buffer;
  for (size_t width = 1; width < n; width *= 2) {
    for (size_t lo = 0; lo < n; lo += 2 * width) {
      const size_t mid = std::min(lo + width, n), hi = std::min(lo + 2 * width, n);
      size_t i = lo, j = mid, k = lo;
      while (i < mid && j < hi) (*dst)[k++] = before((*src)[j], (*src)[i]) ? std::move((*src)[j++]) : std::move((*src)[i++]);
      while (i < mid) (*dst)[k++] = std::move((*src)[i++]);
      while (j < hi) (*dst)[k++] = std::move((*src)[j++]);
    }
    std::swap(src, dst);
  }
  if (src != &items) items = std::move(*src);
}

}  // namespace vesk
