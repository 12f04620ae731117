// The administrative record changes (JSON import, namespace move, promotion,
// salience) on a journal that fails, and the tables an import keeps in step.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "model/record_json.h"
#include "storage/fault_env.h"
#include "storage/test_dir.h"
#include "store/vesk.h"

namespace vesk {
namespace {

using testing::FaultEnv;
using testing::TempDir;

class RecordAdminTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto opened = Vesk::open(dir_.path(), std::nullopt, env_);
    ASSERT_TRUE(opened.ok()) << opened.status().message();
    store_ = std::move(*opened);
  }
  std::string store(std::string content, std::string ns = "default") {
    StoreRequest r;
    r.content = std::move(content);
    r.namespace_ = std::move(ns);
    auto id = store_->store(std::move(r));
    EXPECT_TRUE(id.ok()) << id.status().message();
    return id.ok() ? *id : std::string();
  }
  static std::string json_of(const Record& r) {
    std::string out = "[";
    serialize_record(r, out);
    return out + "]";
  }

  TempDir dir_;
  FaultEnv env_;
  std::unique_ptr<Vesk> store_;
};

TEST_F(RecordAdminTest, AnImportReplacesEveryTableEntryOfTheRecordItReplaces) {
  Record r;
  r.id = "aaaaaaaaaaaa";
  r.content = "apricot orchard";
  r.tags = {"fruit"};
  r.vesk_id = "old-name";
  ASSERT_TRUE(store_->import_json(json_of(r)).ok());
  r.content = "walnut grove";
  r.tags = {"nut"};
  r.vesk_id = "new-name";
  ASSERT_EQ(*store_->import_json(json_of(r)), 1u);

  const SearchIndexes& ix = store_->indexes();
  EXPECT_TRUE(ix.tags.read()->ids_with("fruit").empty());
  EXPECT_EQ(ix.tags.read()->ids_with("nut"), std::vector<std::string>{"aaaaaaaaaaaa"});
  EXPECT_EQ(ix.ngram.read()->size(), 1u);
  EXPECT_EQ(ix.terms.read()->size(), 1u);
  EXPECT_EQ(ix.sdr_index->size(), 1u);
  EXPECT_EQ(ix.record_sdrs.read()->size(), 1u);
  auto ids = store_->record_state().id_map.read();
  EXPECT_EQ(ids->find("old-name"), nullptr);
  ASSERT_NE(ids->find("new-name"), nullptr);
  EXPECT_EQ(*ids->find("new-name"), "aaaaaaaaaaaa");
}

TEST_F(RecordAdminTest, AFailedJournalWriteChangesNothing) {
  const std::string a = store("the record that would move");
  const std::string b = store("the record linked to it");
  ASSERT_TRUE(store_->connect(a, b).ok());
  Record imported;
  imported.id = "bbbbbbbbbbbb";
  imported.content = "an imported record";

  env_.tear_writes_after("brain.cog", 0);
  auto moved = store_->move_record(a, "work");
  ASSERT_FALSE(moved.ok());
  EXPECT_EQ(moved.status().kind(), ErrorKind::OS);
  auto promoted = store_->promote_record(a);
  ASSERT_FALSE(promoted.ok());
  EXPECT_EQ(promoted.status().kind(), ErrorKind::OS);
  auto marked = store_->mark_record_salience(a, 0.5, "why");
  ASSERT_FALSE(marked.ok());
  EXPECT_EQ(marked.status().kind(), ErrorKind::Runtime);
  auto count = store_->import_json(json_of(imported));
  ASSERT_FALSE(count.ok());
  EXPECT_EQ(count.status().kind(), ErrorKind::Runtime);
  env_.clear();

  const Record held = *store_->get(a);
  EXPECT_EQ(held.namespace_, "default");
  EXPECT_EQ(held.level, Level::Working);
  EXPECT_EQ(held.salience, 0.0f);
  EXPECT_FALSE(held.metadata.contains("salience_marked_at"));
  EXPECT_TRUE(held.connections.contains(b));
  EXPECT_TRUE(store_->get(b)->connections.contains(a));
  EXPECT_FALSE(store_->get("bbbbbbbbbbbb"));
  EXPECT_EQ(store_->indexes().ngram.read()->size(), 2u);
}

TEST_F(RecordAdminTest, ANanSalienceIsRefusedBeforeAnyChange) {
  const std::string a = store("a record of some salience");
  auto marked = store_->mark_record_salience(a, std::nan(""));
  ASSERT_FALSE(marked.ok());
  EXPECT_EQ(marked.status().kind(), ErrorKind::Runtime);
  EXPECT_FALSE(store_->get(a)->metadata.contains("salience_marked_at"));
}

}  // namespace
}  // namespace vesk
