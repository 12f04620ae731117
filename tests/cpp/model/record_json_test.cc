#include "model/record_json.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace vesk {
namespace {

Record fixed_record() {
  Record r;
  r.id = "0123456789ab";
  r.content = "caf\xc3\xa9 \x01 \"q\" \\ /\n";
  r.level = Level::Decisions;
  r.pinned = true;
  r.strength = 0.9f;
  r.activation_count = 3;
  r.created_at = 1700000000.5;
  r.last_activated = 1700000001.25;
  r.valid_from = 1.0;
  r.tags = {"a", "b", "a"};
  r.set_connection("ffffffffffff", 0.5f, "related");
  r.metadata["k"] = "v";
  r.caused_by_id = "aaaaaaaaaaaa";
  r.activation_velocity = 0.1f;
  r.confidence = 0.9f;
  r.support_mass = 2;
  r.volatility = 1e-7f;
  return r;
}

constexpr const char* kFixedJson =
    R"({"id":"0123456789ab","content":"café \u0001 \"q\" \\ /\n","level":"Decisions","pinned":true,)"
    R"("strength":0.9,"activation_count":3,"created_at":1700000000.5,"last_activated":1700000001.25,)"
    R"("valid_from":1.0,"valid_until":null,"superseded_at":null,"tags":["a","b","a"],)"
    R"("connections":{"ffffffffffff":0.5},"connection_types":{"ffffffffffff":"related"},)"
    R"("content_type":"text","metadata":{"k":"v"},"vesk_id":null,"caused_by_id":"aaaaaaaaaaaa",)"
    R"("namespace":"default","source_type":"recorded","semantic_type":"fact","activation_velocity":0.1,)"
    R"("salience":0.0,"confidence":0.9,"support_mass":2,"conflict_mass":0,"volatility":1e-7})";

std::string written(const Record& r) {
  std::string s;
  serialize_record(r, s);
  return s;
}

// The written form of the fixed record without one member.
std::string without(std::string json, std::string_view key) {
  size_t at = json.find("\"" + std::string(key) + "\":");
  size_t end = json.find(",\"", at + key.size() + 3);
  if (end == std::string::npos) end = json.size() - 1;
  json.erase(at, end - at + (json[end] == ',' ? 1 : 0));
  if (json[json.size() - 2] == ',') json.erase(json.size() - 2, 1);
  return json;
}

std::string read_error(std::string_view text) {
  JsonReader reader(text);
  auto r = deserialize_record(reader);
  if (r.ok() && !reader.end()) return reader.status().message();
  return r.ok() ? "ok" : r.status().message();
}

TEST(RecordJson, WritesTheFixedFormByteForByte) {
  EXPECT_EQ(written(fixed_record()), kFixedJson);
  std::string list;
  serialize_record_array({}, list);
  EXPECT_EQ(list, "[]");
}

TEST(RecordJson, WriteThenReadGivesAnEqualRecord) {
  Record r = fixed_record();
  r.superseded_at = 1700000002.123456789;
  r.valid_until = -5.5;
  r.vesk_id = "v";
  r.metadata["\xe2\x82\xac"] = "\x7f";
  r.set_connection("bbbbbbbbbbbb", 1.0f / 3.0f, "x");
  r.salience = 3.4028235e38f;
  for (const std::string& text : {written(r), std::string(" \n") + written(r) + "\t\r\n"}) {
    auto back = deserialize_record_slice(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
    ASSERT_TRUE(back.ok()) << back.status().message();
    EXPECT_EQ(*back, r);
  }
  std::vector<Record> two{r, fixed_record()};
  std::string arr;
  serialize_record_array(two, arr);
  auto list = parse_record_list_json(arr);
  ASSERT_TRUE(list.ok()) << list.status().message();
  EXPECT_EQ(*list, two);
}

TEST(RecordJson, PrettyFormReadsBackTheSame) {
  std::string pretty;
  JsonWriter w(pretty, JsonStyle::Pretty);
  json_write(w, fixed_record());
  EXPECT_EQ(pretty.substr(0, 45), "{\n  \"id\": \"0123456789ab\",\n  \"content\": \"caf\xc3\xa9");
  EXPECT_NE(pretty.find("\n  \"tags\": [\n    \"a\",\n    \"b\",\n    \"a\"\n  ],\n"), std::string::npos);
  auto back = json_parse<Record>(pretty);
  ASSERT_TRUE(back.ok()) << back.status().message();
  EXPECT_EQ(*back, fixed_record());
}

TEST(RecordJson, RequiredKeysOnlyGiveTheDefaults) {
  auto r = json_parse<Record>(
      R"({"metadata":{},"id":"x","content":"c","level":{"Identity":null},"strength":1,"activation_count":0,)"
      R"("created_at":5,"last_activated":6,"tags":[],"connections":{},"content_type":"text","caused_by_id":null,)"
      R"("extra":{"n":[1,{"m":[]}]}})");
  ASSERT_TRUE(r.ok()) << r.status().message();
  Record want;
  want.id = "x";
  want.content = "c";
  want.level = Level::Identity;
  want.created_at = 5;
  want.last_activated = 6;
  EXPECT_EQ(*r, want);
  EXPECT_EQ(r->confidence, 0.9f);
  EXPECT_EQ(r->namespace_, "default");
}

TEST(RecordJson, ReadErrorsAreExact) {
  const std::string full = kFixedJson;
  const std::string no_meta = without(full, "metadata");
  const std::string no_id_meta = without(no_meta, "id");
  std::string dup = full;
  dup.insert(1, R"("strength":1,)");
  auto replaced = [&](std::string_view from, std::string_view to) {
    std::string s = full;
    s.replace(s.find(from), from.size(), to);
    return s;
  };
  // Column just after the first `needle` found at or after `from`.
  auto after = [](const std::string& s, std::string_view needle, size_t from = 0) {
    return " at line 1 column " + std::to_string(s.find(needle, from) + needle.size());
  };
  const std::string lower = replaced(R"("Decisions")", R"("working")");
  const std::string negative = replaced(R"("activation_count":3)", R"("activation_count":-1)");
  const std::string null_ns = replaced(R"("namespace":"default")", R"("namespace":null)");
  const std::string null_strength = replaced(R"("strength":0.9)", R"("strength":null)");
  const std::string int_level = replaced(R"("level":"Decisions")", R"("level":4)");
  const std::string too_long =
      "[\"x\",\"c\",\"Working\",false,1,0,1,2,null,null,null,[],{},{},\"text\",{},null,null,\"ns\",\"recorded\","
      "\"fact\",0,0,0.5,0,0,0,9]";
  const struct {
    std::string in;
    std::string err;
  } cases[] = {
      {no_meta, "missing field `metadata` at line 1 column " + std::to_string(no_meta.size())},
      {no_id_meta, "missing field `id` at line 1 column " + std::to_string(no_id_meta.size())},
      {dup, "duplicate field `strength`" + after(dup, R"("strength")", 2)},
      {lower, "unknown variant `working`, expected one of `Working`, `Decisions`, `Domain`, `Identity`" +
                  after(lower, R"("working")")},
      {negative, "invalid value: integer `-1`, expected u32" + after(negative, "-1")},
      {null_ns, "invalid type: null, expected a string" + after(null_ns, R"("namespace":null)")},
      {null_strength, "invalid type: null, expected f32" + after(null_strength, R"("strength":null)")},
      {int_level, "expected value" + after(int_level, R"("level":4)")},
      {R"(["x","c","Working"])", "invalid length 4, expected struct Record with 27 elements at line 1 column 19"},
      {"[]", "invalid length 0, expected struct Record with 27 elements at line 1 column 2"},
      {too_long, "trailing characters" + after(too_long, ",9")},
      {"[\"x\",\"c\",\"Working\",false,1,0,1,2,null,null,null,[],{},{},\"text\",{},null,null]", "ok"},
      {"[\"x\",\"c\",\"Working\",false,1,0,1,2,null,null,null,[],{}]",
       "invalid length 14, expected struct Record with 27 elements at line 1 column 54"},
      {"true", "invalid type: boolean `true`, expected struct Record at line 1 column 4"},
      {full + "x", "trailing characters at line 1 column " + std::to_string(full.size() + 1)},
  };
  for (const auto& c : cases) EXPECT_EQ(read_error(c.in), c.err) << c.in;
}

TEST(RecordJson, ANonFiniteFloatIsWrittenAsNullAndRefusedOnRead) {
  Record r = fixed_record();
  r.strength = std::numeric_limits<float>::quiet_NaN();
  std::string s = written(r);
  EXPECT_NE(s.find(R"("strength":null)"), std::string::npos);
  EXPECT_EQ(read_error(s), "invalid type: null, expected f32 at line 1 column " +
                               std::to_string(s.find(R"("strength":null)") + 15));
}

TEST(RecordJson, RecordListReader) {
  EXPECT_TRUE(parse_record_list_json(" \n[ ]\t").value().empty());
  EXPECT_EQ(parse_record_list_json(kFixedJson).status().message(),
            "invalid type: map, expected a sequence at line 1 column 0");
  EXPECT_EQ(parse_record_list_json("[]]").status().message(), "trailing characters at line 1 column 3");
  EXPECT_EQ(parse_record_list_json("[" + std::string(kFixedJson) + ",{}]").status().message(),
            "missing field `id` at line 1 column " + std::to_string(std::string(kFixedJson).size() + 4));
}

}  // namespace
}  // namespace vesk
