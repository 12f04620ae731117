#include "recall/recall_sessions.h"

#include <gtest/gtest.h>

#include "model/record_map.h"

namespace vesk {
namespace {

Record rec(std::string id, std::string ns = "default") {
  Record r;
  r.id = std::move(id);
  r.namespace_ = std::move(ns);
  return r;
}

TEST(LinkSessionRecords, EveryPairOfOneNamespaceBothWays) {
  RecordMap records;
  for (const char* id : {"a", "b", "c"}) records.insert_or_assign(id, rec(id));
  records.insert_or_assign("w", rec("w", "work"));
  std::vector<std::string> ids = {"c", "a", "w", "gone", "b"};
  SessionLinks links = link_session_records(ids, mutable_record_lookup(records));
  EXPECT_EQ(links.pairs_strengthened, 3u);
  EXPECT_EQ(links.session_records, 5u);
  EXPECT_EQ(links.changed_ids, (std::vector<std::string>{"a", "b", "c"}));
  for (const char* from : {"a", "b", "c"}) {
    const Record& r = records.at(from);
    EXPECT_EQ(r.connections.size(), 2u) << from;
    for (const auto& [to, w] : r.connections) {
      EXPECT_FLOAT_EQ(w, 0.05f);
      EXPECT_EQ(r.connection_types.at(to), "coactivation");
    }
  }
  EXPECT_TRUE(records.at("w").connections.empty());
}

TEST(LinkSessionRecords, StartsFromTheStrongerDirectionWhateverTheOrder) {
  for (bool a_first : {true, false}) {
    RecordMap records;
    Record a = rec("a"), b = rec("b");
    a.connections["b"] = 0.5f;
    a.connection_types["b"] = "supports";
    b.connections["a"] = 0.9f;
    records.insert_or_assign("a", a);
    records.insert_or_assign("b", b);
    std::vector<std::string> ids = a_first ? std::vector<std::string>{"a", "b"} : std::vector<std::string>{"b", "a"};
    link_session_records(ids, mutable_record_lookup(records));
    EXPECT_FLOAT_EQ(records.at("a").connections.at("b"), 0.905f);
    EXPECT_FLOAT_EQ(records.at("b").connections.at("a"), 0.905f);
    EXPECT_EQ(records.at("a").connection_types.at("b"), "supports");  // an existing type stays
    EXPECT_EQ(records.at("b").connection_types.at("a"), "coactivation");
  }
  RecordMap full;
  Record a = rec("a");
  a.connections["b"] = 1.0f;
  full.insert_or_assign("a", a);
  full.insert_or_assign("b", rec("b"));
  std::vector<std::string> ids = {"b", "a"};
  link_session_records(ids, mutable_record_lookup(full));
  EXPECT_EQ(full.at("a").connections.at("b"), 1.0f);
  EXPECT_EQ(full.at("b").connections.at("a"), 1.0f);
}

TEST(RecordHistory, TextsWithFixedDecimals) {
  Record r = rec("abc");
  r.content = "hello";
  r.level = Level::Identity;
  r.strength = 0.9f;
  r.activation_count = 7;
  r.created_at = 1000.0;
  r.last_activated = 1000.0 + 86400.0 * 2;
  r.valid_from = 2.0625;
  r.tags = {"x", "y"};
  r.salience = 0.125f;
  r.connections["q"] = 0.5f;
  StringMap h = record_history(r, 1000.0 + 86400.0 * 3 + 432.0);
  EXPECT_EQ(h.at("level"), "IDENTITY");
  EXPECT_EQ(h.at("strength"), "0.9000");
  EXPECT_EQ(h.at("activation_count"), "7");
  EXPECT_EQ(h.at("created_at"), "1000.000");
  EXPECT_EQ(h.at("valid_from"), "2.062");  // an exact half goes to even
  EXPECT_EQ(h.at("valid_until"), "");
  EXPECT_EQ(h.at("superseded_at"), "");
  EXPECT_EQ(h.at("age_days"), "3.00");  // 3.005: the binary value lies below the half
  EXPECT_EQ(h.at("days_since_activation"), "1.00");
  EXPECT_EQ(h.at("tags"), "x, y");
  EXPECT_EQ(h.at("salience"), "0.1250");
  EXPECT_EQ(h.at("connections"), "1");
  EXPECT_FALSE(h.contains("salience_reason"));
  EXPECT_EQ(h.size(), 17u);

  r.metadata["salience_reason"] = "asked twice";
  StringMap future = record_history(r, 1000.0 - 864.0);
  EXPECT_EQ(future.at("salience_reason"), "asked twice");
  EXPECT_EQ(future.at("age_days"), "-0.01");
}

}  // namespace
}  // namespace vesk
