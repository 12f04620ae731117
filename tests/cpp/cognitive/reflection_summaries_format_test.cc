#include "cognitive/reflection_summaries_format.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cognitive/history_file_save.h"
#include "cognitive/history_fixtures.h"

namespace vesk {
namespace {

using testing::reflection_summary;

const std::string kReport =
    R"({"jobs_run":3,"blocker_findings":1,"contradiction_findings":0,"trend_findings":0,"total_findings":1,)"
    R"("capped":false})";

// One finding object; `score` and `extra` are spliced in as given.
std::string finding(const std::string& score = "0.75", const std::string& extra = "") {
  return R"({"kind":"repeated_blocker","namespace":"work","title":"Blocked twice","detail":"the \"kiln\" task",)"
         R"("related_ids":["aaaaaaaaaaa1"],"score":)" +
         score + R"(,"severity":"high")" + extra + "}";
}

std::string summary(const std::string& findings, const std::string& report = kReport,
                    const std::string& phase = R"("dominant_phase":"belief",)") {
  return R"({"timestamp":"2025-06-15T14:00:00.5+00:00","digest":"1 finding; dominant phase belief",)" + phase +
         R"("report":)" + report + R"(,"findings":[)" + findings + "]}";
}

TEST(ReflectionSummariesFormat, ReaderRequiresEveryKeyAndSkipsUnknownOnes) {
  struct Case {
    std::string element;
    std::string error_prefix;  // "" when the file loads
  };
  const Case cases[] = {
      {summary(finding()), ""},
      {summary(finding("0.75", R"(,"weight":[1,{"x":null}])")), ""},
      {summary(R"(["repeated_blocker","work","Blocked twice","the \"kiln\" task",["aaaaaaaaaaa1"],0.75,"high"])",
               "[3,1,0,0,1,false]"),
       ""},
      {summary(finding(), kReport, ""), "missing field `dominant_phase` at line 2 column "},
      {summary(finding("null")), "invalid type: null, expected f32 at line 2 column "},
      {summary(finding("\"0.75\"")), "invalid type: string \"0.75\", expected f32 at line 2 column "},
      {summary(finding("0.75", R"(,"score":1)")), "duplicate field `score` at line 2 column "},
      {summary(finding(), R"({"jobs_run":3,"blocker_findings":1,"contradiction_findings":0,"trend_findings":0,)"
                          R"("total_findings":1})"),
       "missing field `capped` at line 2 column "},
      {summary(finding(), "[3,1,0,0,1]"), "invalid length 5, expected struct ReflectionJobReport with 6 elements"},
      {summary(finding(), R"({"jobs_run":-3,"blocker_findings":1,"contradiction_findings":0,"trend_findings":0,)"
                          R"("total_findings":1,"capped":false})"),
       "invalid value: integer `-3`, expected u64 at line 2 column "},
      {summary(finding(), R"({"jobs_run":3,"blocker_findings":1,"contradiction_findings":0,"trend_findings":0,)"
                          R"("total_findings":1,"capped":null})"),
       "invalid type: null, expected a boolean at line 2 column "},
  };
  for (const Case& c : cases) {
    auto parsed = parse_reflection_summaries("[" + summary(finding()) + ",\n" + c.element + "]");
    if (c.error_prefix.empty()) {
      ASSERT_TRUE(parsed.ok()) << c.element << ": " << parsed.status().message();
      ASSERT_EQ(parsed->size(), 2u);
      EXPECT_EQ((*parsed)[1], reflection_summary("aaaaaaaaaaa1")) << c.element;
    } else {
      ASSERT_FALSE(parsed.ok()) << c.element;
      EXPECT_EQ(parsed.status().message().rfind(c.error_prefix, 0), 0u)
          << c.element << "\n  gave: " << parsed.status().message();
    }
  }
}

TEST(ReflectionSummariesFormat, WrittenPrettyWithEveryKey) {
  ReflectionSummary s = reflection_summary("aaaaaaaaaaa1");
  ReflectionSummary bare = s;
  bare.findings.clear();
  const std::string text = history_json(std::vector<ReflectionSummary>{s, bare});
  EXPECT_EQ(text,
            "[\n"
            "  {\n"
            "    \"timestamp\": \"2025-06-15T14:00:00.5+00:00\",\n"
            "    \"digest\": \"1 finding; dominant phase belief\",\n"
            "    \"dominant_phase\": \"belief\",\n"
            "    \"report\": {\n"
            "      \"jobs_run\": 3,\n"
            "      \"blocker_findings\": 1,\n"
            "      \"contradiction_findings\": 0,\n"
            "      \"trend_findings\": 0,\n"
            "      \"total_findings\": 1,\n"
            "      \"capped\": false\n"
            "    },\n"
            "    \"findings\": [\n"
            "      {\n"
            "        \"kind\": \"repeated_blocker\",\n"
            "        \"namespace\": \"work\",\n"
            "        \"title\": \"Blocked twice\",\n"
            "        \"detail\": \"the \\\"kiln\\\" task\",\n"
            "        \"related_ids\": [\n"
            "          \"aaaaaaaaaaa1\"\n"
            "        ],\n"
            "        \"score\": 0.75,\n"
            "        \"severity\": \"high\"\n"
            "      }\n"
            "    ]\n"
            "  },\n"
            "  {\n"
            "    \"timestamp\": \"2025-06-15T14:00:00.5+00:00\",\n"
            "    \"digest\": \"1 finding; dominant phase belief\",\n"
            "    \"dominant_phase\": \"belief\",\n"
            "    \"report\": {\n"
            "      \"jobs_run\": 3,\n"
            "      \"blocker_findings\": 1,\n"
            "      \"contradiction_findings\": 0,\n"
            "      \"trend_findings\": 0,\n"
            "      \"total_findings\": 1,\n"
            "      \"capped\": false\n"
            "    },\n"
            "    \"findings\": []\n"
            "  }\n"
            "]");
  EXPECT_EQ(history_json(std::vector<ReflectionSummary>{}), "[]");
  auto back = parse_reflection_summaries(text);
  ASSERT_TRUE(back.ok());
  EXPECT_EQ(*back, (std::vector<ReflectionSummary>{s, bare}));
}

}  // namespace
}  // namespace vesk
