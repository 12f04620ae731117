#include "model/json_reader.h"

#include <gtest/gtest.h>

#include "model/json_number.h"

#include <vector>

#include <random>

#include <cstring>

#include <cmath>

#include <bit>

#include "model/json_struct.h"
#include "model/json_value.h"

namespace vesk {

enum class Color : uint8_t { Red, Green };

struct Probe {
  uint32_t a = 0;
  std::string b;
  std::optional<std::string> c;
  std::vector<std::string> d{"kept"};
  Color color = Color::Red;
};

template <>
struct JsonCodec<Color> {
  static const JsonUnitEnum<Color>& names() {
    static const JsonUnitEnum<Color> e{{"Red", "Green"}, {Color::Red, Color::Green}};
    return e;
  }
  static bool read(JsonReader& r, Color& v) { return names().read(r, v); }
  static void write(JsonWriter& w, const Color& v) { names().write(w, v); }
};

template <>
struct JsonCodec<Probe> : JsonStructCodec<Probe> {
  static const JsonStruct<Probe>& fields() {
    static const JsonStruct<Probe> s("struct Probe", {
                                                         json_field<&Probe::a>("a"),
                                                         json_field<&Probe::b>("b"),
                                                         json_field<&Probe::c>("c"),
                                                         json_field<&Probe::d>("d", kJsonDefault | kJsonOmitEmpty),
                                                         json_field<&Probe::color>("color", kJsonDefault),
                                                     });
    return s;
  }
};

namespace {

std::string probe_error(std::string_view text) {
  auto r = json_parse<Probe>(text);
  return r.ok() ? "ok" : r.status().message();
}

TEST(JsonReader, StructErrorsAreExactAndPositioned) {
  const struct {
    std::string in;
    const char* err;
  } cases[] = {
      {R"({"a":1,"b":"x"})", "ok"},
      {R"({"b":"x","zz":{"q":[1,{"r":[]}],"s":"\u0041"},"a":2})", "ok"},
      {R"({"a":1})", "missing field `b` at line 1 column 7"},
      {R"({})", "missing field `a` at line 1 column 2"},
      {R"({"a":1,"a":2})", "duplicate field `a` at line 1 column 10"},
      {"{\n  \"a\": 1,\n  \"a\" : 2\n}", "duplicate field `a` at line 3 column 6"},
      {R"({"a":-1,"b":""})", "invalid value: integer `-1`, expected u32 at line 1 column 7"},
      {R"({"a":4294967296,"b":""})", "invalid value: integer `4294967296`, expected u32 at line 1 column 15"},
      {R"({"a":1.5,"b":""})", "invalid type: floating point `1.5`, expected u32 at line 1 column 8"},
      {R"({"a":1e20,"b":""})",
       "invalid type: floating point `100000000000000000000.0`, expected u32 at line 1 column 9"},
      {R"({"a":-0,"b":""})", "invalid type: floating point `-0.0`, expected u32 at line 1 column 7"},
      {R"({"a":"7","b":""})", "invalid type: string \"7\", expected u32 at line 1 column 8"},
      {R"({"a":true,"b":""})", "invalid type: boolean `true`, expected u32 at line 1 column 9"},
      {R"({"a":1,"b":null})", "invalid type: null, expected a string at line 1 column 15"},
      {R"({"a":1,"b":{}})", "invalid type: map, expected a string at line 1 column 11"},
      {R"({"a":1,"b":[]})", "invalid type: sequence, expected a string at line 1 column 11"},
      {R"({"a":1,"b":"","d":"x"})", "invalid type: string \"x\", expected a sequence at line 1 column 21"},
      {R"({"a":1,"b":"","color":"red"})",
       "unknown variant `red`, expected `Red` or `Green` at line 1 column 27"},
      {"5", "invalid type: integer `5`, expected struct Probe at line 1 column 1"},
      {"\"s\\tx\"", "invalid type: string \"s\\tx\", expected struct Probe at line 1 column 6"},
      {"", "EOF while parsing a value at line 1 column 0"},
      {"  \n ", "EOF while parsing a value at line 2 column 1"},
      {R"({"a":1,"b":"x"} x)", "trailing characters at line 1 column 17"},
      // Positional form: only defaulted fields may be left off the end.
      {R"([1,"x",null])", "ok"},
      {R"([1,"x"])", "invalid length 2, expected struct Probe with 5 elements at line 1 column 7"},
      {R"([1])", "invalid length 1, expected struct Probe with 5 elements at line 1 column 3"},
      {R"([1,"x",null,[],"Red",5])", "trailing characters at line 1 column 22"},
      {R"([1,"x",null,[],"Red",])", "trailing comma at line 1 column 22"},
      // Syntax.
      {R"({"a":1 "b":"x"})", "expected `,` or `}` at line 1 column 8"},
      {R"({"a" 1})", "expected `:` at line 1 column 6"},
      {R"({"a":1,})", "trailing comma at line 1 column 8"},
      {R"({1:2})", "key must be a string at line 1 column 2"},
      {R"({"a":01})", "invalid number at line 1 column 7"},
      {R"({"a":1.})", "invalid number at line 1 column 8"},
      {R"({"a":1e+})", "invalid number at line 1 column 9"},
      {R"({"a":-})", "invalid number at line 1 column 7"},
      {R"({"a":1,"b":"x\q"})", "invalid escape at line 1 column 15"},
      {R"({"a":1,"b":"x)", "EOF while parsing a string at line 1 column 13"},
      {R"({"a":1,"b":"x")", "EOF while parsing an object at line 1 column 14"},
      {R"({"a":1,"b":"x","d":["y")", "EOF while parsing a list at line 1 column 23"},
      {R"({"a":1,"b":"x","d":["y" "z"]})", "expected `,` or `]` at line 1 column 25"},
      {R"({"a":1,"b":"x","d":["y",]})", "trailing comma at line 1 column 25"},
      {R"({"a":1,"b":nul})", "expected ident at line 1 column 15"},
      {R"({"a":1,"b":"x","z":[1,]})", "expected value at line 1 column 23"},
      {R"({"a":1,"b":"x","z":1e999})", "ok"},  // skipped values are only checked for syntax
      {R"({"a":1e999,"b":"x"})", "number out of range at line 1 column 10"},
      {"{\"a\":1,\"b\":\"\x01\"}", "control character (\\u0000-\\u001F) found while parsing a string at line 1 column 13"},
      {"{\"a\":1,\"b\":\"\xff\"}", "invalid unicode code point at line 1 column 14"},
      {"{\"a\":1,\"b\":\"\xed\xa0\x80\"}", "invalid unicode code point at line 1 column 16"},
      {R"({"a":1,"b":"\ud800"})", "unexpected end of hex escape at line 1 column 19"},
      {R"({"a":1,"b":"\udc00"})", "lone leading surrogate in hex escape at line 1 column 18"},
      {R"({"a":1,"b":"\u12"})", "invalid escape at line 1 column 18"},
  };
  for (const auto& c : cases) EXPECT_EQ(probe_error(c.in), c.err) << c.in;
}

TEST(JsonReader, StructValuesAndDefaults) {
  auto p = json_parse<Probe>(R"( {"color":{"Green":null},"b":"\u00e9\ud83d\ude00\n","a":4294967295} )");
  ASSERT_TRUE(p.ok()) << p.status().message();
  EXPECT_EQ(p->a, 4294967295u);
  EXPECT_EQ(p->b, "\xc3\xa9\xf0\x9f\x98\x80\n");
  EXPECT_FALSE(p->c.has_value());
  EXPECT_EQ(p->d, std::vector<std::string>{"kept"});
  EXPECT_EQ(p->color, Color::Green);

  auto q = json_parse<Probe>(R"([7,"b","c",["x","y"],"Green"])");
  ASSERT_TRUE(q.ok()) << q.status().message();
  EXPECT_EQ(q->c, "c");
  EXPECT_EQ(q->d, (std::vector<std::string>{"x", "y"}));
  // Writing: table order, the empty list left out.
  q->d.clear();
  EXPECT_EQ(json_to_string(*q), R"({"a":7,"b":"b","c":"c","color":"Green"})");
}

TEST(JsonReader, EnumForms) {
  const struct {
    const char* in;
    const char* err;
  } cases[] = {
      {R"("Green")", "ok"},
      {R"({"Green":null})", "ok"},
      {R"( { "Green" : null } )", "ok"},
      {R"("green")", "unknown variant `green`, expected `Red` or `Green` at line 1 column 7"},
      {R"({"Green":1})", "invalid type: integer `1`, expected unit at line 1 column 10"},
      {R"({"Green":null,"x":1})", "expected value at line 1 column 13"},
      {R"({"Green":null)", "EOF while parsing an object at line 1 column 13"},
      {R"({1:null})", "invalid type: integer `1`, expected variant identifier at line 1 column 2"},
      {"3", "expected value at line 1 column 1"},
      {"null", "expected value at line 1 column 1"},
  };
  for (const auto& c : cases) {
    auto r = json_parse<Color>(c.in);
    EXPECT_EQ(r.ok() ? "ok" : r.status().message(), c.err) << c.in;
  }
}

TEST(JsonReader, NestingLimitAppliesToReadAndSkippedValues) {
  auto nested = [](int n) { return std::string(n, '[') + std::string(n, ']'); };
  EXPECT_TRUE(json_parse<JsonValue>(nested(127)).ok());
  EXPECT_EQ(json_parse<JsonValue>(nested(128)).status().message(), "recursion limit exceeded at line 1 column 128");
  // Inside a skipped member the structure's own level counts too.
  std::string skipped = R"({"a":1,"b":"x","z":)" + nested(200) + "}";
  EXPECT_EQ(probe_error(skipped), "recursion limit exceeded at line 1 column 146");
  EXPECT_EQ(probe_error(R"({"a":1,"b":"x","z":)" + nested(126) + "}"), "ok");
}

TEST(JsonReader, AReaderOfOneValueInsideADocumentPositionsErrorsInTheWholeDocument) {
  const std::string doc = "{\"x\": 1,\n \"probe\": {\"a\": 7, \"b\": \"q\"},\n \"bad\": {\"a\": 1}}";
  JsonReader good(doc, doc.find(':', doc.find("probe")) + 1);
  Probe p;
  ASSERT_TRUE(JsonCodec<Probe>::read(good, p));
  EXPECT_EQ(p.a, 7u);
  EXPECT_EQ(p.b, "q");
  JsonReader bad(doc, doc.find(':', doc.find("bad")) + 1);
  EXPECT_FALSE(JsonCodec<Probe>::read(bad, p));
  EXPECT_EQ(bad.status().message(), "missing field `b` at line 3 column 16");
}

TEST(JsonReader, IntegerWidths) {
  const struct {
    const char* in;
    const char* u16;
    const char* i32;
  } cases[] = {
      {"65535", "ok", "ok"},
      {"65536", "invalid value: integer `65536`, expected u16", "ok"},
      {"-2147483648", "invalid value: integer `-2147483648`, expected u16", "ok"},
      {"2147483648", "invalid value: integer `2147483648`, expected u16",
       "invalid value: integer `2147483648`, expected i32"},
      {"-2147483649", "invalid value: integer `-2147483649`, expected u16",
       "invalid value: integer `-2147483649`, expected i32"},
      {"18446744073709551616", "invalid type: floating point `18446744073709552000.0`, expected u16",
       "invalid type: floating point `18446744073709552000.0`, expected i32"},
  };
  auto msg = [](const auto& r) {
    if (r.ok()) return std::string("ok");
    const std::string& m = r.status().message();
    return m.substr(0, m.find(" at line"));
  };
  for (const auto& c : cases) {
    EXPECT_EQ(msg(json_parse<uint16_t>(c.in)), c.u16) << c.in;
    EXPECT_EQ(msg(json_parse<int32_t>(c.in)), c.i32) << c.in;
  }
  EXPECT_EQ(*json_parse<uint64_t>("18446744073709551615"), UINT64_MAX);
  EXPECT_EQ(*json_parse<int64_t>("-9223372036854775808"), INT64_MIN);
  // A float field takes any number; one beyond the 32-bit range is refused
  // rather than turned into an infinity.
  EXPECT_EQ(*json_parse<float>("1"), 1.0f);
  EXPECT_EQ(*json_parse<float>("-2E-1"), -0.2f);
  EXPECT_EQ(*json_parse<double>("1e-400"), 0.0);
  EXPECT_EQ(json_parse<float>("1e39").status().message(), "number out of range at line 1 column 4");
}

TEST(JsonValue, KeepsOrderKindsAndLastRepeatedKey) {
  auto v = json_parse<JsonValue>(R"({"b":1,"a":[true,null,-2,1.5,"x",{}],"b":3})");
  ASSERT_TRUE(v.ok()) << v.status().message();
  const JsonObject& o = v->as_object();
  ASSERT_EQ(o.size(), 2u);
  EXPECT_EQ(o.begin()->first, "b");
  EXPECT_EQ(o.find("b")->as_u64(), 3u);
  EXPECT_EQ(o.find("a")->as_array()[2].as_i64(), -2);
  EXPECT_EQ(json_to_string(*v), R"({"b":3,"a":[true,null,-2,1.5,"x",{}]})");
  JsonObject built;
  built["z"] = JsonValue(1.0);
  built.set("y", JsonValue("t"));
  built.set("z", JsonValue(JsonValue::Array{JsonValue(nullptr)}));
  EXPECT_EQ(json_to_string(JsonValue(built)), R"({"z":[null],"y":"t"})");
  EXPECT_EQ(json_parse<JsonValue>("[1,]").status().message(), "trailing comma at line 1 column 4");
  EXPECT_EQ(json_parse<JsonValue>("[1] 2").status().message(), "trailing characters at line 1 column 5");
}

}  // namespace
}  // namespace vesk

namespace vesk {
namespace {

// A 32-bit float's shortest text reads back as that float, through the reader
// and the fast scanner alike, also where the nearest 64-bit float of the text
// lies exactly halfway between two 32-bit floats.
TEST(JsonReader, EveryFloatsShortestTextReadsBackAsItself) {
  std::mt19937 rng(3);
  std::vector<float> values = {7.038531e-26f, 1.0f, -0.5f, 3.4028235e38f, 1.17549435e-38f, 1.4e-45f, 0.9f};
  for (int i = 0; i < 300000; ++i) {
    uint32_t bits = static_cast<uint32_t>(rng());
    float f;
    std::memcpy(&f, &bits, 4);
    if (std::isfinite(f)) values.push_back(f);
  }
  for (float f : values) {
    std::string text;
    append_json_f32(text, f);
    JsonReader reader(text);
    float read = 0;
    ASSERT_TRUE(reader.read_f32(read)) << text;
    EXPECT_EQ(std::bit_cast<uint32_t>(read), std::bit_cast<uint32_t>(f)) << text;
    float scanned = 0;
    const char* end = scan_json_f32(text.data(), text.data() + text.size(), scanned);
    ASSERT_EQ(end, text.data() + text.size()) << text;
    EXPECT_EQ(std::bit_cast<uint32_t>(scanned), std::bit_cast<uint32_t>(f)) << text;
  }
}

}  // namespace
}  // namespace vesk
