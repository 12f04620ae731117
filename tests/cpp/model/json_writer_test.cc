#include "model/json_writer.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>
#include <optional>
#include <cstring>
#include <random>
#include <vector>

#include "model/json_codec.h"

namespace vesk {
namespace {

std::string f64_text(double v) {
  std::string s;
  JsonWriter(s).f64(v);
  return s;
}
std::string f32_text(float v) {
  std::string s;
  JsonWriter(s).f32(v);
  return s;
}

TEST(JsonWriter, DoublesInShortestFormWithTheExponentRule) {
  const struct {
    double v;
    const char* text;
  } cases[] = {
      {0.0, "0.0"},
      {-0.0, "-0.0"},
      {1.0, "1.0"},
      {-2.5, "-2.5"},
      {0.1, "0.1"},
      {0.30000000000000004, "0.30000000000000004"},
      {1700000000.5, "1700000000.5"},
      {123456.0, "123456.0"},
      {1e-5, "0.00001"},
      {1.25e-5, "0.0000125"},
      {1e-6, "1e-6"},
      {1e-7, "1e-7"},
      {1e15, "1000000000000000.0"},
      {1234567890123456.0, "1234567890123456.0"},
      {1e16, "1e16"},
      {1e20, "1e20"},
      {1.5e300, "1.5e300"},
      {12345678901234567890.0, "1.2345678901234567e19"},
      {5e-324, "5e-324"},
      {DBL_MAX, "1.7976931348623157e308"},
      {std::numeric_limits<double>::infinity(), "null"},
      {-std::numeric_limits<double>::infinity(), "null"},
      {std::nan(""), "null"},
  };
  for (const auto& c : cases) EXPECT_EQ(f64_text(c.v), c.text) << c.text;
}

TEST(JsonWriter, FloatsInTheirOwnWidth) {
  const struct {
    float v;
    const char* text;
  } cases[] = {
      {0.9f, "0.9"},
      {0.1f, "0.1"},
      {1.0f, "1.0"},
      {0.0f, "0.0"},
      {-0.0f, "-0.0"},
      {1e-5f, "0.00001"},
      {1e-7f, "1e-7"},
      {1e12f, "1000000000000.0"},
      {1e13f, "1e13"},
      {16777216.0f, "16777216.0"},
      {FLT_MAX, "3.4028235e38"},
      {1e-45f, "1e-45"},
      {std::numeric_limits<float>::infinity(), "null"},
      {std::nanf(""), "null"},
  };
  for (const auto& c : cases) EXPECT_EQ(f32_text(c.v), c.text) << c.text;
}

TEST(JsonWriter, EveryFiniteValueReadsBackBitForBit) {
  std::mt19937_64 rng(7);
  for (int i = 0; i < 20000; ++i) {
    uint64_t bits = rng();
    double d;
    std::memcpy(&d, &bits, 8);
    uint32_t b32 = static_cast<uint32_t>(bits >> 7);
    float f;
    std::memcpy(&f, &b32, 4);
    if (std::isfinite(d)) {
      auto back = json_parse<double>(f64_text(d));
      ASSERT_TRUE(back.ok()) << f64_text(d);
      ASSERT_EQ(std::memcmp(&*back, &d, 8), 0) << f64_text(d);
    }
    if (std::isfinite(f)) {
      auto back = json_parse<float>(f32_text(f));
      ASSERT_TRUE(back.ok()) << f32_text(f);
      ASSERT_EQ(std::memcmp(&*back, &f, 4), 0) << f32_text(f);
    }
  }
}

TEST(JsonWriter, StringsGetMinimalEscaping) {
  const struct {
    std::string in;
    const char* out;
  } cases[] = {
      {"plain", R"("plain")"},
      {"q\"b\\s/", R"("q\"b\\s/")"},
      {"\b\t\n\f\r", R"("\b\t\n\f\r")"},
      {std::string("\x00\x01\x1f", 3), R"("\u0000\u0001\u001f")"},
      {"\x7f caf\xc3\xa9 \xf0\x9f\x98\x80", "\"\x7f caf\xc3\xa9 \xf0\x9f\x98\x80\""},
  };
  for (const auto& c : cases) {
    std::string s;
    JsonWriter(s).string(c.in);
    EXPECT_EQ(s, c.out);
  }
}

TEST(JsonWriter, CompactAndPrettyLayout) {
  auto build = [](JsonWriter& w) {
    w.begin_object();
    w.key("a");
    w.begin_array();
    w.u64(1);
    w.i64(-2);
    w.end_array();
    w.key("e");
    w.begin_object();
    w.end_object();
    w.key("n");
    w.null();
    w.end_object();
  };
  std::string compact, pretty;
  JsonWriter c(compact);
  build(c);
  JsonWriter p(pretty, JsonStyle::Pretty);
  build(p);
  EXPECT_EQ(compact, R"({"a":[1,-2],"e":{},"n":null})");
  EXPECT_EQ(pretty, "{\n  \"a\": [\n    1,\n    -2\n  ],\n  \"e\": {},\n  \"n\": null\n}");
}

// The one-append members write exactly what key() and a value write, also
// where they fall back: escapes, long texts, non-finite floats, pretty style.
TEST(JsonWriter, MembersWriteWhatKeyAndValueWrite) {
  const std::string long_text(65, 'k');
  const struct {
    std::string k;
    float f;
    std::string v;
  } cases[] = {
      {"83584f2e8955", 0.35000002f, "coactivation"},
      {"", 0.0f, ""},
      {"quote\"d", -1.5e-7f, "back\\slash"},
      {"ctl\x01", 1e30f, "line\nbreak"},
      {long_text, 0.1f, long_text},
      {"k", std::nanf(""), "v"},
      {"k", std::numeric_limits<float>::infinity(), "caf\xc3\xa9"},
  };
  for (JsonStyle style : {JsonStyle::Compact, JsonStyle::Pretty}) {
    for (JsonNonFinite rule : {JsonNonFinite::Null, JsonNonFinite::Zero}) {
      std::string fast, slow;
      JsonWriter a(fast, style, rule), b(slow, style, rule);
      a.begin_object();
      b.begin_object();
      for (const auto& c : cases) {
        a.f32_member(c.k, c.f);
        a.string_member(c.k, c.v);
        b.key(c.k);
        b.f32(c.f);
        b.key(c.k);
        b.string(c.v);
      }
      a.end_object();
      b.end_object();
      EXPECT_EQ(fast, slow);
    }
  }
}

// A non-finite float is null by default and 0.0 when the writer is asked for
// that; an optional float that is not finite is none under either rule, and
// the finite values are untouched.
TEST(JsonWriter, NonFiniteFloatsFollowTheWritersRule) {
  const float nan = std::nanf("");
  const double inf = std::numeric_limits<double>::infinity();
  struct Values {
    float f;
    double d;
    std::optional<float> of;
    std::optional<double> od;
    std::vector<float> v;
  };
  auto text = [](const Values& x, JsonNonFinite rule) {
    std::string out;
    JsonWriter w(out, JsonStyle::Compact, rule);
    w.begin_array();
    json_write(w, x.f);
    json_write(w, x.d);
    json_write(w, x.of);
    json_write(w, x.od);
    json_write(w, x.v);
    w.end_array();
    return out;
  };
  const struct {
    Values values;
    const char* as_null;
    const char* as_zero;
  } cases[] = {
      {{nan, -inf, nan, inf, {1.5f, nan}}, "[null,null,null,null,[1.5,null]]", "[0.0,0.0,null,null,[1.5,0.0]]"},
      {{0.25f, 2.0, 0.5f, std::nullopt, {}}, "[0.25,2.0,0.5,null,[]]", "[0.25,2.0,0.5,null,[]]"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(text(c.values, JsonNonFinite::Null), c.as_null);
    EXPECT_EQ(text(c.values, JsonNonFinite::Zero), c.as_zero);
  }
}

}  // namespace
}  // namespace vesk
