#include "recall/record_validity.h"

#include <gtest/gtest.h>

#include <limits>

#include "base/string_hash.h"

namespace vesk {
namespace {

constexpr double kT = 1'700'000'000.0;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

Record windowed(std::string id, std::optional<double> from, std::optional<double> until, std::string ns = "default") {
  Record r;
  r.id = std::move(id);
  r.valid_from = from;
  r.valid_until = until;
  r.namespace_ = std::move(ns);
  return r;
}

TEST(RecordsValidAt, KeepsCopiesOfTheRecordsWhoseWindowHoldsT) {
  struct Case {
    std::optional<double> from, until;
    bool valid;
  } cases[] = {
      {std::nullopt, std::nullopt, true},
      {kT, std::nullopt, true},          // from is inclusive
      {kT + 1, std::nullopt, false},
      {std::nullopt, kT, false},         // until is exclusive
      {std::nullopt, kT + 1, true},
      {kT - 1, kT + 1, true},
      {kNaN, std::nullopt, false},
      {std::nullopt, kInf, false},       // set bounds must be finite
      {-kInf, std::nullopt, false},
  };
  StringKeyMap<Record> records;
  for (size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(record_valid_at(windowed("r", cases[i].from, cases[i].until), kT), cases[i].valid) << i;
    std::string id(1, 'r');
    id += std::to_string(i);
    records[id] = windowed(id, cases[i].from, cases[i].until);
  }
  auto valid = records_valid_at(records, kT);
  EXPECT_EQ(valid.size(), 4u);
  EXPECT_EQ(valid.at("r1"), records.at("r1"));
  EXPECT_EQ(records.size(), std::size(cases));
  EXPECT_TRUE(records_valid_at(records, kNaN).empty());
  EXPECT_TRUE(records_valid_at(records, kInf).empty());
}

TEST(HasTemporalValidity, LooksOnlyAtTheRequestedNamespaces) {
  StringKeyMap<Record> records;
  records["plain"] = windowed("plain", std::nullopt, std::nullopt);
  records["w"] = windowed("w", std::nullopt, kT, "work");
  using Names = std::optional<std::vector<std::string>>;
  EXPECT_FALSE(has_temporal_validity(records, std::nullopt));
  EXPECT_TRUE(has_temporal_validity(records, Names{{"default", "work"}}));
  EXPECT_FALSE(has_temporal_validity(records, Names{std::vector<std::string>{}}));
  records["d"] = windowed("d", kT, std::nullopt);
  EXPECT_TRUE(has_temporal_validity(records, std::nullopt));
  EXPECT_FALSE(has_temporal_validity(records, Names{{"other"}}));
}

}  // namespace
}  // namespace vesk
