#include "audit/outcome_receipt_set.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vesk {
namespace {

// A receipt told apart by its task; `tag` marks which copy it is.
OutcomeReceipt receipt(std::string id, uint64_t ms, std::string ns = "default", std::string lineage = "l1",
                       std::string task = "t", std::string tag = "") {
  OutcomeReceipt r;
  r.receipt_id = std::move(id);
  r.recorded_at_ms = ms;
  r.namespace_ = std::move(ns);
  r.lineage_id = std::move(lineage);
  r.task_id = std::move(task);
  r.attempt_id = "a";
  r.integrity_digest = std::move(tag);
  return r;
}

std::vector<std::string> ids(const std::vector<OutcomeReceipt>& rs) {
  std::vector<std::string> out;
  for (const OutcomeReceipt& r : rs) out.push_back(r.receipt_id + r.integrity_digest);
  return out;
}

TEST(OutcomeReceiptSet, ListsByTimeThenIdThenReadingOrder) {
  OutcomeReceiptSet set;
  set.add(receipt("c", 20, "default", "l1", "t1"));
  set.add(receipt("b", 10, "work", "l2", "t2"));
  set.add(receipt("a", 20, "default", "l2", "t3"));
  set.add(receipt("b", 10, "default", "l1", "t4", "'"));  // same time and id: after the first
  set.add(receipt("d", 5, "work", "l1", "t5"));           // earlier than all, read last
  EXPECT_EQ(ids(set.list()), (std::vector<std::string>{"d", "b", "b'", "a", "c"}));
  EXPECT_EQ(ids(set.list("default")), (std::vector<std::string>{"b'", "a", "c"}));
  EXPECT_EQ(ids(set.list(std::nullopt, "l1")), (std::vector<std::string>{"d", "b'", "c"}));
  EXPECT_EQ(ids(set.list("work", "l1")), (std::vector<std::string>{"d"}));
  EXPECT_TRUE(set.list("other").empty());
  EXPECT_TRUE(set.list(std::nullopt, "l9").empty());
}

TEST(OutcomeReceiptSet, TheFirstOfAKindIsTheFirstListed) {
  OutcomeReceiptSet set;
  set.add(receipt("r1", 30, "default", "l1", "t", "late"));
  set.add(receipt("r1", 30, "default", "l1", "t", "again"));
  EXPECT_EQ(set.first_for_attempt("default", "t", "a")->integrity_digest, "late");
  EXPECT_EQ(set.first_with_id("r1")->integrity_digest, "late");
  // Read later, listed earlier.
  set.add(receipt("r1", 10, "default", "l1", "t", "early"));
  EXPECT_EQ(set.first_for_attempt("default", "t", "a")->integrity_digest, "early");
  EXPECT_EQ(set.first_with_id("r1")->integrity_digest, "early");

  EXPECT_EQ(set.first_for_attempt("work", "t", "a"), nullptr);
  EXPECT_EQ(set.first_for_attempt("default", "t", "b"), nullptr);
  EXPECT_EQ(set.first_with_id("r2"), nullptr);
  // The parts of the key cannot run into each other.
  set.add(receipt("r3", 40, "de", "l1", "fault"));
  EXPECT_EQ(set.first_for_attempt("def", "ault", "a"), nullptr);
  EXPECT_NE(set.first_for_attempt("de", "fault", "a"), nullptr);
}

}  // namespace
}  // namespace vesk
