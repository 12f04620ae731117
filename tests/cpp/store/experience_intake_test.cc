// The experience intake of a maintenance cycle on a whole store: a queue and
// a plasticity mode injected by hand (no operation fills the one or changes
// the other), then one cycle.
#include "maintenance/experience_intake.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "audit/audit_entry.h"
#include "base/fixed_env.h"
#include "storage/test_dir.h"
#include "store/vesk.h"
#include "store/vesk_test_access.h"

namespace vesk {
namespace {

using testing::FixedEnv;
using testing::TempDir;
using Event = ExperienceEvent;

constexpr uint8_t kObserve = static_cast<uint8_t>(PlasticityMode::Observe);
constexpr uint8_t kDefault = static_cast<uint8_t>(PlasticityMode::Default);

// A negated observation, and first-hand memories at two distances from it.
constexpr const char* kNegated = "The nightly deploy never runs on friday evenings";
constexpr const char* kAtSixTenths = "nightly deploy runs friday evenings";
constexpr const char* kAtSevenTenths = "The nightly deploy always runs on friday evenings";

Event observe(std::string text, ClaimCertainty certainty = ClaimCertainty::Asserted) {
  return Event{Event::Observation{std::move(text), {"exp"}, "fact", certainty}};
}

ExperienceItem item(std::vector<Event> events, ExperienceSource source = ExperienceSource::Human,
                    std::string id = "exp-1") {
  return ExperienceItem{"sess-1", std::move(id), std::move(events), source};
}

class ExperienceIntakeTest : public ::testing::Test {
 protected:
  void SetUp() override { reopen(); }

  void reopen() {
    store_.reset();
    auto v = Vesk::open(dir_.path(), std::nullopt, env_);
    ASSERT_TRUE(v.ok()) << v.status().message();
    store_ = std::move(v).value();
  }
  CognitiveLayers& layers() { return VeskTestAccess::layers(*store_); }
  PlasticityCounters& counters() { return layers().plasticity_counters; }

  // One cycle on `items` under `mode`; experience_injected.
  uint64_t cycle(uint8_t mode, std::vector<ExperienceItem> items) {
    layers().plasticity_mode.store(mode);
    layers().experience_queue.write()->items = std::move(items);
    return store_->run_maintenance().experience_injected;
  }

  std::string remember(std::string text) {
    StoreRequest r;
    r.content = std::move(text);
    r.auto_promote = false;
    Result<std::string> id = store_->store(std::move(r));
    EXPECT_TRUE(id.ok()) << id.status().message();
    return id.ok() ? *id : "";
  }

  // The correction entries of the audit journal file, in file order.
  std::vector<AuditAction::Correction> corrections() {
    std::vector<AuditAction::Correction> out;
    std::istringstream lines(testing::slurp(dir_.path() / "brain.audit"));
    for (std::string line; std::getline(lines, line);) {
      Result<AuditEntry> entry = parse_audit_entry(line);
      EXPECT_TRUE(entry.ok()) << line;
      if (!entry.ok()) continue;
      if (auto* c = std::get_if<AuditAction::Correction>(&entry->action.value)) out.push_back(*c);
    }
    return out;
  }

  std::vector<Record> experience_records() {
    std::vector<Record> out;
    auto records = VeskTestAccess::records(*store_).records.read();
    for (const auto& [id, r] : *records) {
      if (r.metadata.contains("experience_source")) out.push_back(r);
    }
    return out;
  }

  TempDir dir_;
  FixedEnv env_;
  std::unique_ptr<Vesk> store_;
};

TEST_F(ExperienceIntakeTest, HumanObservationsBecomeExperienceRecordsThatOutliveTheStore) {
  // With decay off no later pass of the cycle rewrites the new records.
  MaintenanceConfig config;
  config.decay_enabled = false;
  store_->configure_maintenance(config);
  EXPECT_EQ(cycle(kDefault, {item({observe("Alice prefers tea in the afternoon"),
                                   observe("The build server lives in the basement")})}),
            2u);
  EXPECT_TRUE(layers().experience_queue.write()->items.empty());
  std::vector<Record> added = experience_records();
  ASSERT_EQ(added.size(), 2u);
  for (const Record& r : added) {
    EXPECT_EQ(r.metadata.at("source"), "experience");  // the channel
    EXPECT_EQ(r.source_type, "recorded");
    EXPECT_EQ(r.metadata.at("experience_source"), "human");
    EXPECT_EQ(r.metadata.at("session_id"), "sess-1");
    EXPECT_EQ(r.level, Level::Working);
    EXPECT_EQ(r.semantic_type, "fact");
    EXPECT_EQ(r.confidence, 0.5f);
  }
  std::vector<AuditAction::Correction> log = corrections();
  ASSERT_EQ(log.size(), 2u);
  for (const AuditAction::Correction& c : log) {
    EXPECT_EQ(c.target_kind, "experience");
    EXPECT_EQ(c.operation, "new_record");
    EXPECT_EQ(c.reason, "plasticity:new_record:exp-1");
    EXPECT_TRUE(store_->get(c.target_id).has_value());
  }

  // The confidence the intake set is journaled, not only held.
  reopen();
  added = experience_records();
  ASSERT_EQ(added.size(), 2u);
  for (const Record& r : added) EXPECT_EQ(r.confidence, 0.5f);
}

TEST_F(ExperienceIntakeTest, SourcesGiveTheirTextAndSourceType) {
  struct Case {
    ExperienceSource source;
    const char* text;
    const char* source_type;
  };
  const Case cases[] = {{ExperienceSource::WorldFact, "world_fact", "recorded"},
                        {ExperienceSource::Human, "human", "recorded"},
                        {ExperienceSource::ModelInference, "model_inference", "generated"},
                        {ExperienceSource::Internal, "internal", "inferred"}};
  std::vector<ExperienceItem> items;
  for (const Case& c : cases) {
    items.push_back(item({observe(std::string("An observation made by ") + c.text)}, c.source));
  }
  EXPECT_EQ(cycle(kDefault, std::move(items)), 4u);
  for (const Record& r : experience_records()) {
    const Case* c = nullptr;
    for (const Case& k : cases) c = r.metadata.at("experience_source") == k.text ? &k : c;
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(r.source_type, c->source_type);
  }
}

TEST_F(ExperienceIntakeTest, TheGuardsLimitWhatAnItemMayAdd) {
  const std::vector<Event> four = {observe("first observation of the lot"), observe("second observation of the lot"),
                                   observe("third observation of the lot"), observe("fourth observation of the lot")};
  const std::vector<Event> three = {observe("fifth observation of the lot"), observe("sixth observation of the lot"),
                                    observe("seventh observation of the lot")};
  struct Case {
    const char* name;
    uint8_t mode;
    uint64_t alerts_before;
    std::vector<ExperienceItem> items;
    uint64_t injected;
  };
  const Case cases[] = {
      {"default: three per item", kDefault, 0, {item(four), item(three, ExperienceSource::Human, "exp-2")}, 6},
      {"observe: nothing", kObserve, 0, {item(four)}, 0},
      {"off", static_cast<uint8_t>(PlasticityMode::Off), 0, {item(four)}, 0},
      {"an unknown mode byte is off", 9, 0, {item(four)}, 0},
      {"high alert: one per item", kDefault, 5, {item(four), item(three, ExperienceSource::Human, "exp-2")}, 2},
      {"critical alert: none", kDefault, 10, {item(four)}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    auto v = Vesk::open(dir.path(), std::nullopt, env_);
    ASSERT_TRUE(v.ok());
    CognitiveLayers& l = VeskTestAccess::layers(**v);
    l.plasticity_counters.alert_count = c.alerts_before;
    l.plasticity_mode = c.mode;
    l.experience_queue.write()->items = c.items;
    size_t events = 0;
    for (const ExperienceItem& i : c.items) events += i.events.size();
    EXPECT_EQ((*v)->run_maintenance().experience_injected, c.injected);
    EXPECT_EQ((*v)->count(), c.injected);
    EXPECT_EQ(l.plasticity_counters.experience_event_count.load(), events);
  }
}

TEST_F(ExperienceIntakeTest, CertaintyGatesAndSetsConfidence) {
  EXPECT_EQ(cycle(kDefault, {item({observe("a speculative observation of the sky", ClaimCertainty::Speculative),
                                   observe("a hedged observation of the sea", ClaimCertainty::Hedged)})}),
            1u);
  std::vector<Record> added = experience_records();
  ASSERT_EQ(added.size(), 1u);
  EXPECT_EQ(added[0].content, "a hedged observation of the sea");
  EXPECT_EQ(added[0].confidence, 0.4f);
}

TEST_F(ExperienceIntakeTest, ModelInferenceMayNotContradictFirstHandMemory) {
  const SdrEncoder& enc = VeskTestAccess::indexes(*store_).sdr_encoder;
  auto sim = [&](const char* a, const char* b) {
    return sdr_tanimoto(encode_sdr(enc, a, SdrRange::General, SdrCase::Preserve),
                        encode_sdr(enc, b, SdrRange::General, SdrCase::Preserve));
  };
  ASSERT_GE(sim(kNegated, kAtSixTenths), 0.5f);
  ASSERT_LT(sim(kNegated, kAtSixTenths), 0.65f);
  ASSERT_GE(sim(kNegated, kAtSevenTenths), 0.65f);

  struct Case {
    const char* name;
    const char* memory;
    ExperienceSource source;
    uint64_t injected;
    uint64_t alerts;
  };
  const Case cases[] = {
      {"model inference at 0.6: blocked", kAtSixTenths, ExperienceSource::ModelInference, 0, 1},
      {"a human at 0.6: stored", kAtSixTenths, ExperienceSource::Human, 1, 0},
      {"model inference at 0.7: stored", kAtSevenTenths, ExperienceSource::ModelInference, 1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    auto v = Vesk::open(dir.path(), std::nullopt, env_);
    ASSERT_TRUE(v.ok());
    StoreRequest r;
    r.content = c.memory;
    ASSERT_TRUE((*v)->store(std::move(r)).ok());
    CognitiveLayers& l = VeskTestAccess::layers(**v);
    l.plasticity_mode = kDefault;
    l.experience_queue.write()->items = {item({observe(kNegated)}, c.source)};
    EXPECT_EQ((*v)->run_maintenance().experience_injected, c.injected);
    EXPECT_EQ(l.plasticity_counters.alert_count.load(), c.alerts);
  }
}

TEST_F(ExperienceIntakeTest, BeliefEventsReinforceAndRaiseVolatility) {
  MaintenanceConfig config;
  config.decay_enabled = false;
  store_->configure_maintenance(config);
  const std::string a = remember("The staging cluster runs on arm machines");
  const std::string b = remember("The staging cluster was moved last spring");
  {
    auto beliefs = layers().beliefs.write();
    beliefs->beliefs["bel"] = Belief{.id = "bel", .confidence = 0.9f};
    beliefs->hypotheses["h1"] = Hypothesis{.id = "h1", .belief_id = "bel", .prototype_record_ids = {a, "gone"}};
    beliefs->hypotheses["h2"] = Hypothesis{.id = "h2", .belief_id = "bel", .prototype_record_ids = {a, b}};
    beliefs->hypotheses["h3"] = Hypothesis{.id = "h3", .belief_id = "other", .prototype_record_ids = {b}};
  }
  float volatility_before = store_->get(a)->volatility;

  cycle(kDefault, {item({Event{Event::BeliefReinforcement{"bel", 0.3f}},
                         Event{Event::BeliefReinforcement{"missing", 0.3f}},
                         Event{Event::VolatilityIncrease{"bel", 0.25f, true}}, Event{Event::Commitment{}},
                         Event{Event::Uncertainty{}}},
                        ExperienceSource::ModelInference)});
  EXPECT_EQ(layers().beliefs.read()->beliefs.at("bel").confidence, 1.0f);
  // a is listed by two hypotheses and raised twice; b once; "gone" is not held.
  EXPECT_EQ(counters().volatility_raise_count.load(), 3u);
  EXPECT_EQ(counters().alert_count.load(), 1u);
  EXPECT_EQ(counters().experience_event_count.load(), 5u);
  const float raised = std::min(std::min(volatility_before + 0.25f, 1.0f) + 0.25f, 1.0f);
  // The cycle's epistemic update runs after the intake: a has no neighbours,
  // so its masses do not change and its volatility keeps 0.7 of what it was.
  const float expected_a = 0.7f * raised + 0.3f * 0.0f;
  EXPECT_EQ(store_->get(a)->volatility, expected_a);

  std::vector<std::string> operations;
  for (const AuditAction::Correction& c : corrections()) {
    operations.push_back(c.operation + " " + c.target_id + " " + c.reason);
  }
  EXPECT_EQ(operations, (std::vector<std::string>{"belief_reinforced bel plasticity:belief_reinforced:exp-1",
                                                  "volatility_raised bel plasticity:volatility_raised:exp-1"}));

  reopen();
  EXPECT_EQ(store_->get(a)->volatility, expected_a);
}

TEST(ExperienceText, NegationsAreSubstringsOfTheLowerCasedText) {
  struct Case {
    const char* lower_text;
    bool negated;
  };
  const Case cases[] = {
      {"this is not so", true},     {"nothing here", true},  // a substring, not a word
      {"no way", true},             {"noway", false},
      {"it never rains", true},     {"the wrong turn", true},
      {"false alarm", true},        {"це не є правдою", true},
      {"це хибно", true},           {"все добре", false},
      {"the sky is blue", false},   {"", false},
  };
  for (const Case& c : cases) EXPECT_EQ(reads_as_negation(c.lower_text), c.negated) << c.lower_text;
}

}  // namespace
}  // namespace vesk
