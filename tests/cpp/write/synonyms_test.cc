#include "write/synonyms.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "storage/fault_env.h"
#include "storage/test_dir.h"

namespace vesk {
namespace {

using testing::TempDir;

StringSet set_of(std::vector<std::string> words) { return StringSet(words.begin(), words.end()); }

struct LoadCase {
  const char* name;
  std::string toml;
  uint64_t words_read;
  // word -> its expected synonyms; an empty list means "no entry".
  std::vector<std::pair<std::string, std::vector<std::string>>> expect;
};

class SynonymLoad : public ::testing::TestWithParam<LoadCase> {};

TEST_P(SynonymLoad, CountsWordsAndLinksEachGroup) {
  const LoadCase& c = GetParam();
  TempDir dir;
  testing::spit(dir / "syn.toml", c.toml);
  SynonymMap map;
  Result<uint64_t> n = map.load(Env::Default(), dir / "syn.toml");
  ASSERT_TRUE(n.ok()) << n.status().message();
  EXPECT_EQ(*n, c.words_read);
  bool any_link = false;
  for (const auto& [word, synonyms] : c.expect) {
    EXPECT_EQ(map.synonyms_of(word), set_of(synonyms)) << word;
    any_link = any_link || !synonyms.empty();
  }
  EXPECT_EQ(map.empty(), !any_link);
}

INSTANTIATE_TEST_SUITE_P(
    Files, SynonymLoad,
    ::testing::Values(
        LoadCase{"TwoSectionGroups",
                 "[[groups]]\nwords = [\"car\", \"automobile\"]\n[[groups]]\nwords = [\"happy\", \"glad\", \"cheerful\"]\n",
                 5,
                 {{"car", {"automobile"}},
                  {"automobile", {"car"}},
                  {"happy", {"glad", "cheerful"}},
                  {"cheerful", {"happy", "glad"}}}},
        LoadCase{"InlineTables", "groups = [{words = [\"a\", \"b\"]}, {words = [\"c\"]}]\n", 3,
                 {{"a", {"b"}}, {"c", {}}}},
        LoadCase{"NoGroups", "title = \"x\"\n", 0, {}},
        LoadCase{"GroupsNotAnArray", "groups = 5\n", 0, {}},
        LoadCase{"NonStringWordsSkipped", "[[groups]]\nwords = [1, \"x\", \"y\"]\n", 2, {{"x", {"y"}}}},
        LoadCase{"NonTableGroupsSkipped", "groups = [\"a\", {words = \"p\"}, {words = [\"p\", \"q\"]}]\n", 2,
                 {{"p", {"q"}}}},
        LoadCase{"SingleWordAddsNothing", "[[groups]]\nwords = [\"alone\"]\n", 1, {{"alone", {}}}},
        LoadCase{"SpellingsOfOneWordListThemselves", "[[groups]]\nwords = [\"Car\", \"car\"]\n", 2,
                 {{"car", {"car"}}}},
        LoadCase{"RepeatedWordsCountEachTime", "[[groups]]\nwords = [\"x\", \"y\", \"x\"]\n", 3,
                 {{"x", {"x", "y"}}, {"y", {"x"}}}},
        // A word in two groups collects both; the groups stay apart.
        LoadCase{"GroupsAreNotChained",
                 "[[groups]]\nwords = [\"big\", \"large\"]\n[[groups]]\nwords = [\"big\", \"huge\"]\n", 4,
                 {{"big", {"large", "huge"}}, {"large", {"big"}}, {"huge", {"big"}}}},
        // Full Unicode lower-casing: İ becomes i + U+0307, final sigma, no trimming.
        LoadCase{"FullUnicodeLowerCase", "[[groups]]\nwords = [\"\xC4\xB0ST\", \"\xCE\x9F\xCE\x94\xCE\x9F\xCE\xA3\", \" Pad \"]\n", 3,
                 {{"i\xCC\x87st", {"\xCE\xBF\xCE\xB4\xCE\xBF\xCF\x82", " pad "}}}}),
    [](const ::testing::TestParamInfo<LoadCase>& info) { return std::string(info.param.name); });

TEST(SynonymMap, LoadingTwiceCountsTwiceAndAddsNothingNew) {
  TempDir dir;
  testing::spit(dir / "syn.toml", "[[groups]]\nwords = [\"car\", \"auto\", \"motor\"]\n");
  SynonymMap map;
  EXPECT_EQ(*map.load(Env::Default(), dir / "syn.toml"), 3u);
  StringSet first = map.synonyms_of("car");
  EXPECT_EQ(*map.load(Env::Default(), dir / "syn.toml"), 3u);
  EXPECT_EQ(map.synonyms_of("car"), first);
  EXPECT_EQ(first, set_of({"auto", "motor"}));
}

TEST(SynonymMap, FailuresAreOsErrorsAndLeaveTheMapAsItWas) {
  TempDir dir;
  testing::spit(dir / "good.toml", "[[groups]]\nwords = [\"a\", \"b\"]\n");
  testing::spit(dir / "bad_utf8.toml", "[[groups]]\nwords = [\"\xFF\xFE\"]\n");
  testing::spit(dir / "bad_syntax.toml", "[[groups]]\nwords = [\"a\", \"b\"\n");
  testing::spit(dir / "late_syntax.toml", "[[groups]]\nwords = [\"c\", \"d\"]\n[[groups]\n");
  std::filesystem::create_directory(dir / "a_directory");

  testing::FaultEnv env;
  env.fail_reads("unreadable");
  testing::spit(dir / "unreadable.toml", "[[groups]]\nwords = [\"c\", \"d\"]\n");

  SynonymMap map;
  ASSERT_TRUE(map.load(env, dir / "good.toml").ok());
  for (const char* name : {"missing.toml", "a_directory", "bad_utf8.toml", "bad_syntax.toml", "late_syntax.toml",
                           "unreadable.toml"}) {
    Result<uint64_t> r = map.load(env, dir / name);
    ASSERT_FALSE(r.ok()) << name;
    EXPECT_EQ(r.status().kind(), ErrorKind::OS) << name;
    EXPECT_FALSE(r.status().message().empty()) << name;
  }
  EXPECT_EQ(map.synonyms_of("a"), set_of({"b"}));
  EXPECT_TRUE(map.synonyms_of("c").empty());  // nothing of a failed file was merged
}

TEST(SynonymMap, SyntaxErrorNamesThePosition) {
  auto r = parse_synonym_groups("[[groups]]\nwords = [\"a\",, \"b\"]\n", "syn.toml");
  ASSERT_FALSE(r.ok());
  EXPECT_NE(r.status().message().find("line 2"), std::string::npos) << r.status().message();
}

}  // namespace
}  // namespace vesk
