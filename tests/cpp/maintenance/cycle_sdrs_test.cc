#include "maintenance/cycle_sdrs.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>

namespace vesk {
namespace {

Record rec(std::string id, std::string content) {
  Record r;
  r.id = std::move(id);
  r.content = std::move(content);
  return r;
}

SharedSdr general(const std::string& text) {
  return std::make_shared<const Sdr>(encode_sdr(SdrEncoder{}, text, SdrRange::General, SdrCase::Fold));
}

TEST(CycleSdrs, TheRecordSdrMapIsACacheKeptToTheSnapshot) {
  const SdrEncoder encoder;
  Guarded<FlatStringMap<SharedSdr>> record_sdrs;
  const SharedSdr stored = general("Kiln Shelf");
  record_sdrs.unguarded()["aaaaaaaaaaa1"] = stored;
  record_sdrs.unguarded()["gone00000000"] = general("a record no longer valid");

  CycleSnapshot snapshot;
  snapshot.emplace("aaaaaaaaaaa1", rec("aaaaaaaaaaa1", "Kiln Shelf"));
  snapshot.emplace("bbbbbbbbbbb2", rec("bbbbbbbbbbb2", "GLAZE Batch"));

  CycleSdrMap first;
  MaintenanceHotspots h1;
  build_cycle_sdrs(record_sdrs, encoder, snapshot, first, h1);
  EXPECT_EQ((std::array{h1.sdr_vectors_built, h1.sdr_vectors_computed, h1.sdr_vectors_reused}),
            (std::array<uint64_t, 3>{2, 1, 1}));
  // The entry outside the snapshot is gone; the one there is shared, not
  // copied; the missing one is encoded in the general range, case folded.
  const auto& kept = record_sdrs.unguarded();
  EXPECT_EQ(kept.size(), 2u);
  EXPECT_FALSE(kept.contains("gone00000000"));
  EXPECT_EQ(first.at("aaaaaaaaaaa1").get(), stored.get());
  EXPECT_EQ(*first.at("bbbbbbbbbbb2"), *general("glaze batch"));
  EXPECT_EQ(first.at("bbbbbbbbbbb2").get(), kept.at("bbbbbbbbbbb2").get());

  CycleSdrMap second;
  MaintenanceHotspots h2;
  build_cycle_sdrs(record_sdrs, encoder, snapshot, second, h2);
  EXPECT_EQ((std::array{h2.sdr_vectors_built, h2.sdr_vectors_computed, h2.sdr_vectors_reused}),
            (std::array<uint64_t, 3>{2, 0, 2}));
  EXPECT_EQ(second.at("bbbbbbbbbbb2").get(), first.at("bbbbbbbbbbb2").get());

  CycleSdrMap none;
  MaintenanceHotspots h3;
  build_cycle_sdrs(record_sdrs, encoder, CycleSnapshot{}, none, h3);
  EXPECT_TRUE(none.empty());
  EXPECT_TRUE(record_sdrs.unguarded().empty());
  EXPECT_EQ(h3.sdr_vectors_built, 0u);
}

}  // namespace
}  // namespace vesk
