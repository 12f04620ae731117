#include "index/signature_buckets.h"

#include <algorithm>
#include <bit>

#include "model/backward_shift.h"

namespace vesk {

void SignatureBuckets::grow() {
  std::vector<Entry> old = std::move(table_);
  const size_t cap = old.empty() ? 16 : old.size() * 2;
  table_.assign(cap, Entry{kEmpty, 0});
  mask_ = cap - 1;
  shift_ = 32 - std::countr_zero(cap);
  for (const Entry& e : old)
    if (e.value != kEmpty) table_[find_slot(e.value)] = e;
}

void SignatureBuckets::add(uint32_t value, uint32_t doc) {
  make_room();
  add_at(find_slot(value), value, doc);
}

void SignatureBuckets::add_at(size_t slot, uint32_t value, uint32_t doc) {
  Entry& e = table_[slot];
  if (e.value == kEmpty) {
    e = Entry{value, doc};
    ++used_;
    return;
  }
  if (e.ref & kList) {
    lists_[e.ref & ~kList].push_back(doc);
    return;
  }
  uint32_t li;
  if (!free_lists_.empty()) {
    li = free_lists_.back();
    free_lists_.pop_back();
  } else {
    li = static_cast<uint32_t>(lists_.size());
    lists_.emplace_back();
  }
  lists_[li] = {e.ref, doc};
  e.ref = kList | li;
}

void SignatureBuckets::remove(uint32_t value, uint32_t doc) {
  if (table_.empty()) return;
  const size_t i = find_slot(value);
  Entry& e = table_[i];
  if (e.value == kEmpty) return;
  if (!(e.ref & kList)) {
    if (e.ref == doc) erase_slot(i);
    return;
  }
  const uint32_t li = e.ref & ~kList;
  std::vector<uint32_t>& list = lists_[li];
  list.erase(std::remove(list.begin(), list.end(), doc), list.end());
  if (list.size() > 1) return;
  if (list.size() == 1) {
    e.ref = list[0];
  } else {
    erase_slot(i);
  }
  std::vector<uint32_t>().swap(list);
  free_lists_.push_back(li);
}

void SignatureBuckets::erase_slot(size_t i) {
  erase_by_backward_shift(
      table_.data(), mask_, i, [](const Entry& e) { return e.value == kEmpty; },
      [this](const Entry& e) { return home(e.value); }, [](Entry& e) { e = Entry{kEmpty, 0}; });
  --used_;
}

}  // namespace vesk
