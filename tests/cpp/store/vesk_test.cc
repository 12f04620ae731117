#include "store/vesk.h"

#include <gtest/gtest.h>

#include "store/vesk_test_access.h"

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "audit/audit_action.h"
#include "audit/audit_entry.h"
#include "model/record_json.h"
#include "recall/context_block.h"
#include "recall/record_validity.h"
#include "storage/fault_env.h"
#include "storage/snapshot_files.h"
#include "storage/test_dir.h"
#include "store/load_repairs.h"

namespace vesk {
namespace {

using testing::FaultEnv;
using testing::slurp;
using testing::TempDir;

Record rec(std::string id, std::string content = "") {
  Record r;
  r.id = std::move(id);
  r.content = content.empty() ? "text of " + r.id : std::move(content);
  r.created_at = 1700000000.5;
  r.last_activated = 1700000000.5;
  return r;
}

// Writes the records into the journal as kind-1 frames, as the store road
// does, with no store open.
void seed_journal(const fs::path& dir, const std::vector<Record>& records, StoreKey key = nullptr) {
  fs::create_directories(dir);
  auto journal = CognitiveStore::open(dir, key, Env::Default());
  ASSERT_TRUE(journal.ok()) << journal.status().message();
  for (const Record& r : records) {
    std::string json;
    serialize_record(r, json);
    ASSERT_TRUE((*journal)->append_cognitive_frame(FrameKind::kRecordInsert, json, false).ok());
  }
  ASSERT_TRUE((*journal)->close().ok());
}

// Record log entries: the SDR and the tier/pin factor a record was stored with.
void seed_log(const fs::path& dir, const std::vector<LogEntry>& entries) {
  auto storage = VeskStorage::open(dir, nullptr, Env::Default());
  ASSERT_TRUE(storage.ok()) << storage.status().message();
  for (const LogEntry& e : entries) ASSERT_TRUE((*storage)->append(e).ok());
  ASSERT_TRUE((*storage)->close().ok());
}

LogEntry log_entry(std::string id, std::vector<uint16_t> sdr, std::string tier = "general", float pin = 1.0f) {
  LogEntry e;
  e.id = std::move(id);
  e.tier = std::move(tier);
  e.sdr = make_sdr_positions(std::move(sdr));
  e.content = "text";
  e.pin_factor = pin;
  return e;
}

// (kind, payload) of every frame of a plain journal.
std::vector<std::pair<int, std::string>> frames(const fs::path& journal) {
  std::string bytes = slurp(journal);
  std::vector<std::pair<int, std::string>> out;
  size_t at = 5;
  while (at + 9 <= bytes.size()) {
    uint32_t n;
    std::memcpy(&n, bytes.data() + at + 1, 4);
    out.emplace_back(static_cast<unsigned char>(bytes[at]), bytes.substr(at + 9, n));
    at += 9 + n;
  }
  return out;
}

std::vector<std::string> ids_of_batch(const std::string& payload) {
  std::vector<std::string> ids;
  for (size_t at = 0; (at = payload.find("{\"id\":\"", at)) != std::string::npos; at += 7) {
    ids.push_back(payload.substr(at + 7, 12));
  }
  return ids;
}

TEST(VeskOpen, EmptyDirectoryOpensPlainAndLocksUntilClosed) {
  TempDir tmp;
  fs::path dir = tmp / "store";
  auto v = Vesk::open(dir, std::nullopt);
  ASSERT_TRUE(v.ok()) << v.status().message();
  EXPECT_EQ(slurp(dir / "brain.cog"), std::string("COG1\x02", 5));
  EXPECT_FALSE((*v)->is_encrypted());
  EXPECT_EQ((*v)->security_profile(), SecurityProfile::Balanced);
  EXPECT_EQ((*v)->config().store_path(), dir);
  EXPECT_EQ(VeskTestAccess::credibility(**v).read()->defaults.size(), 43u);
  {
    auto report = std::make_optional((*v)->startup_report());
    ASSERT_FALSE(report->events.empty());
    const StartupValidationEvent& first = report->events.front();
    EXPECT_EQ(first.surface, "records");
    EXPECT_EQ(first.path, dir.string());
    EXPECT_EQ(first.status, "loaded");
    EXPECT_EQ(first.detail, "loaded 0 records");
    EXPECT_FALSE(first.recovered);
  }

  auto second = Vesk::open(dir, std::nullopt);
  ASSERT_FALSE(second.ok());
  EXPECT_EQ(second.status().kind(), ErrorKind::OS);

  ASSERT_TRUE((*v)->close().ok());
  ASSERT_TRUE((*v)->close().ok());  // a second close does nothing new
  EXPECT_TRUE(Vesk::open(dir, std::nullopt).ok());
}

TEST(VeskOpen, KeyFileFailuresEndTheOpenWithTheDirectoryUnlocked) {
  TempDir tmp;
  fs::path dir = tmp / "store";
  {
    auto v = Vesk::open(dir, "secret");
    ASSERT_TRUE(v.ok()) << v.status().message();
    EXPECT_TRUE((*v)->is_encrypted());
    ASSERT_TRUE((*v)->close().ok());
  }
  const std::vector<std::pair<std::optional<std::string_view>, std::string>> cases = {
      {"wrong", "Unable to unlock memory: invalid password or damaged key file"},
      {std::nullopt, "Password required for encrypted memory"},
  };
  for (const auto& [password, message] : cases) {
    auto v = Vesk::open(dir, password);
    ASSERT_FALSE(v.ok());
    EXPECT_EQ(v.status().kind(), ErrorKind::OS);
    EXPECT_EQ(v.status().message(), message);
  }
  EXPECT_TRUE(Vesk::open(dir, "secret").ok());
}

TEST(VeskOpen, RepairsArePersistedAsOneBatchAndNotRepeated) {
  TempDir tmp;
  fs::path dir = tmp / "store";
  Record inferred = rec("aaaaaaaaaaa1");
  inferred.source_type = "inferred";
  Record recorded = rec("aaaaaaaaaaa2");  // 0.9 is right for "recorded"
  Record retrieved = rec("aaaaaaaaaaa3");
  retrieved.source_type = "retrieved";
  retrieved.confidence = 0.42f;  // not the default: left alone
  seed_journal(dir, {inferred, recorded, retrieved});

  {
    auto v = Vesk::open(dir, std::nullopt);
    ASSERT_TRUE(v.ok()) << v.status().message();
    auto records = (*v)->record_state().records.read();
    EXPECT_FLOAT_EQ(records->at("aaaaaaaaaaa1").confidence, 0.6f);
    EXPECT_FLOAT_EQ(records->at("aaaaaaaaaaa2").confidence, 0.9f);
    EXPECT_FLOAT_EQ(records->at("aaaaaaaaaaa3").confidence, 0.42f);
  }
  auto after_first = frames(dir / "brain.cog");
  ASSERT_EQ(after_first.size(), 4u);
  EXPECT_EQ(after_first.back().first, 4);
  EXPECT_EQ(ids_of_batch(after_first.back().second), std::vector<std::string>{"aaaaaaaaaaa1"});

  // The repaired state is what replays now: nothing more to write.
  ASSERT_TRUE(Vesk::open(dir, std::nullopt).ok());
  EXPECT_EQ(frames(dir / "brain.cog").size(), 4u);
}

TEST(VeskOpen, AFailedRepairFrameFailsTheOpenAndReleasesTheLock) {
  TempDir tmp;
  fs::path dir = tmp / "store";
  Record inferred = rec("aaaaaaaaaaa1");
  inferred.source_type = "inferred";
  seed_journal(dir, {inferred});
  FaultEnv env;
  env.fail_sync("brain.cog");
  auto v = Vesk::open(dir, std::nullopt, env);
  ASSERT_FALSE(v.ok());
  EXPECT_EQ(v.status().kind(), ErrorKind::OS);
  EXPECT_EQ(v.status().message(), "failed to persist recovered legacy record state");
  env.clear();
  EXPECT_TRUE(Vesk::open(dir, std::nullopt, env).ok());
}

TEST(VeskOpen, DamagedLayerAndEmbeddingFilesOpenWithRecoveryEvents) {
  TempDir tmp;
  fs::path dir = tmp / "store";
  ASSERT_TRUE(Vesk::open(dir, std::nullopt).ok());  // created, then dropped
  testing::spit(dir / "beliefs.cog", "{not json");
  testing::spit(dir / "embeddings.cog", "damaged");
  auto v = Vesk::open(dir, std::nullopt);
  ASSERT_TRUE(v.ok()) << v.status().message();
  auto report = std::make_optional((*v)->startup_report());
  EXPECT_TRUE(report->has_recovery_warnings);
  auto find = [&](std::string_view surface) -> const StartupValidationEvent* {
    for (const auto& e : report->events)
      if (e.surface == surface) return &e;
    return nullptr;
  };
  const StartupValidationEvent* belief = find("belief");
  ASSERT_NE(belief, nullptr);
  EXPECT_EQ(belief->status, "load_error_fallback");
  EXPECT_TRUE(belief->recovered);
  EXPECT_EQ(belief->path, (dir / "beliefs.cog").string());
  const StartupValidationEvent* embeddings = find("embeddings");
  ASSERT_NE(embeddings, nullptr);
  EXPECT_EQ(embeddings->status, "load_error_fallback");
  EXPECT_TRUE(embeddings->recovered);
  EXPECT_EQ(report->recovered_fallbacks, 2u);
  EXPECT_EQ(report->events.back().surface, "embeddings");
  EXPECT_EQ((*v)->indexes().embeddings->size(), 0u);
}

// What the store road writes for one record, in an encrypted store: the log
// entry, the journal frame and the audit line. No store file may then hold
// the record's text in plain bytes.
TEST(VeskOpen, AnEncryptedStoreKeepsNoPlainText) {
  TempDir tmp;
  fs::path dir = tmp / "store";
  const std::string secret_text = "the vault code is 4711-plain-marker";
  {
    auto v = Vesk::open(dir, "pw");
    ASSERT_TRUE(v.ok()) << v.status().message();
    Record r = rec("cccccccccccc", secret_text);
    LogEntry e = log_entry(r.id, {5, 6});
    e.content = secret_text;
    ASSERT_TRUE(VeskTestAccess::storage(**v).append(e).ok());
    std::string json;
    serialize_record(r, json);
    ASSERT_TRUE(VeskTestAccess::journal(**v).append_cognitive_frame(FrameKind::kRecordInsert, json, false).ok());
    ASSERT_TRUE(VeskTestAccess::audit(**v)->append_audit_entry(AuditAction::Store{r.id, secret_text.substr(0, 50)}).ok());
    VeskTestAccess::records(**v).records.write()->emplace(r.id, r);
    VeskTestAccess::recall(**v).pending_activations.restore({r.id});
    ASSERT_TRUE((*v)->close().ok());
  }
  {
    auto v = Vesk::open(dir, "pw");
    ASSERT_TRUE(v.ok()) << v.status().message();
    EXPECT_EQ((*v)->record_state().records.read()->at("cccccccccccc").content, secret_text);
  }
  int files = 0;
  for (const auto& entry : fs::recursive_directory_iterator(dir)) {
    if (!entry.is_regular_file()) continue;
    ++files;
    std::string bytes = slurp(entry.path());
    EXPECT_EQ(bytes.find("4711-plain-marker"), std::string::npos) << entry.path();
  }
  EXPECT_GE(files, 6);  // key, lock, log, journal, audit, index files
}

class LoadRepairs : public ::testing::Test {
 protected:
  void SetUp() override {
    seed_log(tmp_.path(), {log_entry("core00000001", {1}, "user_core"), log_entry("pinf00000001", {1}, "general", 100.0f),
                           log_entry("pinf00000002", {1}, "general", 99.0f)});
    auto storage = VeskStorage::open(tmp_.path(), nullptr, Env::Default());
    ASSERT_TRUE(storage.ok());
    storage_ = std::move(*storage);
  }
  std::vector<std::string> repair(RecordMap& map) { return apply_load_time_repairs(map, *storage_); }

  TempDir tmp_;
  std::shared_ptr<VeskStorage> storage_;
};

TEST_F(LoadRepairs, PinsFromTheRecordLog) {
  RecordMap map;
  for (const char* id : {"core00000001", "pinf00000001", "pinf00000002", "nolog0000001"}) map[id] = rec(id);
  auto repaired = repair(map);
  std::sort(repaired.begin(), repaired.end());
  EXPECT_EQ(repaired, (std::vector<std::string>{"core00000001", "pinf00000001"}));
  EXPECT_TRUE(map["core00000001"].pinned);
  EXPECT_TRUE(map["pinf00000001"].pinned);
  EXPECT_FALSE(map["pinf00000002"].pinned);
  EXPECT_FALSE(map["nolog0000001"].pinned);
}

TEST_F(LoadRepairs, ConfidenceFollowsTheSourceTypeDefault) {
  const std::vector<std::tuple<std::string, float, float>> cases = {
      {"recorded", 0.9f, 0.9f},   {"retrieved", 0.9f, 0.75f}, {"inferred", 0.9f, 0.6f},
      {"generated", 0.9f, 0.5f},  {"other", 0.9005f, 0.5f},   {"inferred", 0.89f, 0.89f},
      {"inferred", 0.7f, 0.7f},
  };
  for (const auto& [source, before, after] : cases) {
    RecordMap map;
    Record r = rec("aaaaaaaaaaaa");
    r.source_type = source;
    r.confidence = before;
    map[r.id] = r;
    auto repaired = repair(map);
    EXPECT_FLOAT_EQ(map[r.id].confidence, after) << source << " " << before;
    EXPECT_EQ(repaired.size(), before == after ? 0u : 1u) << source << " " << before;
  }
}

TEST_F(LoadRepairs, IncompleteSupersedesAreLinkedOrReopened) {
  RecordMap map;
  Record orphan = rec("orphan000001");
  orphan.metadata["superseded_by"] = "pending";
  orphan.valid_until = 5.0;
  orphan.superseded_at = 5.0;
  Record old = rec("old000000001");
  old.metadata["superseded_by"] = "pending";
  // Two successors created at the same time: the smaller id wins; one in
  // another namespace does not count, even though it is earlier.
  Record b = rec("succ0000000b");
  b.caused_by_id = old.id;
  b.created_at = 200.0;
  b.valid_from = 150.0;
  Record a = rec("succ0000000a");
  a.caused_by_id = old.id;
  a.created_at = 200.0;
  a.valid_from = 180.0;
  Record elsewhere = rec("succ00000000");
  elsewhere.caused_by_id = old.id;
  elsewhere.created_at = 100.0;
  elsewhere.namespace_ = "other";
  // A finished supersede whose times were lost.
  Record named = rec("named0000001");
  named.metadata["superseded_by"] = a.id;
  Record dangling = rec("dangling0001");
  dangling.metadata["superseded_by"] = "nosuchrecord";
  for (const Record& r : {orphan, old, b, a, elsewhere, named, dangling}) map[r.id] = r;

  auto repaired = repair(map);
  std::sort(repaired.begin(), repaired.end());
  EXPECT_EQ(repaired, (std::vector<std::string>{"named0000001", "old000000001", "orphan000001"}));

  const Record& o = map["orphan000001"];
  EXPECT_FALSE(o.metadata.contains("superseded_by"));
  EXPECT_EQ(o.metadata.at("supersede_recovery"), "reopened_incomplete_pending");
  EXPECT_FALSE(o.valid_until);
  EXPECT_FALSE(o.superseded_at);

  const Record& l = map["old000000001"];
  EXPECT_EQ(l.metadata.at("superseded_by"), "succ0000000a");
  EXPECT_EQ(l.metadata.at("supersede_recovery"), "linked_pending_successor");
  EXPECT_EQ(l.valid_until, 180.0);  // the successor's valid_from
  EXPECT_EQ(l.superseded_at, 200.0);

  EXPECT_EQ(map["named0000001"].valid_until, 200.0);
  EXPECT_EQ(map["named0000001"].superseded_at, 200.0);
  EXPECT_FALSE(map["dangling0001"].valid_until);
}

TEST(VeskOpen, WeakUnprotectedRecordsStayOutOfMemory) {
  TempDir tmp;
  fs::path dir = tmp / "store";
  Record weak = rec("weak00000001");
  weak.strength = 0.04f;
  Record pinned = rec("weak00000002");
  pinned.strength = 0.04f;
  pinned.pinned = true;
  Record tagged = rec("weak00000003");
  tagged.strength = 0.0f;
  tagged.tags = {"person"};
  Record strong = rec("strong000001");
  strong.strength = 0.05f;
  seed_journal(dir, {weak, pinned, tagged, strong});

  auto v = Vesk::open(dir, std::nullopt);
  ASSERT_TRUE(v.ok()) << v.status().message();
  {
    auto records = (*v)->record_state().records.read();
    EXPECT_FALSE(records->contains("weak00000001"));
    EXPECT_EQ(records->size(), 3u);
  }
  EXPECT_EQ((*v)->indexes().tags.read()->ids_with("person"), std::vector<std::string>{"weak00000003"});
  auto report = std::make_optional((*v)->startup_report());
  ASSERT_GE(report->events.size(), 2u);
  const StartupValidationEvent& cold = report->events[1];
  EXPECT_EQ(cold.surface, "cold_records");
  EXPECT_EQ(cold.path, (dir / "brain.cog").string());
  EXPECT_EQ(cold.status, "excluded_from_active_indexes");
  EXPECT_EQ(cold.detail, "kept 1 demoted records in the durable journal");
  EXPECT_EQ(report->events[0].detail, "loaded 4 records");
}

TEST(VeskOpen, RecordsMissingFromTheSavedSdrIndexAreIndexedFromTheRecordLog) {
  TempDir tmp;
  fs::path dir = tmp / "store";
  // Stored, but the store died before its SDR index was saved.
  seed_log(dir, {log_entry("aaaaaaaaaaa1", {3, 70, 900}), log_entry("aaaaaaaaaaa2", {3, 71})});
  Record vid = rec("aaaaaaaaaaa2");
  vid.vesk_id = "vid-2";
  seed_journal(dir, {rec("aaaaaaaaaaa1"), vid, rec("journalonly1")});
  {
    auto v = Vesk::open(dir, std::nullopt);
    ASSERT_TRUE(v.ok()) << v.status().message();
    SdrIndex::Contents c = (*v)->indexes().sdr_index->contents();
    EXPECT_EQ(c.id_map.size(), 2u);
    EXPECT_TRUE(c.id_map.contains("aaaaaaaaaaa1"));
    EXPECT_EQ(c.bitmaps.at(3).size(), 2u);
    EXPECT_EQ((*v)->record_state().id_map.read()->at("vid-2"), "aaaaaaaaaaa2");
    ASSERT_TRUE((*v)->close().ok());
  }
  // Saved at close: the next open reads them from the files.
  SdrIndex saved((dir / "index").string(), Env::Default());
  ASSERT_TRUE(saved.load().ok());
  EXPECT_EQ(saved.size(), 2u);
}

TEST(VeskOpen, ADamagedSdrIndexIsRebuiltFromTheRecordLogAndReported) {
  TempDir tmp;
  fs::path dir = tmp / "store";
  seed_log(dir, {log_entry("aaaaaaaaaaa1", {3, 70, 900}), log_entry("aaaaaaaaaaa2", {3, 71, 901}),
                 log_entry("aaaaaaaaaaa3", {4, 72})});
  seed_journal(dir, {rec("aaaaaaaaaaa1"), rec("aaaaaaaaaaa2"), rec("aaaaaaaaaaa3")});
  SdrIndex::Contents whole;
  {
    auto v = Vesk::open(dir, std::nullopt);
    ASSERT_TRUE(v.ok()) << v.status().message();
    whole = (*v)->indexes().sdr_index->contents();
    ASSERT_TRUE((*v)->close().ok());
  }
  // Cut inside the last bitmap: the records before the cut would load, the
  // postings after it would be lost for records the manifest still names.
  const fs::path sdr_idx = dir / "index" / "sdr.idx";
  fs::resize_file(sdr_idx, fs::file_size(sdr_idx) - 3);

  auto v = Vesk::open(dir, std::nullopt);
  ASSERT_TRUE(v.ok()) << v.status().message();
  EXPECT_EQ((*v)->indexes().sdr_index->contents().bitmaps, whole.bitmaps);
  auto report = std::make_optional((*v)->startup_report());
  auto it = std::find_if(report->events.begin(), report->events.end(),
                         [](const StartupValidationEvent& e) { return e.surface == "sdr_index"; });
  ASSERT_NE(it, report->events.end());
  const StartupValidationEvent& e = *it;
  EXPECT_EQ(e.path, (dir / "index").string());
  EXPECT_EQ(e.status, "load_error_fallback");
  ASSERT_TRUE(e.detail);
  EXPECT_TRUE(e.detail->starts_with("rebuilt from the record log: ")) << *e.detail;
  EXPECT_TRUE(e.recovered);
  EXPECT_EQ(report->recovered_fallbacks, 1u);
}

// The journal's frames: (offset, length) of each, in order.
std::vector<std::pair<size_t, size_t>> frame_spans(const std::string& bytes) {
  std::vector<std::pair<size_t, size_t>> out;
  for (size_t at = 5; at + 9 <= bytes.size();) {
    uint32_t n;
    std::memcpy(&n, bytes.data() + at + 1, 4);
    out.emplace_back(at, 9 + n);
    at += 9 + n;
  }
  return out;
}

TEST(VeskOpen, ADirectoryThatCannotBeWrittenIsNotCalledOpenElsewhere) {
  TempDir tmp;
  FaultEnv env;
  env.fail_open_for_write("brain.lock");
  auto v = Vesk::open(tmp / "store", std::nullopt, env);
  ASSERT_FALSE(v.ok());
  EXPECT_EQ(v.status().message(), "Vesk brain at " + (tmp / "store").string() +
                                      " cannot be opened for writing (Permission denied): the store directory must "
                                      "be writable");
}

// The record log's entries: (offset, length) of each, in order.
std::vector<std::pair<size_t, size_t>> log_spans(const std::string& bytes) {
  std::vector<std::pair<size_t, size_t>> out;
  for (size_t at = 64; at + 79 <= bytes.size();) {
    uint16_t b;
    uint32_t n;
    std::memcpy(&b, bytes.data() + at + 72, 2);
    std::memcpy(&n, bytes.data() + at + 74, 4);
    out.emplace_back(at, 79 + 2 * size_t{b} + n);
    at += 79 + 2 * size_t{b} + n;
  }
  return out;
}

std::vector<std::string> store_notes(const fs::path& dir, int n) {
  auto v = Vesk::open(dir, std::nullopt);
  EXPECT_TRUE(v.ok()) << v.status().message();
  std::vector<std::string> ids;
  for (int i = 0; i < n; ++i) {
    StoreRequest r;
    r.content = "note number " + std::to_string(i) + " about the kiln and its glaze";
    ids.push_back(*(*v)->store(std::move(r)));
  }
  EXPECT_TRUE((*v)->close().ok());
  return ids;
}

TEST(VeskOpen, ADamagedRecordLogKeepsItsWholeEntriesAndTheJournalRestoresTheRest) {
  TempDir tmp;
  const fs::path dir = tmp / "store";
  const std::vector<std::string> ids = store_notes(dir, 200);
  // One flipped length byte at the start of entry 100: its payload length
  // now runs far past the end, with 100 entries behind it.
  std::string bytes = slurp(dir / "brain.vesk");
  const auto spans = log_spans(bytes);
  ASSERT_EQ(spans.size(), 200u);
  bytes[spans[99].first + 77] ^= 0x40;
  testing::spit(dir / "brain.vesk", bytes);

  auto v = Vesk::open(dir, std::nullopt);
  ASSERT_TRUE(v.ok()) << v.status().message();
  EXPECT_EQ((*v)->count(), 200u);
  for (const std::string& id : ids) {
    EXPECT_TRUE((*v)->get(id)) << id;
    // Every record has its log entry again, and with it its SDR postings.
    EXPECT_TRUE((*v)->storage().cached_entry(id)) << id;
    EXPECT_TRUE((*v)->indexes().sdr_index->doc_of(id)) << id;
  }
  ASSERT_TRUE((*v)->close().ok());
  const std::string now = slurp(dir / "brain.vesk");
  EXPECT_EQ(now.substr(64, spans[99].first - 64), bytes.substr(64, spans[99].first - 64))
      << "entries 1 to 99 stay where they were";
  int copies = 0;
  for (const auto& entry : fs::directory_iterator(dir)) {
    if (entry.path().filename().string().starts_with("brain.vesk.damaged-")) {
      ++copies;
      EXPECT_EQ(slurp(entry.path()), bytes);
    }
  }
  EXPECT_EQ(copies, 1);
  // A torn tail (part of an entry a crash left) is still cut without a word.
  testing::spit(dir / "brain.vesk", now + now.substr(64, 120));
  auto reopened = Vesk::open(dir, std::nullopt);
  ASSERT_TRUE(reopened.ok());
  for (const auto& e : (*reopened)->startup_report().events) EXPECT_NE(e.status, "load_error_fallback") << e.surface;
  ASSERT_TRUE((*reopened)->close().ok());
  EXPECT_EQ(slurp(dir / "brain.vesk"), now);
}

TEST(VeskOpen, ASnapshotLeftHalfWrittenByADeadProcessIsRemoved) {
  TempDir tmp;
  const fs::path dir = tmp / "store";
  store_notes(dir, 1);
  testing::spit(dir / "embeddings.0f1e2d3c-0000-4000-8000-000000000000.tmp", std::string(4096, 'x'));
  testing::spit(dir / "unrelated.tmp", "kept");
  ASSERT_TRUE(Vesk::open(dir, std::nullopt).ok());
  EXPECT_FALSE(fs::exists(dir / "embeddings.0f1e2d3c-0000-4000-8000-000000000000.tmp"));
  EXPECT_TRUE(fs::exists(dir / "unrelated.tmp"));
}

TEST(VeskOpen, AMissingJournalBesideARecordLogIsReportedNotOpenedAsNew) {
  TempDir tmp;
  const fs::path dir = tmp / "store";
  store_notes(dir, 200);
  fs::remove(dir / "brain.cog");
  fs::remove(dir / "brain.snap");
  auto v = Vesk::open(dir, std::nullopt);
  ASSERT_TRUE(v.ok()) << v.status().message();
  EXPECT_EQ((*v)->count(), 0u);
  std::vector<std::string> details;
  for (const auto& e : (*v)->startup_report().events) {
    if (e.status == "load_error_fallback" && e.detail) details.push_back(*e.detail);
  }
  EXPECT_EQ(details, std::vector<std::string>{"the journal lacks 200 records that the record log holds entries for"});
}

TEST(VeskOpen, DamageInTheJournalLosesOnlyTheDamagedFramesAndIsReported) {
  for (const char* password : {static_cast<const char*>(nullptr), "pw"}) {
    SCOPED_TRACE(password ? "encrypted" : "plain");
    TempDir tmp;
    const fs::path dir = tmp / "store";
    std::vector<std::string> ids;
    {
      auto v = password ? Vesk::open(dir, password) : Vesk::open(dir, std::nullopt);
      ASSERT_TRUE(v.ok()) << v.status().message();
      for (int i = 0; i < 200; ++i) {
        StoreRequest r;
        r.content = "note number " + std::to_string(i) + " about the kiln and its glaze";
        auto stored = (*v)->store(std::move(r));
        ASSERT_TRUE(stored.ok());
        ids.push_back(*stored);
      }
      ASSERT_TRUE((*v)->close().ok());
    }
    // 4,096 zero bytes over the middle, and a zero tail as a power loss
    // leaves it: every frame wholly outside the zeroed bytes must come back.
    std::string bytes = slurp(dir / "brain.cog");
    const auto spans = frame_spans(bytes);
    ASSERT_EQ(spans.size(), 200u);
    const size_t from = bytes.size() / 2, to = from + 4096;
    std::fill(bytes.begin() + from, bytes.begin() + to, '\0');
    bytes += std::string(9, '\0');
    testing::spit(dir / "brain.cog", bytes);
    std::vector<std::string> kept;
    for (size_t i = 0; i < spans.size(); ++i) {
      if (spans[i].first + spans[i].second <= from || spans[i].first >= to) kept.push_back(ids[i]);
    }

    auto v = password ? Vesk::open(dir, password) : Vesk::open(dir, std::nullopt);
    ASSERT_TRUE(v.ok()) << v.status().message();
    EXPECT_EQ((*v)->count(), kept.size());
    for (const std::string& id : kept) EXPECT_TRUE((*v)->get(id)) << id;
    EXPECT_LT(kept.size(), 200u);

    StartupValidationReport report = (*v)->startup_report();
    std::vector<const StartupValidationEvent*> losses;
    for (const auto& e : report.events)
      if (e.status == "load_error_fallback") losses.push_back(&e);
    // The damage itself, and the records the record log still names.
    ASSERT_EQ(losses.size(), 2u);
    for (const StartupValidationEvent* e : losses) {
      EXPECT_EQ(e->surface, "records");
      EXPECT_EQ(e->path, (dir / "brain.cog").string());
      EXPECT_TRUE(e->recovered);
      ASSERT_TRUE(e->detail);
    }
    EXPECT_NE(losses[0]->detail->find("brain.cog.damaged-"), std::string::npos) << *losses[0]->detail;
    EXPECT_EQ(*losses[1]->detail, "the journal lacks " + std::to_string(200 - kept.size()) +
                                      " records that the record log holds entries for");
    int copies = 0;
    for (const auto& entry : fs::directory_iterator(dir)) {
      if (entry.path().filename().string().starts_with("brain.cog.damaged-")) {
        ++copies;
        EXPECT_EQ(slurp(entry.path()), bytes) << "the copy holds the damaged journal as it was";
      }
    }
    EXPECT_EQ(copies, 1);
  }
}

class VeskFlush : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = tmp_ / "store";
    seed_journal(dir_, {rec("bbbbbbbbbbb2"), rec("bbbbbbbbbbb1"), rec("bbbbbbbbbbb3")});
    auto v = Vesk::open(dir_, std::nullopt, env_);
    ASSERT_TRUE(v.ok()) << v.status().message();
    v_ = std::move(*v);
  }
  void note(std::initializer_list<const char*> ids) {
    VeskTestAccess::recall(*v_).pending_activations.restore(std::vector<std::string>(ids.begin(), ids.end()));
  }

  TempDir tmp_;
  fs::path dir_;
  FaultEnv env_;
  std::unique_ptr<Vesk> v_;
};

TEST_F(VeskFlush, PendingActivationsBecomeOneSortedFrame) {
  ASSERT_TRUE(v_->flush().ok());
  EXPECT_EQ(frames(dir_ / "brain.cog").size(), 3u);  // nothing pending, nothing written

  note({"bbbbbbbbbbb3", "bbbbbbbbbbb1", "deleted00001", "bbbbbbbbbbb2"});
  ASSERT_TRUE(v_->flush().ok());
  auto f = frames(dir_ / "brain.cog");
  ASSERT_EQ(f.size(), 4u);
  EXPECT_EQ(f.back().first, 4);
  EXPECT_EQ(ids_of_batch(f.back().second),
            (std::vector<std::string>{"bbbbbbbbbbb1", "bbbbbbbbbbb2", "bbbbbbbbbbb3"}));
  EXPECT_TRUE(v_->recall_state().pending_activations.size() == 0);
}

TEST_F(VeskFlush, AfterCloseOnlyPendingActivationsFailAndCloseDoesNothing) {
  ASSERT_TRUE(v_->close().ok());
  EXPECT_TRUE(v_->flush().ok());
  // A recall after close changes records in memory only.
  v_->recall("text of bbbbbbbbbbb1");
  note({"bbbbbbbbbbb1"});
  Status s = v_->flush();
  ASSERT_FALSE(s.ok());
  EXPECT_EQ(s.message(), "failed to persist recall activation state");
  EXPECT_TRUE(v_->recall_state().pending_activations.contains("bbbbbbbbbbb1"));
  EXPECT_TRUE(v_->close().ok()) << "closed once, a store stays closed";
  // The directory was released by the first close; the audit journal's last
  // line was written then, and a later handle's lines stay whole when the
  // first object goes away.
  auto other = Vesk::open(dir_, std::nullopt);
  ASSERT_TRUE(other.ok());
  (*other)->recall("text of bbbbbbbbbbb2");
  v_.reset();
  ASSERT_TRUE((*other)->close().ok());
  const std::string audit = slurp(dir_ / "brain.audit");
  size_t closes = 0;
  for (size_t at = 0; (at = audit.find("\"action\":\"close\"", at)) != std::string::npos; ++at) ++closes;
  EXPECT_EQ(closes, 2u);
  EXPECT_EQ(audit.back(), '\n');
  for (size_t start = 0; start < audit.size();) {
    size_t end = audit.find('\n', start);
    EXPECT_TRUE(parse_audit_entry(audit.substr(start, end - start)).ok()) << audit.substr(start, end - start);
    start = end + 1;
  }
}

TEST_F(VeskFlush, AFailedJournalForceLeavesTheStoreOpenAndCloseable) {
  note({"bbbbbbbbbbb1"});
  env_.fail_sync("brain.cog");
  ASSERT_FALSE(v_->close().ok());
  EXPECT_TRUE(v_->recall_state().pending_activations.contains("bbbbbbbbbbb1"));  // its forced batch failed
  EXPECT_FALSE(v_->journal().is_closed());
  EXPECT_FALSE(Vesk::open(dir_, std::nullopt).ok());  // still locked
  env_.clear();
  ASSERT_TRUE(v_->close().ok());
  EXPECT_TRUE(v_->recall_state().pending_activations.size() == 0);
  EXPECT_TRUE(v_->journal().is_closed());
  EXPECT_TRUE(Vesk::open(dir_, std::nullopt).ok());
}

TEST_F(VeskFlush, AFailedSdrIndexSaveEndsTheCloseAndIsReported) {
  env_.fail_rename("sdr.idx");
  Status s = v_->close();
  EXPECT_EQ(s.message(), "failed to save the SDR index: injected rename failure");
  EXPECT_EQ(s.kind(), ErrorKind::Runtime);
  EXPECT_TRUE(v_->journal().is_closed());
  env_.clear();
  // Closed all the same: the directory is free, and nothing was lost.
  auto reopened = Vesk::open(dir_, std::nullopt);
  ASSERT_TRUE(reopened.ok()) << reopened.status().message();
  EXPECT_EQ((*reopened)->count(), 3u);
}

TEST(SnapshotFiles, NamesFollowTheStoreStemBesideTheStore) {
  const std::vector<std::tuple<std::string, std::string, std::string>> cases = {
      {"/data/mem.db", "/data", "/data/mem_snapshot_nightly.json"},
      {"/data/mem", "/data", "/data/mem_snapshot_nightly.json"},
      {"/data/mem/", "/data", "/data/mem_snapshot_nightly.json"},
      {"/data/a.b.c", "/data", "/data/a.b_snapshot_nightly.json"},
      {"/data/.hidden", "/data", "/data/.hidden_snapshot_nightly.json"},
      {"mem", ".", "mem_snapshot_nightly.json"},
      {"/", ".", "./_snapshot_nightly.json"},
  };
  for (const auto& [store, dir, file] : cases) {
    EXPECT_EQ(snapshot_dir(store).string(), dir) << store;
    EXPECT_EQ(snapshot_path(store, "nightly").string(), file) << store;
  }
}

TEST(SnapshotFiles, ListingKeepsMatchingNamesSorted) {
  TempDir tmp;
  for (const char* name : {"mem_snapshot_b.json", "mem_snapshot_a.json", "mem_snapshot_.json", "mem_snapshot_ab.json",
                           "mem_snapshot_c.txt", "other_snapshot_d.json", "mem_snapshotx.json"}) {
    testing::spit(tmp / name, "[]");
  }
  EXPECT_EQ(list_snapshot_labels(tmp / "mem.db", Env::Default()), (std::vector<std::string>{"", "a", "ab", "b"}));
  EXPECT_TRUE(list_snapshot_labels(tmp / "missing" / "mem", Env::Default()).empty());
}

}  // namespace
}  // namespace vesk

namespace vesk {
namespace {

// The recall index against the scans it replaces, after load-time repairs and
// pruning, store-road inserts, a duplicate touch, and a reopen.
TEST(VeskOpen, RecallIndexAnswersAsTheScansOfTheRecordMap) {
  using Names = std::optional<std::vector<std::string>>;
  TempDir tmp;
  fs::path dir = tmp / "store";
  Record reopened = rec("pending00001");  // its window is taken back at open
  reopened.namespace_ = "work";
  reopened.valid_until = 1700000100.0;
  reopened.metadata["superseded_by"] = "pending";
  Record weak = rec("weak00000001");  // pruned at open
  weak.namespace_ = "home";
  weak.valid_from = 1600000000.0;
  weak.strength = 0.01f;
  Record fact = rec("fact00000001", "my name is Ada");
  fact.level = Level::Identity;
  seed_journal(dir, {reopened, weak, fact});

  auto check = [](Vesk& v, const std::string& step) {
    const Names queries[] = {std::nullopt, Names{{"work"}}, Names{{"home"}}, Names{{"home", "work"}},
                             Names{std::vector<std::string>{}}};
    auto records = v.record_state().records.read();
    for (const Names& q : queries) EXPECT_EQ(v.has_temporal_validity(q), has_temporal_validity(*records, q)) << step;
    const std::vector<std::string> ns = {"default", "home", "work"};
    const StringSet kept;
    auto index = v.record_state().recall_index.read();
    EXPECT_EQ(identity_facts(*records, index->identity_ids(), ns, Env::Default().now_seconds(), kept),
              identity_facts(*records, ns, Env::Default().now_seconds(), kept))
        << step;
  };

  auto v = Vesk::open(dir, std::nullopt);
  ASSERT_TRUE(v.ok()) << v.status().message();
  check(**v, "opened");
  EXPECT_FALSE((*v)->has_temporal_validity(Names{{"home", "work"}}));

  auto store = [&](std::string content, std::string ns, Level level, std::optional<double> until) -> std::string {
    StoreRequest r;
    r.content = std::move(content);
    r.namespace_ = std::move(ns);
    r.level = level;
    r.valid_until = until;
    r.auto_promote = false;
    auto stored = (*v)->store(std::move(r));
    EXPECT_TRUE(stored.ok()) << stored.status().message();
    return stored.ok() ? *stored : "";
  };
  store("the lease on the workshop ends in march", "home", Level::Working, Env::Default().now_seconds() + 3600);
  const std::string grew_up = store("I grew up by the sea in a fishing town", "default", Level::Identity, std::nullopt);
  check(**v, "stored");
  EXPECT_TRUE((*v)->has_temporal_validity(Names{{"home"}}));
  EXPECT_EQ(store("I grew up by the sea in a fishing town", "default", Level::Identity, std::nullopt), grew_up);
  EXPECT_EQ((*v)->count(Level::Identity), 2u);
  check(**v, "touched");

  ASSERT_TRUE((*v)->close().ok());
  v = Vesk::open(dir, std::nullopt);
  ASSERT_TRUE(v.ok()) << v.status().message();
  check(**v, "reopened");
  EXPECT_TRUE((*v)->has_temporal_validity(Names{{"home"}}));
}

}  // namespace
}  // namespace vesk
