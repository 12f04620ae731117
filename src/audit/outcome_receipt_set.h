// OutcomeReceiptSet: the receipts an audit journal holds, in the order they
// are listed, with the lookups a capture makes.
//
// Receipts are added in reading order: the order their lines stand in the
// audit files, the rotated files first. The listing order is recorded_at_ms
// ascending, then receipt_id ascending (byte order), then reading order:
// what a stable sort of the reading order by time and id gives. "The first"
// receipt of a kind is the first in listing order, so a receipt added later
// may become the first of its kind when its time is earlier.
//
// A lookup is one hash probe; adding is a few, and a receipt that is not
// the latest in listing order also moves the ones listed after it. A listing
// by lineage walks that lineage's receipts alone, any other listing the
// whole set.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "audit/outcome_receipt.h"
#include "base/string_hash.h"

namespace vesk {

class OutcomeReceiptSet {
 public:
  // Adds a receipt that stands after every receipt already held.
  void add(OutcomeReceipt receipt);

  size_t size() const { return held_.size(); }
  bool empty() const { return held_.empty(); }

  // Copies of the receipts of the namespace and of the lineage (each filter
  // only when given, by exact equality), in listing order.
  std::vector<OutcomeReceipt> list(std::optional<std::string_view> namespace_ = std::nullopt,
                                   std::optional<std::string_view> lineage_id = std::nullopt) const;
  // The first receipt of this namespace, task and attempt, or null. A
  // pointer stays valid until the next add.
  const OutcomeReceipt* first_for_attempt(std::string_view namespace_, std::string_view task_id,
                                          std::string_view attempt_id) const;
  // The first receipt with this id, or null; valid until the next add.
  const OutcomeReceipt* first_with_id(std::string_view receipt_id) const;

 private:
  // Whether held_[a] is listed before held_[b].
  bool listed_before(uint32_t a, uint32_t b) const;
  // Inserts `i` into a list kept in listing order.
  void insert_listed(std::vector<uint32_t>& list, uint32_t i) const;
  // Keeps under `key` whichever of the receipt there and `i` is listed first.
  void keep_first(StringKeyMap<uint32_t>& map, std::string key, uint32_t i) const;

  std::vector<OutcomeReceipt> held_;  // reading order
  std::vector<uint32_t> listed_;      // indexes of held_, listing order
  StringKeyMap<uint32_t> first_by_attempt_;
  StringKeyMap<uint32_t> first_by_id_;
  StringKeyMap<std::vector<uint32_t>> by_lineage_;  // each in listing order
};

}  // namespace vesk
