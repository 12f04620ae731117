#include "recall/recall_scope.h"

#include <gtest/gtest.h>

namespace vesk {
namespace {

using Names = std::optional<std::vector<std::string>>;

TEST(RecallScopeKey, TrimsLowerCasesAndNormalisesNamespaces) {
  const std::string key = recall_scope_key("hello", Names{{"default", "work"}});
  EXPECT_EQ(key.size(), 64u);
  EXPECT_EQ(key.find_first_not_of("0123456789abcdef"), std::string::npos);
  EXPECT_EQ(recall_scope_key("  Hello ", Names{{"work", "default", "work"}}), key);
  EXPECT_EQ(recall_scope_key("\u3000HELLO\n", Names{{"work", "default"}}), key);
  EXPECT_NE(recall_scope_key("hello", Names{{"Work", "default"}}), key);

  EXPECT_EQ(recall_scope_key("q", std::nullopt), recall_scope_key("q", Names{{"default"}}));
  EXPECT_NE(recall_scope_key("q", Names{std::vector<std::string>{}}), recall_scope_key("q", std::nullopt));
  // SHA-256 of the compact text ["q",["default"]].
  EXPECT_EQ(recall_scope_key("q", std::nullopt), "b56f51636ab3da21c7b5a98d013c30941d4100fd7d80c71a6404ecac0cfde10a");
}

}  // namespace
}  // namespace vesk
