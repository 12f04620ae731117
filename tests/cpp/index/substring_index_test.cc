#include "index/substring_index.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vesk {
namespace {

std::vector<std::string> ids_containing(const SubstringIndex& index, std::string_view lowered_query) {
  std::vector<std::string> ids;
  for (uint32_t doc : index.docs_containing(lowered_query)) ids.push_back(index.id(doc));
  std::sort(ids.begin(), ids.end());
  return ids;
}

TEST(SubstringIndex, FindsExactlyTheContainingTexts) {
  SubstringIndex index;
  const SubstringIndex::Entry entries[] = {
      {"a", "The Harbour Crane needs new cables"},
      {"b", "abcXbcd"},  // both trigrams of "abcd", not the text
      {"c", "ÉCOLE du Soir"},
      {"d", "a harbour"},
  };
  index.insert_all(entries);
  struct Case {
    const char* query;
    std::vector<std::string> want;
  } cases[] = {
      {"harbour", {"a", "d"}},
      {"harbour crane", {"a"}},
      {"abcd", {}},
      {"école", {"c"}},  // lower-cased by the full mapping
      {"zzz", {}},       // a trigram no text holds
      {"bc", {"b"}},     // shorter than a trigram: every text tested
      {"", {"a", "b", "c", "d"}},
      {"a ", {"d"}},
  };
  for (const Case& c : cases) EXPECT_EQ(ids_containing(index, c.query), c.want) << c.query;
  EXPECT_GT(index.memory_bytes(), 0u);
}

TEST(SubstringIndex, FollowsReplacementsAndRemovals) {
  SubstringIndex index;
  index.insert("a", "old lantern text");
  index.insert("b", "another lantern");
  index.insert("a", "fresh words");  // replaces
  EXPECT_EQ(ids_containing(index, "lantern"), std::vector<std::string>{"b"});
  EXPECT_EQ(ids_containing(index, "fresh"), std::vector<std::string>{"a"});
  index.remove("b");
  index.remove("nobody");
  EXPECT_EQ(ids_containing(index, "lantern"), std::vector<std::string>{});
  EXPECT_EQ(index.size(), 1u);
  index.insert("c", "a lantern again");  // takes the freed number
  EXPECT_EQ(ids_containing(index, "lantern"), std::vector<std::string>{"c"});
  EXPECT_EQ(index.lowered(*index.doc_of("c")), "a lantern again");
}

}  // namespace
}  // namespace vesk
