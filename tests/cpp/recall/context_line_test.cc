#include "recall/context_line.h"

#include <gtest/gtest.h>

#include <cmath>

#include "model/record_map.h"

namespace vesk {
namespace {

Record rec(std::string content, std::string source_type = "recorded", std::string semantic_type = "fact",
           std::vector<std::string> tags = {}, std::string content_type = "text") {
  Record r;
  r.id = "r";
  r.content = std::move(content);
  r.source_type = std::move(source_type);
  r.semantic_type = std::move(semantic_type);
  r.tags = std::move(tags);
  r.content_type = std::move(content_type);
  return r;
}

TEST(FormatRecallLine, MarkersAndLayouts) {
  const RecordMap none;
  const RecordLookup lookup = record_lookup(none);
  Record code = rec("x = 1", "generated", "trend", {"py"}, "code");
  Record code_lang = code;
  code_lang.metadata["language"] = "python";
  struct Case {
    Record record;
    std::string want;
  } cases[] = {
      {rec("x"), "  - x"},
      {rec("x", "retrieved", "decision", {"a", "b"}), "  - x [retrieved] {decision} [a, b]"},
      {rec("x", "inferred", "serendipity"), "  - x [inferred] {serendipity}"},
      {rec("x", "Retrieved", "Decision", {}, "JSON"), "  - x"},
      {rec("{}", "recorded", "fact", {}, "json"), "  - [JSON]\n```json\n{}\n```"},
      {code, "  - [CODE] [generated] {trend} [py]\n```\nx = 1\n```"},
      {code_lang, "  - [CODE] [generated] {trend} [py]\n```python\nx = 1\n```"},
  };
  for (const Case& c : cases) EXPECT_EQ(format_recall_line(c.record, lookup, 1.75e9), c.want);
}

TEST(FormatRecallLine, CauseLineOnlyForAVisibleCause) {
  RecordMap records;
  const RecordLookup lookup = record_lookup(records);
  std::string long_text;
  for (int i = 0; i < 100; ++i) long_text += "é";  // two bytes each
  for (int i = 0; i < 100; ++i) long_text += "a";
  Record cause = rec(long_text);
  cause.id = "cause";
  records.insert_or_assign("cause", cause);
  Record effect = rec("x");
  effect.caused_by_id = "cause";

  std::string first120;
  for (int i = 0; i < 100; ++i) first120 += "é";
  first120 += std::string(20, 'a');
  std::string want = "  - x\n    ^ because: ";
  want += first120;
  const double now = 1.75e9;
  EXPECT_EQ(format_recall_line(effect, lookup, now), want);

  struct Case {
    const char* name;
    void (*change)(Record&, double);
  } hidden[] = {
      {"other namespace", [](Record& c, double) { c.namespace_ = "work"; }},
      {"expired now", [](Record& c, double now) { c.valid_until = now; }},
      {"infinite start", [](Record& c, double) { c.valid_from = -INFINITY; }},
      {"restricted", [](Record& c, double) { c.metadata["acl_visibility"] = "restricted"; }},
      {"unknown visibility", [](Record& c, double) { c.metadata["acl_visibility"] = "team"; }},
  };
  for (const Case& c : hidden) {
    Record changed = cause;
    c.change(changed, now);
    records.insert_or_assign("cause", changed);
    EXPECT_EQ(visible_cause_record(effect, lookup, now), nullptr) << c.name;
    EXPECT_EQ(format_recall_line(effect, lookup, now), "  - x") << c.name;
  }
  records.insert_or_assign("cause", cause);
  Record starts_now = cause;
  starts_now.valid_from = now;
  records.insert_or_assign("cause", starts_now);
  EXPECT_NE(visible_cause_record(effect, lookup, now), nullptr);
  effect.caused_by_id = "missing";
  EXPECT_EQ(format_recall_line(effect, lookup, now), "  - x");
}

TEST(FormatContextDate, OwnOffsetToTheMinute) {
  struct Case {
    const char* stamp;
    std::optional<std::string> want;
  } cases[] = {
      {"2024-03-05T14:07:59+02:00", "2024-03-05 14:07"},
      {"2024-03-05 14:07:59Z", "2024-03-05 14:07"},
      {"2024-03-05t23:59:59.999-11:30", "2024-03-05 23:59"},
      {"2024-03-05", std::nullopt},
      {"2024-02-30T10:00:00Z", std::nullopt},
      {"soon", std::nullopt},
  };
  for (const Case& c : cases) {
    Record r = rec("x");
    r.metadata["timestamp"] = c.stamp;
    r.metadata["created_at"] = "2020-01-01T00:00:00Z";
    EXPECT_EQ(format_context_date(r), c.want) << c.stamp;
  }
  Record plain = rec("x");
  plain.metadata["created_at"] = "2020-01-01T00:00:00Z";
  EXPECT_EQ(format_context_date(plain), std::nullopt);
}

TEST(UntrustedText, EscapesAndSanitises) {
  struct Case {
    const char* in;
    const char* escaped;
  } escapes[] = {{"====", "= = =="}, {"======", "= = == = ="}, {"==", "=="}, {"", ""}, {"a===b", "a= = =b"}};
  for (const Case& c : escapes) EXPECT_EQ(escape_triple_equals(c.in), c.escaped) << c.in;
  EXPECT_EQ(sanitize_untrusted_text("[==\n=]"), "(== =)");
  EXPECT_EQ(sanitize_untrusted_text("a\r\nb"), "a  b");
  EXPECT_EQ(sanitize_untrusted_text("[[x]] ==="), "((x)) = = =");
}

}  // namespace
}  // namespace vesk
