// Context capsules assembled over a record map built by hand (the write path
// refuses the consequence tags, so these records are only made here).
#include "exchange/context_capsule/context_capsule.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>
#include <string>
#include <vector>

#include "exchange/context_capsule/capsule_hash.h"
#include "exchange/context_capsule/capsule_tokens.h"

namespace vesk {
namespace {

using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::IsEmpty;

constexpr double kAt = 1'750'000'000.0;

struct Shape {
  std::string id;
  std::string content = "nothing in common";
  Level level = Level::Working;
  std::vector<std::string> tags;
  StringMap metadata;
  std::string semantic_type = "fact";
  std::string namespace_ = "default";
  std::optional<double> valid_from, valid_until;
  float salience = 0.0f, confidence = 0.9f;
  double created_at = kAt - 100;
  std::string content_type = "text";
};

RecordMap map_of(const std::vector<Shape>& shapes) {
  RecordMap map;
  for (const Shape& s : shapes) {
    Record r;
    r.id = s.id;
    r.content = s.content;
    r.level = s.level;
    r.tags = s.tags;
    r.metadata = s.metadata;
    r.semantic_type = s.semantic_type;
    r.namespace_ = s.namespace_;
    r.valid_from = s.valid_from;
    r.valid_until = s.valid_until;
    r.salience = s.salience;
    r.confidence = s.confidence;
    r.created_at = s.created_at;
    r.content_type = s.content_type;
    map.try_emplace(r.id, std::move(r));
  }
  return map;
}

std::map<std::string, std::string> categories(const ContextCapsule& c) {
  std::map<std::string, std::string> out;
  for (const CapsuleEntry& e : c.entries) out[e.record_id] = capsule_category_name(e.category);
  return out;
}

std::vector<std::string> ids(const ContextCapsule& c) {
  std::vector<std::string> out;
  for (const CapsuleEntry& e : c.entries) out.push_back(e.record_id);
  return out;
}

TEST(ContextCapsule, ClassifiesFiltersAndRejectsByTheRules) {
  // id -> category; "" for a record that passes the filter but is no
  // candidate; "-" for one the filter leaves out.
  struct Row {
    Shape shape;
    std::string expected;
  };
  const std::vector<Row> rows = {
      {{.id = "refute", .tags = {"consequence-refute"}}, "refutation_scar"},
      {{.id = "debt", .tags = {"consequence-inconclusive"}}, "evidence_debt"},
      {{.id = "settled", .tags = {"consequence-inconclusive", "consequence-support"}}, ""},
      {{.id = "goal", .tags = {"task"}, .metadata = {{"status", " done"}}}, "active_goal"},
      {{.id = "closed", .tags = {"task"}, .metadata = {{"status", "Done"}}}, ""},
      {{.id = "closed-dec", .level = Level::Decisions, .tags = {"goal"}, .metadata = {{"project_status", "COMPLETED"}}},
       "decision"},
      {{.id = "contra", .semantic_type = "contradiction"}, "contradiction"},
      {{.id = "outcome", .tags = {"outcome-failure"}}, "outcome"},
      {{.id = "decision", .semantic_type = "decision"}, "decision"},
      {{.id = "identity", .level = Level::Identity}, "identity"},
      {{.id = "domain", .level = Level::Domain}, "domain"},
      {{.id = "relevant", .content = "the deploy runs at noon"}, "purpose_relevant"},
      {{.id = "case", .tags = {"Task", "Contradiction"}}, ""},  // tags compare exactly
      {{.id = "plain"}, ""},
      {{.id = "blocked", .level = Level::Identity, .metadata = {{"answer_permission", " Blocked "}}}, ""},
      {{.id = "admission", .level = Level::Identity, .metadata = {{"admission", "BLOCK"}}}, ""},
      {{.id = "status-sup", .level = Level::Identity, .metadata = {{"verification_status", "superseded"}}}, ""},
      {{.id = "odd-values", .level = Level::Identity, .metadata = {{"verification_status", "?"}, {"answer_permission", "?"}}},
       "identity"},
      {{.id = "sup-by", .level = Level::Identity, .metadata = {{"superseded_by", "x"}}}, ""},
      {{.id = "sup-by-window", .level = Level::Identity, .metadata = {{"superseded_by", "x"}}, .valid_until = kAt + 1},
       "identity"},
      {{.id = "restricted", .level = Level::Identity, .metadata = {{"acl_visibility", "restricted"}}}, "-"},
      {{.id = "odd-visibility", .level = Level::Identity, .metadata = {{"acl_visibility", "team"}}}, "-"},
      {{.id = "other-ns", .level = Level::Identity, .namespace_ = "other"}, "-"},
      {{.id = "expired", .level = Level::Identity, .valid_until = kAt}, "-"},
      {{.id = "future", .level = Level::Identity, .valid_from = kAt + 1}, "-"},
      {{.id = "nan-window", .level = Level::Identity, .valid_until = std::nan("")}, "-"},
  };
  std::vector<Shape> shapes;
  for (const Row& r : rows) shapes.push_back(r.shape);
  const RecordMap map = map_of(shapes);
  const ContextCapsule c = assemble_context_capsule(map, "default", "deploy", kAt, 32768);

  std::map<std::string, std::string> expected;
  uint64_t passing = 0;
  for (const Row& r : rows) {
    if (r.expected != "-") ++passing;
    if (!r.expected.empty() && r.expected != "-") expected[r.shape.id] = r.expected;
  }
  EXPECT_EQ(categories(c), expected);
  EXPECT_EQ(c.source_record_count, passing);
  EXPECT_EQ(c.omitted_count, 0u);
  EXPECT_EQ(c.refutation_count, 1u);
  EXPECT_EQ(c.evidence_debt_count, 1u);
  EXPECT_EQ(c.contradiction_count, 1u);
  // An index of the metadata keys the capsule reads spares the walk of the
  // other records' metadata and changes nothing; an index that lacks one of
  // the keys is not relied on.
  MetadataValueIndex index(kCapsuleMetadataKeys);
  index.rebuild(map);
  const ContextCapsule indexed = assemble_context_capsule(map, "default", "deploy", kAt, 32768, &index);
  EXPECT_EQ(indexed.entries, c.entries);
  EXPECT_EQ(indexed.capsule_hash, c.capsule_hash);
  const std::string_view partial_keys[] = {"status"};
  MetadataValueIndex partial(partial_keys);
  partial.rebuild(map);
  EXPECT_EQ(assemble_context_capsule(map, "default", "deploy", kAt, 32768, &partial).capsule_hash, c.capsule_hash);

  // The scar comes first although it shares no word with the purpose.
  ASSERT_FALSE(c.entries.empty());
  EXPECT_EQ(c.entries[0].record_id, "refute");
  EXPECT_THAT(c.entries[0].selection_reasons, ElementsAre("refutation_scar"));
}

TEST(ContextCapsule, PrioritiesWeighOverlapSalienceAndConfidenceInThirtyTwoBits) {
  // Each record alone in the domain category: the priority shows in the
  // order against a reference record of known priority.
  struct Case {
    float salience, confidence;
    uint64_t priority;  // beyond the domain base
  };
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const Case cases[] = {
      {0.0f, 0.9f, 900},
      {0.0025f, 0.0f, 30},  // 0.0025f x 1000 rounds to 2.5 in 32 bits, then away from zero
      {1.5f, 2.0f, 10000 + 1000},
      {1.0f, 1.0f, 10000 + 1000},
      {-1.0f, -0.5f, 0},
      {nan, nan, 0},
  };
  for (const Case& k : cases) {
    const RecordMap map = map_of({{.id = "r", .level = Level::Domain, .salience = k.salience, .confidence = k.confidence}});
    const CapsuleTermMatcher purpose("deploy");
    auto c = classify_capsule_candidate(map.begin()->second, purpose);
    ASSERT_TRUE(c);
    EXPECT_EQ(c->priority, capsule_base_priority(CapsuleCategory::Domain) + k.priority) << k.salience;
  }
  // Overlap counts up to 999 shared terms.
  std::string words;
  for (int i = 0; i < 1200; ++i) words += "w" + std::to_string(i) + " ";
  const RecordMap map = map_of({{.id = "r", .content = words, .confidence = 0.0f}});
  auto c = classify_capsule_candidate(map.begin()->second, CapsuleTermMatcher(words));
  ASSERT_TRUE(c);
  EXPECT_EQ(c->overlap, 1200u);
  EXPECT_EQ(c->priority, capsule_base_priority(CapsuleCategory::PurposeRelevant) + 999 * 10000);
  EXPECT_THAT(capsule_selection_reasons(*c), ElementsAre("purpose_relevant", "purpose_overlap:1200"));
}

TEST(ContextCapsule, SalienceReasonHasThreeDecimals) {
  const RecordMap map = map_of({{.id = "r", .content = "deploy", .salience = 0.5f}, {.id = "s", .content = "deploy", .salience = 0.0025f}});
  const ContextCapsule c = assemble_context_capsule(map, "default", "deploy", kAt, 2000);
  ASSERT_EQ(c.entries.size(), 2u);
  EXPECT_THAT(c.entries[0].selection_reasons, ElementsAre("purpose_relevant", "purpose_overlap:1", "salience:0.500"));
  EXPECT_THAT(c.entries[1].selection_reasons, ElementsAre("purpose_relevant", "purpose_overlap:1", "salience:0.002"));
}

TEST(ContextCapsule, EqualPrioritiesPutNewerFirstThenTheSmallerId) {
  const double nan = std::nan("");
  const RecordMap map = map_of({
      {.id = "b", .level = Level::Domain, .created_at = 10},
      {.id = "c", .level = Level::Domain, .created_at = 20},
      {.id = "a", .level = Level::Domain, .created_at = 20},
      {.id = "d", .level = Level::Domain, .created_at = 30},
      {.id = "0", .level = Level::Domain, .created_at = nan},  // equal to all on time
  });
  const ContextCapsule c = assemble_context_capsule(map, "default", "x", kAt, 32768);
  EXPECT_THAT(ids(c), ElementsAre("0", "d", "a", "c", "b"));
}

TEST(ContextCapsule, BudgetIsClampedAndFillingStopsBelowTwentyFiveTokens) {
  const std::string long_text(400, 'x');
  const RecordMap map = map_of({{.id = "long", .content = long_text, .level = Level::Domain},
                                {.id = "short", .content = "tiny", .level = Level::Domain, .salience = 0.0f,
                                 .confidence = 0.1f}});
  struct Case {
    uint64_t asked, budget;
    size_t entries;
  };
  for (const Case& k : {Case{0, 1, 0}, Case{24, 24, 0}, Case{25, 25, 1}, Case{40000, 32768, 2}}) {
    const ContextCapsule c = assemble_context_capsule(map, "default", "x", kAt, k.asked);
    EXPECT_EQ(c.token_budget, k.budget);
    EXPECT_EQ(c.entries.size(), k.entries) << k.asked;
    EXPECT_EQ(c.omitted_count, 2 - k.entries);
    uint64_t sum = 0;
    for (const CapsuleEntry& e : c.entries) sum += e.estimated_tokens;
    EXPECT_EQ(c.estimated_tokens, sum);
  }
  // With 25 tokens the one entry is cut to 36 code points and costs all 25.
  const ContextCapsule c = assemble_context_capsule(map, "default", "x", kAt, 25);
  ASSERT_EQ(c.entries.size(), 1u);
  EXPECT_EQ(count_code_points(c.entries[0].content), 36u);
  EXPECT_THAT(c.entries[0].content, EndsWith("\u2026"));
  EXPECT_EQ(c.entries[0].estimated_tokens, 25u);
}

TEST(ContextCapsule, BlankTextsAreSkippedWithTheSameAllowance) {
  const RecordMap map = map_of({{.id = "blank", .content = " \n ", .level = Level::Identity},
                                {.id = "text", .content = "kept", .level = Level::Domain}});
  const ContextCapsule c = assemble_context_capsule(map, "default", "x", kAt, 100);
  EXPECT_THAT(ids(c), ElementsAre("text"));
  EXPECT_EQ(c.omitted_count, 1u);
}

TEST(ContextCapsule, HashCoversTheCanonicalTextOfTheCapsule) {
  const RecordMap map = map_of({{.id = "r1", .content = "Tab\there \"q\" é\x01", .level = Level::Domain,
                                 .salience = 0.25f, .confidence = 1.0f}});
  const ContextCapsule c = assemble_context_capsule(map, "default", "why?", kAt, 100);
  EXPECT_EQ(serialize_capsule_hash_input(c),
            "[\"default\",\"why?\",100,20,1,[{\"record_id\":\"r1\",\"category\":\"domain\","
            "\"content\":\"Tab\\there \\\"q\\\" é\\u0001\",\"source_type\":\"recorded\",\"semantic_type\":\"fact\","
            "\"level\":\"Domain\",\"confidence\":1.0,\"strength\":1.0,\"salience\":0.25,\"estimated_tokens\":20,"
            "\"selection_reasons\":[\"domain\",\"salience:0.250\"]}],0,0,0,0]");
  EXPECT_EQ(c.capsule_hash, compute_capsule_hash(c));
  EXPECT_EQ(c.capsule_hash.size(), 64u);

  // The same arguments give the same hash; one character of a content, or
  // of the purpose, gives another.
  EXPECT_EQ(assemble_context_capsule(map, "default", "why?", kAt, 100).capsule_hash, c.capsule_hash);
  EXPECT_NE(assemble_context_capsule(map, "default", "why!", kAt, 100).capsule_hash, c.capsule_hash);
  RecordMap changed = map_of({{.id = "r1", .content = "Tab\there \"q\" è\x01", .level = Level::Domain,
                               .salience = 0.25f, .confidence = 1.0f}});
  EXPECT_NE(assemble_context_capsule(changed, "default", "why?", kAt, 100).capsule_hash, c.capsule_hash);
}

TEST(CompactedContextCapsule, FitsMoreEntriesAndCountsWhatItChanged) {
  const std::string filler = "As previously mentioned, the kiln is hot. The kiln is hot. The kiln is hot.";
  const RecordMap map = map_of({
      {.id = "goal", .content = filler, .tags = {"goal"}},                    // protected: an active goal
      {.id = "json", .content = filler, .level = Level::Identity, .content_type = "application/json"},
      {.id = "md", .content = filler, .level = Level::Domain, .content_type = "text/markdown"},
      {.id = "plain", .content = "kiln  kiln.", .level = Level::Domain, .confidence = 0.1f},
  });
  for (uint64_t budget : {25u, 60u, 90u, 2000u}) {
    const ContextCapsule plain = assemble_context_capsule(map, "default", "kiln", kAt, budget);
    const ContextCapsule c = assemble_compacted_context_capsule(map, "default", "kiln", kAt, budget);
    ASSERT_TRUE(c.compaction);
    const CapsuleCompaction& k = *c.compaction;
    EXPECT_EQ(k.baseline_entry_count, plain.entries.size()) << budget;
    EXPECT_EQ(k.output_entry_count, c.entries.size());
    EXPECT_GE(k.output_entry_count, k.baseline_entry_count);
    EXPECT_EQ(k.compacted_tokens, c.estimated_tokens);
    EXPECT_EQ(c.source_record_count, plain.source_record_count);
    EXPECT_FALSE(plain.compaction);
  }
  const ContextCapsule c = assemble_compacted_context_capsule(map, "default", "kiln", kAt, 2000);
  ASSERT_THAT(ids(c), ElementsAre("goal", "json", "md", "plain"));
  EXPECT_EQ(c.entries[0].content, filler);
  EXPECT_EQ(c.entries[1].content, filler);
  EXPECT_EQ(c.entries[2].content, "the kiln is hot. The kiln is hot.");
  EXPECT_EQ(c.entries[3].content, "kiln kiln.");
  const CapsuleCompaction& k = *c.compaction;
  EXPECT_EQ(k.protected_entry_count, 2u);
  EXPECT_EQ(k.transformed_entry_count, 2u);
  EXPECT_EQ(k.original_equivalent_tokens, 3 * (estimate_text_tokens(filler) + 16) + estimate_text_tokens("kiln  kiln.") + 16);
  EXPECT_EQ(k.saved_tokens, k.original_equivalent_tokens - k.compacted_tokens);
  EXPECT_FLOAT_EQ(k.reduction_ratio, static_cast<float>(k.saved_tokens) / static_cast<float>(k.original_equivalent_tokens));
  EXPECT_TRUE(k.originals_unchanged);
  EXPECT_EQ(c.capsule_hash, compute_capsule_hash(c));
}

TEST(CompactedContextCapsule, ShorterTextsLetMoreEntriesIn) {
  // 75 code points cost 35 tokens plain; compacted to 33 they cost 25.
  const std::string filler = "As previously mentioned, the kiln is hot. The kiln is hot. The kiln is hot.";
  const RecordMap map = map_of({{.id = "a", .content = filler, .level = Level::Domain},
                                {.id = "b", .content = filler, .level = Level::Domain}});
  const ContextCapsule c = assemble_compacted_context_capsule(map, "default", "kiln", kAt, 59);
  ASSERT_TRUE(c.compaction);
  EXPECT_EQ(c.compaction->baseline_entry_count, 1u);
  EXPECT_EQ(c.compaction->output_entry_count, 2u);
  EXPECT_EQ(c.compaction->additional_entry_count, 1u);
  EXPECT_EQ(c.omitted_count, 0u);
}

TEST(CompactedContextCapsule, EmptyCapsuleHasNoRatio) {
  const RecordMap map;
  const ContextCapsule c = assemble_compacted_context_capsule(map, "default", "kiln", kAt, 2000);
  ASSERT_TRUE(c.compaction);
  EXPECT_THAT(c.entries, IsEmpty());
  EXPECT_EQ(c.compaction->reduction_ratio, 0.0f);
  EXPECT_EQ(c.compaction->original_equivalent_tokens, 0u);
}

}  // namespace
}  // namespace vesk
