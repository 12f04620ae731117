#include "write/reserved_metadata.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "write/security_profile.h"

namespace vesk {
namespace {

struct GuardCase {
  std::vector<std::string> tags;
  std::optional<StringMap> metadata;
  std::string error;  // empty: accepted
};

TEST(ReservedConsequenceMetadata, RefusesOnlyTheReservedForms) {
  const std::string tag_msg = " is reserved for captured consequences; use capture_consequence()";
  const std::vector<GuardCase> cases = {
      {{}, std::nullopt, ""},
      {{"consequence", "Consequence-unit", "unit"}, StringMap{{"cue", "x"}, {"cu", "x"}, {"kind", "note"}}, ""},
      {{"a", "consequence-support", "consequence-unit"}, std::nullopt, "tag consequence-support" + tag_msg},
      {{"consequence-inconclusive"}, StringMap{}, "tag consequence-inconclusive" + tag_msg},
      {{"consequence-refute"}, std::nullopt, "tag consequence-refute" + tag_msg},
      {{}, StringMap{{"cu_id", "1"}}, "metadata key cu_id" + tag_msg},
      {{}, StringMap{{"cu_", ""}}, "metadata key cu_" + tag_msg},
      {{}, StringMap{{"kind", "consequence_unit"}}, "metadata key kind" + tag_msg},
      {{}, StringMap{{"kind", "Consequence_unit"}, {"Cu_x", "1"}}, ""},
      // A tag is reported before any metadata key.
      {{"ok", "consequence-unit"}, StringMap{{"cu_id", "1"}}, "tag consequence-unit" + tag_msg},
  };
  for (const GuardCase& c : cases) {
    Status s = check_reserved_consequence_metadata(c.tags, c.metadata ? &*c.metadata : nullptr);
    if (c.error.empty()) {
      EXPECT_TRUE(s.ok()) << s.message();
    } else {
      ASSERT_FALSE(s.ok()) << c.error;
      EXPECT_EQ(s.kind(), ErrorKind::Runtime);
      EXPECT_EQ(s.message(), c.error);
    }
  }
}

TEST(SecurityProfile, ParsesExactNamesAndQuotesTheRefusedText) {
  EXPECT_EQ(*parse_security_profile("balanced"), SecurityProfile::Balanced);
  EXPECT_EQ(*parse_security_profile("strict"), SecurityProfile::Strict);
  const std::vector<std::pair<std::string, std::string>> refused = {
      {"Strict", R"("Strict")"}, {" strict", R"(" strict")"}, {"", R"("")"}, {"a\"b\\\n", R"("a\"b\\\n")"}};
  for (const auto& [given, quoted] : refused) {
    auto r = parse_security_profile(given);
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.status().kind(), ErrorKind::Value);
    EXPECT_EQ(r.status().message(),
              "unknown security profile " + quoted + R"(; expected one of ["balanced", "strict"])");
  }
}

}  // namespace
}  // namespace vesk
