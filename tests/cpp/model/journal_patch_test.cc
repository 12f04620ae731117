#include "model/journal_patch.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <limits>

#include "model/record_json.h"

namespace vesk {
namespace {

using ::testing::StartsWith;

Record make(std::string id, std::string content) {
  Record r;
  r.id = std::move(id);
  r.content = std::move(content);
  r.created_at = 5.0;
  r.last_activated = 6.0;
  return r;
}

TEST(JournalPatch, WrittenForms) {
  RecordPatch bare{"aaaaaaaaaaaa", {}, {}};
  RecordPatch full{"aaaaaaaaaaaa", {{"k", "v"}}, {{"bbbbbbbbbbbb", 0.5f, "supports"}}};
  RecordPatch nan{"aaaaaaaaaaaa", {}, {{"b", std::numeric_limits<float>::quiet_NaN(), "r"}}};
  std::string out;
  serialize_record_patches(std::vector<RecordPatch>{bare, full, nan}, out);
  EXPECT_EQ(out,
            R"([{"i":"aaaaaaaaaaaa"},)"
            R"({"i":"aaaaaaaaaaaa","m":{"k":"v"},"c":[{"i":"bbbbbbbbbbbb","w":0.5,"r":"supports"}]},)"
            R"({"i":"aaaaaaaaaaaa","c":[{"i":"b","w":null,"r":"r"}]}])");

  Record r = make("cccccccccccc", "x");
  std::string rec;
  serialize_record(r, rec);
  const std::vector<std::string> dels = {"dddddddddddd"};
  const struct {
    std::vector<Record> u;
    std::vector<std::string> d;
    std::string json;
  } batches[] = {
      {{}, {}, "{}"},
      {{r}, {}, R"({"u":[)" + rec + "]}"},
      {{}, dels, R"({"d":["dddddddddddd"]})"},
      {{r}, dels, R"({"u":[)" + rec + R"(],"d":["dddddddddddd"]})"},
  };
  for (const auto& c : batches) {
    std::string direct;
    serialize_mutation_batch(c.u, c.d, direct);
    EXPECT_EQ(direct, c.json);
    EXPECT_EQ(json_to_string(CognitiveMutationBatch{c.u, c.d}), c.json);
    auto back = parse_mutation_batch(c.json);
    ASSERT_TRUE(back.ok()) << back.status().message();
    EXPECT_EQ(*back, (CognitiveMutationBatch{c.u, c.d}));
  }
}

TEST(JournalPatch, ReadsPatchListsOrNamesTheFault) {
  const RecordPatch only_a{"a", {}, {}};
  const struct {
    const char* json;
    std::vector<RecordPatch> want;  // when error is empty
    const char* error;
  } cases[] = {
      {R"([{"i":"a"}])", {only_a}, ""},
      {R"([{"i":"a","m":{},"c":[]}])", {only_a}, ""},
      {R"([["a"]])", {only_a}, ""},
      {R"([{"i":"a","id":"x","I":"y"}])", {only_a}, ""},
      {R"([["a",{"k":"v"},[["b",1.5,"r"]]]])", {{"a", {{"k", "v"}}, {{"b", 1.5f, "r"}}}}, ""},
      {R"([{"c":[{"r":"x","w":-2,"i":"b"}],"i":"a"}])", {{"a", {}, {{"b", -2.0f, "x"}}}}, ""},
      {R"([[]])", {}, "invalid length 0, expected struct RecordPatch with 3 elements"},
      {R"([{"I":"a"}])", {}, "missing field `i`"},
      {R"([{"i":"a","i":"b"}])", {}, "duplicate field `i`"},
      {R"([{"i":"a","c":[{"i":"b","r":"x"}]}])", {}, "missing field `w`"},
      {R"([{"i":"a","c":[{"i":"b","w":null,"r":"x"}]}])", {}, "invalid type: null, expected f32"},
      {R"([{"i":"a","c":[{"i":"b","w":"1","r":"x"}]}])", {}, "invalid type: string \"1\", expected f32"},
      {R"([{"i":"a","c":[["b",0.5]]}])", {}, "invalid length 2, expected struct TypedConnectionPatch with 3 elements"},
      {R"([["a",{},[],1]])", {}, "trailing characters"},
      {R"([["a",{},[],]])", {}, "trailing comma"},
      {R"([{"i":"a"}] x)", {}, "trailing characters"},
      {R"({"i":"a"})", {}, "invalid type: map, expected a sequence"},
      {R"(["a"])", {}, "invalid type: string \"a\", expected struct RecordPatch"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.json);
    auto got = parse_record_patches(c.json);
    if (*c.error == '\0') {
      ASSERT_TRUE(got.ok()) << got.status().message();
      EXPECT_EQ(*got, c.want);
    } else {
      ASSERT_FALSE(got.ok());
      EXPECT_THAT(got.status().message(), StartsWith(std::string(c.error) + " at line 1 column "));
    }
  }
}

TEST(JournalPatch, ReadsBatchesInBothForms) {
  Record r = make("cccccccccccc", "from u");
  std::string rec;
  serialize_record(r, rec);
  for (std::string json : {std::string("{}"), std::string("[]"), std::string(R"({"x":1})")}) {
    auto b = parse_mutation_batch(json);
    ASSERT_TRUE(b.ok()) << json << ": " << b.status().message();
    EXPECT_EQ(*b, CognitiveMutationBatch{});
  }
  auto positional = parse_mutation_batch("[[" + rec + R"(],["x"]])");
  ASSERT_TRUE(positional.ok()) << positional.status().message();
  EXPECT_EQ(*positional, (CognitiveMutationBatch{{r}, {"x"}}));
  auto dup = parse_mutation_batch(R"({"d":[],"d":[]})");
  ASSERT_FALSE(dup.ok());
  EXPECT_THAT(dup.status().message(), StartsWith("duplicate field `d`"));
}

TEST(JournalPatch, PatchListAppliesWholeOrNotAtAll) {
  RecordMap base;
  for (const char* id : {"a", "b", "c"}) base[id] = make(id, std::string("content ") + id);
  base["a"].metadata = {{"keep", "1"}, {"over", "old"}};

  // One unknown id among three patches: none of the three changes.
  RecordMap map = base;
  const std::vector<RecordPatch> with_unknown = {
      {"a", {{"over", "new"}}, {}}, {"zzz", {{"k", "v"}}, {}}, {"b", {{"k", "v"}}, {}}};
  EXPECT_FALSE(apply_record_patches(map, with_unknown));
  EXPECT_EQ(map, base);
  RecordMap empty;
  EXPECT_FALSE(apply_record_patches(empty, std::vector<RecordPatch>{{"a", {}, {}}}));

  const std::vector<RecordPatch> good = {
      {"a", {{"over", "new"}, {"add", "x"}}, {{"b", 1.7f, "supports"}, {"c", -0.2f, "refutes"}}},
      {"a", {}, {{"b", 0.25f, "caused"}}},
      {"b", {}, {}}};
  ASSERT_TRUE(apply_record_patches(map, good));
  Record want = base["a"];
  want.metadata = {{"keep", "1"}, {"over", "new"}, {"add", "x"}};
  want.connections = {{"b", 0.25f}, {"c", 0.0f}};
  want.connection_types = {{"b", "caused"}, {"c", "refutes"}};
  EXPECT_EQ(map["a"], want) << "only metadata and connections change";
  EXPECT_EQ(map["b"], base["b"]);

  RecordMap clamped = base;
  ASSERT_TRUE(apply_record_patches(clamped, std::vector<RecordPatch>{{"a", {}, {{"b", 1.7f, "r"}}}}));
  EXPECT_EQ(clamped["a"].connections.at("b"), 1.0f);
}

TEST(JournalPatch, BatchDeletesThenUpserts) {
  RecordMap map;
  map["a"] = make("a", "old a");
  map["b"] = make("b", "old b");
  apply_mutation_batch(map, CognitiveMutationBatch{{make("a", "new a"), make("n", "new n")}, {"a", "b", "gone"}});
  ASSERT_EQ(map.size(), 2u);
  EXPECT_EQ(map.at("a").content, "new a") << "an id in both lists ends up present, from \"u\"";
  EXPECT_EQ(map.at("n").content, "new n");
  EXPECT_FALSE(map.contains("b"));
}

}  // namespace
}  // namespace vesk
