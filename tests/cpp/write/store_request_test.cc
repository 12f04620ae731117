#include "write/store_request.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace vesk {
namespace {

StoreRequest text(std::string content) {
  StoreRequest r;
  r.content = std::move(content);
  return r;
}

TEST(StoreRequest, RefusesInCheckOrder) {
  const std::string tag_reserved = "tag consequence-support is reserved for captured consequences; use capture_consequence()";
  struct Case {
    std::string name;
    std::function<void(StoreRequest&)> edit;
    std::string error;
  };
  const std::vector<Case> cases = {
      {"empty", [](StoreRequest& r) { r.content.clear(); }, "Content cannot be empty"},
      {"too long", [](StoreRequest& r) { r.content.assign(102401, 'a'); }, "Content exceeds maximum size of 100KB"},
      {"four-byte characters count as bytes",
       [](StoreRequest& r) {
         r.content.clear();
         for (int i = 0; i < 30000; ++i) r.content += "\U0001F600";
       },
       "Content exceeds maximum size of 100KB"},
      {"audit key before tag count",
       [](StoreRequest& r) {
         r.metadata = StringMap{{"vesk.audit.v1.x", "1"}};
         r.tags = std::vector<std::string>(51, "t");
       },
       "vesk.audit.v1.* metadata is reserved; use annotate_audit_entity() and link_audit_entities()"},
      {"51 tags before reserved tags",
       [](StoreRequest& r) { r.tags = std::vector<std::string>(51, "consequence-support"); },
       "Maximum 50 tags allowed"},
      {"reserved tag",
       [](StoreRequest& r) {
         r.tags = std::vector<std::string>{"consequence-support"};
         r.source_type = "bogus";
       },
       tag_reserved},
      {"source type", [](StoreRequest& r) { r.source_type = "Recorded"; },
       "Invalid source_type 'Recorded'. Must be one of: recorded, retrieved, inferred, generated"},
      {"semantic type", [](StoreRequest& r) { r.semantic_type = "Fact"; },
       "Invalid semantic_type 'Fact'. Must be one of: fact, decision, trend, serendipity, preference, contradiction"},
      {"namespace", [](StoreRequest& r) { r.namespace_ = "a b"; },
       "Namespace must contain only ASCII alphanumeric, hyphens, or underscores"},
  };
  for (const Case& c : cases) {
    StoreRequest r = text("remember to buy oat milk");
    c.edit(r);
    auto resolved = resolve_store_request(std::move(r));
    ASSERT_FALSE(resolved.ok()) << c.name;
    EXPECT_EQ(resolved.status().kind(), ErrorKind::Runtime);
    EXPECT_EQ(resolved.status().message(), c.error) << c.name;
  }
}

TEST(StoreRequest, AcceptsLimitsAndFillsDefaults) {
  StoreRequest r = text(std::string(102400, 'a'));
  r.tags = std::vector<std::string>(50, "t");
  auto resolved = resolve_store_request(std::move(r));
  ASSERT_TRUE(resolved.ok()) << resolved.status().message();
  EXPECT_EQ(resolved->level, Level::Working);
  EXPECT_FALSE(resolved->level_given);
  EXPECT_EQ(resolved->content_type, "text");
  EXPECT_EQ(resolved->source_type, "recorded");
  EXPECT_EQ(resolved->semantic_type, "fact");
  EXPECT_EQ(resolved->namespace_, "default");
  EXPECT_TRUE(resolved->deduplicate);
  EXPECT_TRUE(resolved->duplicate_eligible());

  // Captured consequences may carry the reserved markers.
  StoreRequest capture = text("the deploy fixed the outage");
  capture.tags = std::vector<std::string>{"consequence-unit"};
  capture.metadata = StringMap{{"cu_id", "1"}};
  capture.authority = WriteAuthority::TrustedCapture;
  EXPECT_TRUE(resolve_store_request(std::move(capture)).ok());
}

TEST(StoreRequest, SourceTypeFromArgumentThenChannel) {
  struct Case {
    std::optional<std::string> source_type, channel;
    std::string expected;
  };
  for (const Case& c : std::vector<Case>{{std::nullopt, std::nullopt, "recorded"},
                                         {std::nullopt, "voice", "recorded"},
                                         {std::nullopt, " Agent-Worker ", "inferred"},
                                         {std::nullopt, "", "retrieved"},
                                         {"generated", "voice", "generated"}}) {
    StoreRequest r = text("x");
    r.source_type = c.source_type;
    r.channel = c.channel;
    EXPECT_EQ(resolve_store_request(std::move(r))->source_type, c.expected);
  }
}

TEST(StoreRequest, DuplicateEligibility) {
  struct Case {
    size_t bytes;
    std::optional<std::string> content_type;
    std::optional<bool> deduplicate;
    bool eligible;
  };
  for (const Case& c : std::vector<Case>{{20, std::nullopt, std::nullopt, true},
                                         {19, std::nullopt, std::nullopt, false},
                                         {20, "text/plain", std::nullopt, false},
                                         {20, std::nullopt, false, false},
                                         {20, std::nullopt, true, true}}) {
    StoreRequest r = text(std::string(c.bytes, 'a'));
    r.content_type = c.content_type;
    r.deduplicate = c.deduplicate;
    EXPECT_EQ(resolve_store_request(std::move(r))->duplicate_eligible(), c.eligible) << c.bytes;
  }
}

}  // namespace
}  // namespace vesk
