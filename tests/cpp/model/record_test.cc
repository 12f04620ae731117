#include "model/record.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <set>

#include "base/finite.h"
#include "model/level.h"
#include "base/fixed_env.h"

namespace vesk {
namespace {

TEST(Record, IdsAreTwelveLowerHexDigits) {
  std::set<std::string> seen;
  for (int i = 0; i < 2000; ++i) {
    auto id = new_record_id(Env::Default());
    ASSERT_TRUE(id.ok());
    ASSERT_EQ(id->size(), 12u);
    for (char c : *id) ASSERT_TRUE((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')) << *id;
    seen.insert(*id);
  }
  EXPECT_EQ(seen.size(), 2000u);
}

TEST(Record, NewRecordDefaults) {
  testing::FixedEnv env({1709251199, 250'000'000});
  auto made = new_record("hello", Level::Working, env);
  ASSERT_TRUE(made.ok());
  const Record& r = *made;
  EXPECT_EQ(r.content, "hello");
  EXPECT_EQ(r.level, Level::Working);
  EXPECT_EQ(r.created_at, 1709251199.25);
  EXPECT_EQ(r.created_at, r.last_activated);
  EXPECT_EQ(r.strength, 1.0f);
  EXPECT_EQ(r.confidence, 0.9f);
  EXPECT_EQ(r.content_type, "text");
  EXPECT_EQ(r.namespace_, "default");
  EXPECT_EQ(r.source_type, "recorded");
  EXPECT_EQ(r.semantic_type, "fact");
  EXPECT_FALSE(r.pinned);
  EXPECT_EQ(r.activation_count + r.support_mass + r.conflict_mass, 0u);
  EXPECT_EQ(r.activation_velocity + r.salience + r.volatility, 0.0f);
  EXPECT_TRUE(r.tags.empty() && r.connections.empty() && r.connection_types.empty() && r.metadata.empty());
  EXPECT_FALSE(r.valid_from || r.valid_until || r.superseded_at || r.vesk_id || r.caused_by_id);
}

TEST(Record, Validators) {
  const double inf = std::numeric_limits<double>::infinity(), nan = std::nan("");
  const std::optional<double> none;
  const struct {
    std::optional<double> from, until;
    const char* err;
  } windows[] = {
      {5.0, 5.0, "valid_from must be earlier than valid_until"},
      {6.0, 5.0, "valid_from must be earlier than valid_until"},
      {none, inf, "valid_until must be a finite Unix timestamp"},
      {nan, nan, "valid_from must be a finite Unix timestamp"},
      {-inf, none, "valid_from must be a finite Unix timestamp"},
      {-10.0, none, ""},
      {none, 3.0, ""},
      {4.0, 5.0, ""},
      {none, none, ""},
  };
  for (const auto& w : windows) EXPECT_EQ(validate_validity_window(w.from, w.until).message(), w.err);

  const struct {
    std::string ns;
    const char* err;
  } namespaces[] = {
      {"ab-c_9Z", ""},
      {std::string(64, 'a'), ""},
      {std::string(65, 'a'), "Namespace cannot exceed 64 characters"},
      {"", "Namespace cannot be empty"},
      {"a b", "Namespace must contain only ASCII alphanumeric, hyphens, or underscores"},
      {"a.b", "Namespace must contain only ASCII alphanumeric, hyphens, or underscores"},
      // Length is counted in bytes, before the characters are looked at.
      {[] {
         std::string s;
         for (int i = 0; i < 33; ++i) s += "\xc3\xa9";
         return s;
       }(),
       "Namespace cannot exceed 64 characters"},
  };
  for (const auto& n : namespaces) EXPECT_EQ(validate_namespace(n.ns).message(), n.err) << n.ns;

  for (const char* ok : {"recorded", "retrieved", "inferred", "generated"}) EXPECT_TRUE(validate_source_type(ok).ok());
  EXPECT_EQ(validate_source_type("Recorded").message(),
            "Invalid source_type 'Recorded'. Must be one of: recorded, retrieved, inferred, generated");
  EXPECT_EQ(validate_source_type(" recorded").message(),
            "Invalid source_type ' recorded'. Must be one of: recorded, retrieved, inferred, generated");
}

TEST(Record, SetConnectionClampsAndNeverStoresNaN) {
  const float inf = std::numeric_limits<float>::infinity();
  const struct {
    float in, stored;
  } cases[] = {{0.4f, 0.4f}, {1.5f, 1.0f}, {-0.2f, 0.0f}, {inf, 1.0f}, {-inf, 0.0f}};
  for (const auto& c : cases) {
    Record r;
    EXPECT_TRUE(r.set_connection("t", c.in, "rel"));
    EXPECT_EQ(r.connections.at("t"), c.stored);
  }
  Record r;
  r.set_connection("t", 0.3f, "first");
  r.set_connection("t", 0.7f, "second");
  EXPECT_EQ(r.connections.at("t"), 0.7f);
  EXPECT_EQ(r.connection_type("t"), "second");
  EXPECT_FALSE(r.set_connection("t", std::nanf(""), "third"));
  EXPECT_EQ(r.connections.at("t"), 0.7f);
  EXPECT_EQ(r.connection_type("t"), "second");
  EXPECT_FALSE(r.set_connection("u", std::nanf(""), "x"));
  EXPECT_EQ(r.connections.count("u"), 0u);
  EXPECT_EQ(r.connection_type("u"), std::nullopt);
}

TEST(Record, NonFiniteFieldIsNamed) {
  const float inf = std::numeric_limits<float>::infinity();
  Record r;
  EXPECT_EQ(non_finite_field(r), std::nullopt);
  r.connections["t"] = -inf;
  EXPECT_EQ(non_finite_field(r), "connections");
  r.superseded_at = std::nan("");
  EXPECT_EQ(non_finite_field(r), "superseded_at");
  r.strength = std::nanf("");
  EXPECT_EQ(non_finite_field(r), "strength");
}

TEST(Finite, Guards) {
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(finite_or(inf, 2.0), 2.0);
  EXPECT_EQ(finite_or(std::nan(""), 2.0), 2.0);
  EXPECT_EQ(finite_or(-3.0, 2.0), -3.0);
  EXPECT_EQ(clamp_finite(inf, -1.0, 5.0), 5.0);
  EXPECT_EQ(clamp_finite(-inf, -1.0, 5.0), -1.0);
  EXPECT_EQ(clamp_finite(std::nan(""), -1.0, 5.0), std::nullopt);
  EXPECT_EQ(clamp_or(std::nan(""), 0.0, 1.0, 0.5), 0.5);
}

TEST(Level, Properties) {
  const struct {
    Level l;
    int value;
    const char *json, *display, *dna, *tier;
    bool cognitive;
    double decay;
  } cases[] = {
      {Level::Working, 1, "Working", "WORKING", "general", "cognitive", true, 0.800000011920929},
      {Level::Decisions, 2, "Decisions", "DECISIONS", "general", "cognitive", true, 0.8999999761581421},
      {Level::Domain, 3, "Domain", "DOMAIN", "user_core", "core", false, 0.949999988079071},
      {Level::Identity, 4, "Identity", "IDENTITY", "user_core", "core", false, 0.9900000095367432},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(level_value(c.l), c.value);
    EXPECT_EQ(level_from_value(c.value), c.l);
    EXPECT_EQ(level_json_name(c.l), c.json);
    EXPECT_EQ(level_from_json_name(c.json), c.l);
    EXPECT_EQ(level_display_name(c.l), c.display);
    EXPECT_EQ(level_dna(c.l), c.dna);
    EXPECT_EQ(level_tier(c.l), c.tier);
    EXPECT_EQ(level_is_cognitive(c.l), c.cognitive);
    EXPECT_EQ(level_is_core(c.l), !c.cognitive);
    EXPECT_EQ(static_cast<double>(level_decay_rate(c.l)), c.decay);
  }
  EXPECT_EQ(level_from_value(0), std::nullopt);
  EXPECT_EQ(level_from_value(5), std::nullopt);
  EXPECT_EQ(level_from_json_name("working"), std::nullopt);
}

}  // namespace
}  // namespace vesk
