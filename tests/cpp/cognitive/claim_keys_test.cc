// Claim records, claim keys by mode, canonical and dense tags, and the
// similarity split into final claim groups.
#include "cognitive/claim_clusters.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

namespace vesk {
namespace {

Record record(std::string id, std::vector<std::string> tags, std::string content = "a claim of some length") {
  Record r;
  r.id = std::move(id);
  r.content = std::move(content);
  r.tags = std::move(tags);
  return r;
}

SharedSdr sdr(std::vector<uint16_t> positions) { return std::make_shared<const Sdr>(std::move(positions)); }

std::vector<std::string> keys_of(const ClaimGroups& groups) {
  std::vector<std::string> out;
  for (const auto& [key, records] : groups.groups()) out.push_back(key + "/" + std::to_string(records.size()));
  std::sort(out.begin(), out.end());
  return out;
}

TEST(ClaimRecords, NeedStrengthAndTenBytes) {
  struct Case {
    float strength;
    std::string content;
    bool claim;
  } cases[] = {{0.05f, "0123456789", true},
               {0.04f, "0123456789", false},
               {1.0f, "012345678", false},
               {std::nanf(""), "0123456789", false}};
  for (const Case& c : cases) {
    Record r = record("r", {"t"}, c.content);
    r.strength = c.strength;
    EXPECT_EQ(is_claim_record(r), c.claim) << c.strength << " " << c.content;
  }
}

TEST(ClaimKeys, EveryModeBuildsItsTagPart) {
  const Record r = record("r", {"b", "a", "c", "a"});
  const Record untagged = record("u", {});
  struct Case {
    CoarseKeyMode mode;
    std::string key;
    std::optional<std::string> untagged;
  } cases[] = {
      {CoarseKeyMode::Standard, "default:a,a,b:fact", std::nullopt},
      {CoarseKeyMode::TopOneTag, "default:a:fact", std::nullopt},
      {CoarseKeyMode::SemanticOnly, "default:fact", "default:fact"},
      {CoarseKeyMode::TagFamily, "default:a:fact", std::nullopt},
      {CoarseKeyMode::TagFamilyAdaptive, "default:a:fact", std::nullopt},
      {CoarseKeyMode::TagFamilyBackoff, "default:a:fact", std::nullopt},
      {CoarseKeyMode::TagFamilyPairBackoff, "default:a,a:fact", std::nullopt},
      {CoarseKeyMode::TagFamilyDenseBackoff, "default:a:fact", std::nullopt},
      {CoarseKeyMode::DualKey, "default:fact", "default:fact"},
      {CoarseKeyMode::NeighborhoodPool, "default:fact", "default:fact"},
      {CoarseKeyMode::BridgeKey, "default:a,b,c:fact", std::nullopt},
      {CoarseKeyMode::SdrTagPool, "default:fact", "default:fact"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(claim_key(r, c.mode), c.key) << static_cast<int>(c.mode);
    EXPECT_EQ(claim_key(untagged, c.mode), c.untagged) << static_cast<int>(c.mode);
  }
}

TEST(ClaimKeys, CanonicalTagsTrimFoldAliasAndKeepThree) {
  EXPECT_EQ(canonical_claim_tags({" UI ", "Deploy", "auth"}),
            (std::vector<std::string>{"authentication", "frontend", "release"}));
  EXPECT_EQ(canonical_claim_tags({"x", "y", "z", "w"}), (std::vector<std::string>{"w", "x", "y"}));
  EXPECT_EQ(canonical_claim_tags({"  ", "A", "a"}), (std::vector<std::string>{"", "a"}));
  EXPECT_EQ(claim_key_family("ns:db,x:fact"), "db,x");
  EXPECT_EQ(claim_key_family("ns"), "");
}

TEST(ClaimKeys, DenseBackoffRekeysOnlyLargerGroups) {
  // Four records of family "db"; "pg" is carried by all four, so dense is
  // [db, pg] and each record carrying both gets its own pair key.
  std::vector<Record> rs;
  for (int i = 0; i < 4; ++i) rs.push_back(record("r" + std::to_string(i), {"db", " PG ", i == 3 ? "alerts" : "x"}));
  rs[3].tags = {"db", "zz"};  // carries no "pg": keeps the group key
  rs[2].tags = {"db", "pg"};
  rs[0].tags = {"db", "pg", "x"};
  rs[1].tags = {"db", "PG"};
  ClaimGroup group;
  for (const Record& r : rs) group.push_back(&r);
  EXPECT_EQ(dense_family_tags(group, "db"), (std::vector<std::string>{"db"}));  // pg counted 3 times only

  Record fifth = record("r4", {"db", "pg"});
  group.push_back(&fifth);
  EXPECT_EQ(dense_family_tags(group, "db"), (std::vector<std::string>{"db", "pg"}));
  ClaimGroups in;
  for (const Record* r : group) in.add("default:db:fact", r);
  EXPECT_EQ(keys_of(dense_rekey(in)), (std::vector<std::string>{"default:db,pg:fact/4", "default:db:fact/1"}));

  // Three records are never re-keyed.
  ClaimGroups three;
  for (int i = 0; i < 3; ++i) three.add("default:db:fact", group[i]);
  EXPECT_EQ(keys_of(dense_rekey(three)), (std::vector<std::string>{"default:db:fact/3"}));
}

struct SplitFixture {
  RecordMap records;
  ClaimSdrMap sdrs;
  BeliefEngine engine;

  void add(std::string id, std::vector<std::string> tags, std::vector<uint16_t> positions) {
    records[id] = record(id, std::move(tags));
    sdrs[id] = sdr(std::move(positions));
  }
  std::vector<std::string> keys(CoarseKeyMode mode) {
    engine.coarse_key_mode = mode;
    return keys_of(final_claim_groups(engine, records, sdrs));
  }
};

TEST(ClaimSplit, SimilarRecordsStayTogetherAndDisjointOnesGetIndexedKeys) {
  SplitFixture same;
  same.add("a", {"db"}, {1, 2, 3});
  same.add("b", {"db"}, {1, 2, 3});
  EXPECT_EQ(same.keys(CoarseKeyMode::Standard), (std::vector<std::string>{"default:db:fact/2"}));

  SplitFixture apart;
  apart.add("a", {"db"}, {1, 2, 3});
  apart.add("b", {"db"}, {7, 8, 9});
  EXPECT_EQ(apart.keys(CoarseKeyMode::Standard),
            (std::vector<std::string>{"default:db:fact#0/1", "default:db:fact#1/1"}));
  // Backoff keeps a group that fell apart whole, except for the family "alerts".
  EXPECT_EQ(apart.keys(CoarseKeyMode::TagFamilyBackoff), (std::vector<std::string>{"default:db:fact/2"}));
  apart.records["a"].tags = apart.records["b"].tags = {"alerts"};
  EXPECT_EQ(apart.keys(CoarseKeyMode::TagFamilyBackoff),
            (std::vector<std::string>{"default:alerts:fact#0/1", "default:alerts:fact#1/1"}));

  // Without SDRs or embeddings nothing is split.
  apart.sdrs.clear();
  EXPECT_EQ(apart.keys(CoarseKeyMode::Standard), (std::vector<std::string>{"default:alerts:fact/2"}));
}

TEST(ClaimSplit, ThresholdsByModeAndOverride) {
  // Tanimoto 2/18 = 0.111: above the DualKey and NeighborhoodPool
  // thresholds, below the 0.15 of the others.
  SplitFixture f;
  f.add("a", {"db"}, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
  f.add("b", {"db"}, {1, 2, 11, 12, 13, 14, 15, 16, 17, 18});
  EXPECT_EQ(f.keys(CoarseKeyMode::DualKey), (std::vector<std::string>{"default:fact/2"}));
  EXPECT_EQ(f.keys(CoarseKeyMode::NeighborhoodPool), (std::vector<std::string>{"default:fact/2"}));
  EXPECT_EQ(f.keys(CoarseKeyMode::Standard).size(), 2u);
  // TagFamilyAdaptive retries at 0.1 when nothing clustered.
  EXPECT_EQ(f.keys(CoarseKeyMode::TagFamilyAdaptive), (std::vector<std::string>{"default:db:fact/2"}));
  f.engine.claim_similarity_override = 0.2f;
  EXPECT_EQ(f.keys(CoarseKeyMode::DualKey).size(), 2u);
  // DualKey needs a shared tag.
  f.engine.claim_similarity_override.reset();
  f.records["b"].tags = {"other"};
  EXPECT_EQ(f.keys(CoarseKeyMode::DualKey).size(), 2u);
  // BridgeKey shares canonical tags: "DB " and "db" agree.
  f.records["b"].tags = {"DB "};
  f.engine.claim_similarity_override = 0.1f;
  EXPECT_EQ(f.keys(CoarseKeyMode::BridgeKey), (std::vector<std::string>{"default:db:fact/2"}));
}

TEST(ClaimSplit, PairRulesWithoutSdrsJoinNothing) {
  SplitFixture f;
  f.add("a", {"db"}, {});
  f.add("b", {"db"}, {});
  f.sdrs.clear();
  f.engine.embedding_similarity_override = 0.5f;
  // No embedding store is installed: the split does not start.
  for (CoarseKeyMode mode : {CoarseKeyMode::DualKey, CoarseKeyMode::NeighborhoodPool, CoarseKeyMode::BridgeKey,
                             CoarseKeyMode::SdrTagPool})
    EXPECT_EQ(f.keys(mode).size(), 1u);
  f.sdrs["zz"] = sdr({1});  // some SDR data: the split starts, records without SDRs join nothing
  for (CoarseKeyMode mode : {CoarseKeyMode::DualKey, CoarseKeyMode::NeighborhoodPool, CoarseKeyMode::BridgeKey,
                             CoarseKeyMode::SdrTagPool})
    EXPECT_EQ(f.keys(mode).size(), 2u) << static_cast<int>(mode);
}

TEST(ClaimSplit, SdrTagPoolNeedsSimilarTagsAndContent) {
  SplitFixture f;
  f.add("a", {"database", "postgres"}, {1, 2, 3});
  f.add("b", {"Database ", "postgres"}, {1, 2, 3});
  f.add("c", {"weather"}, {1, 2, 3});
  EXPECT_EQ(f.keys(CoarseKeyMode::SdrTagPool), (std::vector<std::string>{"default:fact#0/2", "default:fact#1/1"}));
}

TEST(ClaimSimilarity, TanimotoAndCosine) {
  EXPECT_FLOAT_EQ(claim_tanimoto({1, 2, 3}, {2, 3, 4}), 0.5f);
  EXPECT_FLOAT_EQ(claim_tanimoto({1, 2, 3}, {1, 2, 3}), 1.0f);
  EXPECT_EQ(claim_tanimoto({}, {1}), 0.0f);
  const std::vector<float> u{1, 0}, v{0.95f, 0.3122499f}, w{1, 0, 0}, zero{0, 0};
  EXPECT_NEAR(embedding_cosine(u, v), 0.95f, 1e-5);
  EXPECT_EQ(embedding_cosine(u, w), 0.0f);
  EXPECT_EQ(embedding_cosine(u, zero), 0.0f);
}

TEST(ClaimSplit, SkipsPairsAlreadyJoinedAndPairsTheSizesRuleOut) {
  // Three identical records: (0,1) and (1,2) are measured, (0,2) is already
  // joined. A fourth much larger SDR cannot reach 0.15 against them.
  std::vector<Record> rs{record("a", {"t"}), record("b", {"t"}), record("c", {"t"}), record("d", {"t"})};
  ClaimSdrMap sdrs{{"a", sdr({1, 2})}, {"b", sdr({1, 2})}, {"c", sdr({1, 2})}};
  Sdr big;
  for (uint16_t i = 0; i < 40; ++i) big.push_back(i);
  sdrs["d"] = sdr(big);
  ClaimGroup group{&rs[0], &rs[1], &rs[2], &rs[3]};
  ClaimPairCounts counts;
  const std::vector<ClaimGroup> clusters = cluster_claims(group, sdrs, nullptr, 0.15f, 0.0f, &counts);
  ASSERT_EQ(clusters.size(), 2u);
  EXPECT_EQ(clusters[0], (ClaimGroup{&rs[0], &rs[1], &rs[2]}));
  EXPECT_EQ(clusters[1], (ClaimGroup{&rs[3]}));
  EXPECT_EQ(counts.measured, 2u);
  EXPECT_EQ(counts.skipped, 4u);
}

}  // namespace
}  // namespace vesk
