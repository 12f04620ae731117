#include "recall/activation.h"

#include <gtest/gtest.h>

#include "base/string_hash.h"

namespace vesk {
namespace {

constexpr double kNow = 1'700'000'000.0;
constexpr double kDay = 86400.0;

using RecordMap = StringKeyMap<Record>;

Record record(std::string id, float strength = 0.5f, double last_activated = kNow - 10 * kDay) {
  Record r;
  r.id = std::move(id);
  r.strength = strength;
  r.last_activated = last_activated;
  return r;
}

std::vector<ScoredRecord> results_of(const std::vector<std::string>& ids) {
  std::vector<ScoredRecord> out;
  for (const auto& id : ids) out.push_back(ScoredRecord{1.0f, record(id)});
  return out;
}

void activate(RecordMap& records, const std::vector<std::string>& ids, SessionMap* sessions = nullptr,
              std::optional<std::string_view> session = std::nullopt, double now = kNow) {
  SessionMap scratch;
  apply_recall_activation(results_of(ids), mutable_record_lookup(records), sessions ? *sessions : scratch, session,
                          [now] { return now; });
}

TEST(ApplyRecallActivation, StrengthCountTimeAndVelocity) {
  struct Case {
    const char* name;
    float strength, velocity;
    double last_activated;
    float want_strength, want_velocity;
  } cases[] = {
      {"capped strength", 0.9f, 0.0f, kNow - 2 * kDay, 1.0f, 0.15f},
      {"two days ago", 0.5f, 0.0f, kNow - 2 * kDay, 0.7f, 0.15f},
      {"same second: 1/days capped at 100", 0.5f, 1.0f, kNow, 0.7f, 0.7f + 30.0f},
      {"in the future counts as 0.001 days", 0.5f, 0.0f, kNow + kDay, 0.7f, 30.0f},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    RecordMap records;
    Record r = record("a", c.strength, c.last_activated);
    r.activation_velocity = c.velocity;
    r.activation_count = 4;
    records["a"] = r;
    activate(records, {"a"});
    const Record& got = records["a"];
    EXPECT_EQ(got.strength, c.want_strength);
    EXPECT_FLOAT_EQ(got.activation_velocity, c.want_velocity);
    EXPECT_EQ(got.activation_count, 5u);
    EXPECT_EQ(got.last_activated, kNow);
    EXPECT_TRUE(got.connections.empty());
  }
}

TEST(ApplyRecallActivation, CoRecalledRecordsAreLinkedBothWaysFromTheFirstOnesWeight) {
  RecordMap records;
  for (const char* id : {"a", "b"}) records[id] = record(id);
  activate(records, {"a", "b"});
  EXPECT_EQ(records["a"].connections.at("b"), 0.05f);
  EXPECT_EQ(records["b"].connections.at("a"), 0.05f);
  EXPECT_TRUE(records["a"].connection_types.empty());
  activate(records, {"a", "b"});
  EXPECT_EQ(records["a"].connections.at("b"), 0.0975f);
  EXPECT_EQ(records["b"].connections.at("a"), 0.0975f);

  records["a"].connections["b"] = 0.5f;
  records["b"].connections["a"] = 0.1f;
  activate(records, {"a", "b"});
  EXPECT_FLOAT_EQ(records["a"].connections.at("b"), 0.525f);
  EXPECT_EQ(records["b"].connections.at("a"), records["a"].connections.at("b"));

  records["a"].connections["b"] = 1.0f;
  activate(records, {"a", "b"});
  EXPECT_EQ(records["b"].connections.at("a"), 1.0f);

  // A result whose record is gone (deleted since the recall) is not created;
  // the records recalled with it still link to it.
  activate(records, {"ghost", "a"});
  EXPECT_EQ(records["a"].connections.at("ghost"), 0.05f);
  EXPECT_FALSE(records.contains("ghost"));
}

TEST(ApplyRecallActivation, SessionsGetTheActivatedIdsAndTheTime) {
  RecordMap records;
  records["a"] = record("a");
  SessionMap sessions;
  activate(records, {}, &sessions, "s", kNow);
  ASSERT_TRUE(sessions.contains("s"));
  EXPECT_TRUE(sessions["s"].record_ids.empty());
  EXPECT_EQ(sessions["s"].started_at, kNow);

  activate(records, {"a", "ghost"}, &sessions, "s", kNow + 5);
  EXPECT_EQ(sessions["s"].record_ids, (StringSet{"a", "ghost"}));
  EXPECT_EQ(sessions["s"].started_at, kNow);
  EXPECT_EQ(sessions["s"].last_recall_at, kNow + 5);
  activate(records, {"a"});  // no session: nothing noted
  EXPECT_EQ(sessions.size(), 1u);
}

TEST(BumpCorecallWeight, StartsAtTwoHundredthsAndStopsAtOne) {
  Topology g;
  bump_corecall_weight(g, 1, 2);
  EXPECT_EQ(g.edges[1], (std::vector<Edge>{{2, 0.02f}}));
  bump_corecall_weight(g, 1, 3);
  bump_corecall_weight(g, 1, 2);
  EXPECT_EQ(g.edges[1], (std::vector<Edge>{{2, 0.02f + 0.02f}, {3, 0.02f}}));
  for (int i = 0; i < 60; ++i) bump_corecall_weight(g, 1, 2);
  EXPECT_EQ(g.edges[1][0].weight, 1.0f);
  EXPECT_FALSE(g.edges.contains(2));
}

TEST(RecordKey, IsFnv1a64) {
  EXPECT_EQ(record_key(""), 0xcbf29ce484222325ull);
  EXPECT_EQ(record_key("a"), 0xaf63dc4c8601ec8cull);
  EXPECT_EQ(record_key("foobar"), 0x85944171f73967e8ull);
}

struct Bookkeeping {
  std::shared_mutex records_mu, sessions_mu;
  RecordMap records;
  SessionMap sessions;
  PendingActivations pending;
  PlasticityState plasticity;
  std::vector<std::pair<std::string, uint64_t>> audited;
  bool locks_held_during_audit = true;

  RecallActivityTargets targets() {
    return RecallActivityTargets{
        .records_and_sessions = lock_records_and_sessions(records_mu, records, sessions_mu, sessions),
        .audit_retrieve =
            [this](std::string_view preview, uint64_t count) {
              locks_held_during_audit &= !records_mu.try_lock_shared() && !sessions_mu.try_lock_shared();
              audited.emplace_back(preview, count);
              return Status::Runtime("audit journal full");  // dropped
            },
        .pending = pending,
        .plasticity = plasticity,
        .now = [] { return kNow; },
    };
  }
};

TEST(RecordRecallActivity, TenAreActivatedSixFeedTheGraphAndTheRetrievalIsAudited) {
  Bookkeeping b;
  std::vector<std::string> ids;
  for (int i = 0; i < 12; ++i) {
    std::string id(1, static_cast<char>('a' + i));
    ids.push_back(id);
    b.records[id] = record(id);
  }
  const std::string query = std::string(48, 'q') + "éèx";  // 51 characters
  record_recall_activity(b.targets(), results_of(ids), query, "s1");

  for (int i = 0; i < 12; ++i) {
    const Record& r = b.records[ids[i]];
    EXPECT_EQ(r.activation_count, i < 10 ? 1u : 0u) << ids[i];
    EXPECT_EQ(r.connections.size(), i < 10 ? 9u : 0u) << ids[i];
    EXPECT_EQ(b.pending.contains(ids[i]), i < 10) << ids[i];
    EXPECT_EQ(b.sessions["s1"].record_ids.contains(ids[i]), i < 10) << ids[i];
    auto edges = b.plasticity.topology.edges.find(record_key(ids[i]));
    EXPECT_EQ(edges == b.plasticity.topology.edges.end() ? 0u : edges->second.size(), i < 6 ? 5u : 0u) << ids[i];
  }
  EXPECT_EQ(b.plasticity.topology.edges[record_key("a")][0], (Edge{record_key("b"), 0.02f}));
  ASSERT_EQ(b.audited.size(), 1u);
  EXPECT_EQ(b.audited[0].first, std::string(48, 'q') + "éè");
  EXPECT_EQ(b.audited[0].second, 12u);
  EXPECT_TRUE(b.locks_held_during_audit);
}

TEST(RecordRecallActivity, FewerThanTwoDistinctKeysTouchNoEdge) {
  Bookkeeping b;
  b.records["a"] = record("a");
  record_recall_activity(b.targets(), results_of({"a"}), "q", std::nullopt);
  EXPECT_EQ(b.records["a"].activation_count, 1u);
  EXPECT_TRUE(b.plasticity.topology.edges.empty());
  // The same id twice has one key: the pair is skipped.
  record_recall_activity(b.targets(), results_of({"a", "a"}), "q", std::nullopt);
  EXPECT_TRUE(b.plasticity.topology.edges.empty());
  record_recall_activity(b.targets(), {}, "nothing", std::nullopt);
  ASSERT_EQ(b.audited.size(), 3u);
  EXPECT_EQ(b.audited[2], (std::pair<std::string, uint64_t>{"nothing", 0}));
  EXPECT_EQ(b.pending.take(), StringSet{"a"});
  EXPECT_EQ(b.pending.size(), 0u);
}

}  // namespace
}  // namespace vesk
