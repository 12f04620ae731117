#include "audit/outcome_receipt_set.h"

#include <algorithm>
#include <tuple>
#include <utility>

namespace vesk {
namespace {

// Namespace, task and attempt as one key: each part after its length, so
// no two triples share a key whatever bytes they hold.
std::string attempt_key(std::string_view namespace_, std::string_view task_id, std::string_view attempt_id) {
  std::string key;
  key.reserve(namespace_.size() + task_id.size() + attempt_id.size() + 24);
  for (std::string_view part : {namespace_, task_id, attempt_id}) {
    key += std::to_string(part.size());
    key.push_back(':');
    key.append(part);
  }
  return key;
}

}  // namespace

bool OutcomeReceiptSet::listed_before(uint32_t a, uint32_t b) const {
  const OutcomeReceipt& x = held_[a];
  const OutcomeReceipt& y = held_[b];
  return std::tie(x.recorded_at_ms, x.receipt_id, a) < std::tie(y.recorded_at_ms, y.receipt_id, b);
}

void OutcomeReceiptSet::insert_listed(std::vector<uint32_t>& list, uint32_t i) const {
  // Receipts mostly arrive in time order: the new one usually goes last.
  if (list.empty() || listed_before(list.back(), i)) {
    list.push_back(i);
    return;
  }
  auto at = std::upper_bound(list.begin(), list.end(), i, [this](uint32_t a, uint32_t b) { return listed_before(a, b); });
  list.insert(at, i);
}

void OutcomeReceiptSet::keep_first(StringKeyMap<uint32_t>& map, std::string key, uint32_t i) const {
  auto [it, inserted] = map.try_emplace(std::move(key), i);
  if (!inserted && listed_before(i, it->second)) it->second = i;
}

void OutcomeReceiptSet::add(OutcomeReceipt receipt) {
  const auto i = static_cast<uint32_t>(held_.size());
  held_.push_back(std::move(receipt));
  const OutcomeReceipt& r = held_.back();
  insert_listed(listed_, i);
  insert_listed(by_lineage_[r.lineage_id], i);
  keep_first(first_by_attempt_, attempt_key(r.namespace_, r.task_id, r.attempt_id), i);
  keep_first(first_by_id_, r.receipt_id, i);
}

std::vector<OutcomeReceipt> OutcomeReceiptSet::list(std::optional<std::string_view> namespace_,
                                                    std::optional<std::string_view> lineage_id) const {
  const std::vector<uint32_t>* ids = &listed_;
  if (lineage_id) {
    auto it = by_lineage_.find(*lineage_id);
    if (it == by_lineage_.end()) return {};
    ids = &it->second;
  }
  std::vector<OutcomeReceipt> out;
  if (!namespace_) out.reserve(ids->size());
  for (uint32_t i : *ids) {
    if (!namespace_ || held_[i].namespace_ == *namespace_) out.push_back(held_[i]);
  }
  return out;
}

const OutcomeReceipt* OutcomeReceiptSet::first_for_attempt(std::string_view namespace_, std::string_view task_id,
                                                           std::string_view attempt_id) const {
  auto it = first_by_attempt_.find(attempt_key(namespace_, task_id, attempt_id));
  return it == first_by_attempt_.end() ? nullptr : &held_[it->second];
}

const OutcomeReceipt* OutcomeReceiptSet::first_with_id(std::string_view receipt_id) const {
  auto it = first_by_id_.find(receipt_id);
  return it == first_by_id_.end() ? nullptr : &held_[it->second];
}

}  // namespace vesk
