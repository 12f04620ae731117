#include "storage/cognitive_store.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <functional>

#include "model/record_json.h"
#include "base/coding.h"
#include "storage/fault_env.h"
#include "storage/test_dir.h"

namespace vesk {
namespace {

using testing::FaultEnv;
using testing::slurp;
using testing::spit;
using testing::TempDir;

const std::string kPlainHeader("COG1\x02", 5);

Record rec(std::string id, std::string content = "") {
  Record r;
  r.id = std::move(id);
  r.content = content.empty() ? "text of " + r.id : std::move(content);
  r.created_at = 1700000000.5;
  r.last_activated = 1700000000.5;
  return r;
}

std::string json_of(const Record& r) {
  std::string s;
  serialize_record(r, s);
  return s;
}

uint32_t zlib_crc(std::string_view b) {
  return static_cast<uint32_t>(::crc32(0, reinterpret_cast<const Bytef*>(b.data()), static_cast<uInt>(b.size())));
}

// One frame as the journal holds it; `crc` overrides the checksum.
std::string frame(uint8_t kind, std::string_view stored, std::optional<uint32_t> crc = std::nullopt) {
  std::string f(1, static_cast<char>(kind));
  put_le<uint32_t>(&f, static_cast<uint32_t>(stored.size()));
  put_le<uint32_t>(&f, crc ? *crc : zlib_crc(stored));
  f.append(stored);
  return f;
}

std::unique_ptr<CognitiveStore> open_ok(const fs::path& dir, StoreKey key = nullptr, Env& env = Env::Default()) {
  auto s = CognitiveStore::open(dir, std::move(key), env);
  EXPECT_TRUE(s.ok()) << s.status().message();
  return s.ok() ? std::move(s).value() : nullptr;
}

// Loads the journal of `dir` in a fresh store object: what the next open sees.
RecordMap reload(const fs::path& dir, StoreKey key = nullptr) {
  auto s = open_ok(dir, std::move(key));
  if (!s) return {};
  auto loaded = s->load_cognitive_state();
  EXPECT_TRUE(loaded.ok()) << loaded.status().message();
  return loaded.ok() ? std::move(loaded->records) : RecordMap{};
}

std::vector<std::string> ids(const RecordMap& m) {
  std::vector<std::string> out;
  for (const auto& [id, r] : m) out.push_back(id);
  std::sort(out.begin(), out.end());
  return out;
}

// The kinds of the frames of a journal file, in order.
std::vector<int> frame_kinds(const std::string& file) {
  std::vector<int> kinds;
  for (size_t p = 5; p + 9 <= file.size();) {
    kinds.push_back(static_cast<uint8_t>(file[p]));
    p += 9 + get_le<uint32_t>(file.data() + p + 1);
  }
  return kinds;
}

StoreKey test_key() { return std::make_shared<const SecretKey>(SecretKey::random()); }

TEST(CognitiveStore, NewJournalAndFramesAreByteExact) {
  for (bool keyed : {false, true}) {
    SCOPED_TRACE(keyed ? "keyed" : "plain");
    TempDir dir;
    StoreKey key = keyed ? test_key() : nullptr;
    auto s = open_ok(dir.path(), key);
    const std::string journal = dir / "brain.cog";
    EXPECT_EQ(slurp(journal), std::string("COG1") + (keyed ? '\x03' : '\x02'));
    EXPECT_FALSE(fs::exists(dir / "brain.tmp"));

    ASSERT_TRUE(s->append_cognitive_frame(FrameKind::kRecordWrite, "payload", false).ok());
    std::string bytes = slurp(journal);
    ASSERT_GE(bytes.size(), 14u);
    EXPECT_EQ(bytes[5], '\x02');
    uint32_t n = get_le<uint32_t>(bytes.data() + 6);
    std::string stored = bytes.substr(14);
    ASSERT_EQ(stored.size(), n) << "the whole frame reached the file before the append returned";
    EXPECT_EQ(get_le<uint32_t>(bytes.data() + 10), zlib_crc(stored)) << "the CRC covers the stored bytes";
    if (keyed) {
      EXPECT_EQ(n, 7u + 32u);
      EXPECT_EQ(stored.substr(0, 4), "AEF1");
      auto plain = unseal_payload(key.get(), stored);
      ASSERT_TRUE(plain.ok());
      EXPECT_EQ(*plain, "payload");
    } else {
      EXPECT_EQ(stored, "payload");
    }
  }
}

TEST(CognitiveStore, HeaderIsCheckedAtOpen) {
  const std::string mismatch = "Cognitive journal encryption mode mismatch; password or explicit migration required";
  const std::string unsupported = "Unsupported cognitive journal format";
  const struct {
    std::string header;
    bool keyed;
    std::string error;  // empty: opens
  } cases[] = {
      {"COG1\x02", false, ""},
      {"COG1\x03", true, ""},
      {"COG1\x02", true, mismatch},
      {"COG1\x03", false, mismatch},
      {"COG1\x01", false, unsupported},
      {"COG1\x07", true, unsupported},
      {std::string("COG0\x02", 5), false, unsupported},
      {"COG", false, "unexpected end of file"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.header + (c.keyed ? " keyed" : " plain"));
    TempDir dir;
    spit(dir / "brain.cog", c.header);
    auto s = CognitiveStore::open(dir.path(), c.keyed ? test_key() : nullptr, Env::Default());
    if (c.error.empty()) {
      EXPECT_TRUE(s.ok()) << s.status().message();
    } else {
      ASSERT_FALSE(s.ok());
      EXPECT_EQ(s.status().message(), c.error);
      EXPECT_EQ(s.status().kind(), ErrorKind::OS);
    }
    EXPECT_EQ(slurp(dir / "brain.cog"), c.header) << "a refused journal is left as it was";
  }
}

TEST(CognitiveStore, ReplaySkipsDamagedFramesAndStopsAtATornOne) {
  const Record a = rec("aaaaaaaaaaaa"), b = rec("bbbbbbbbbbbb"), c = rec("cccccccccccc");
  const Record a2 = rec("aaaaaaaaaaaa", "a rewritten");
  std::string a_json = json_of(a), b_json = json_of(b), c_json = json_of(c);
  std::string patch_unknown = R"([{"i":"aaaaaaaaaaaa","m":{"k":"v"}},{"i":"zzzzzzzzzzzz"}])";
  std::string patch_ok = R"([{"i":"aaaaaaaaaaaa","m":{"k":"v"}}])";
  const struct {
    const char* name;
    std::string frames;
    std::vector<std::string> want_ids;
  } cases[] = {
      {"header only", "", {}},
      {"wrong CRC in the middle", frame(1, a_json) + frame(1, b_json, 1234) + frame(2, c_json),
       {a.id, c.id}},
      {"unknown kind", frame(7, a_json) + frame(0, b_json) + frame(1, c_json), {c.id}},
      {"kind 3 removes the id of its first 12 bytes",
       frame(1, a_json) + frame(1, b_json) + frame(3, "aaaaaaaaaaaa-and-more"), {b.id}},
      {"kind 3 shorter than an id", frame(1, a_json) + frame(3, "aaaaaaaaaaa"), {a.id}},
      {"unreadable JSON", frame(1, "{\"id\":") + frame(2, a_json + " x") + frame(2, b_json + " \n"), {b.id}},
      {"batch", frame(4, "[" + a_json + "," + b_json + "]") + frame(4, "[" + c_json + ",1]"), {a.id, b.id}},
      {"mutation: same id deleted and upserted",
       frame(1, a_json) + frame(1, b_json) + frame(6, "{\"u\":[" + json_of(a2) + "],\"d\":[\"" + a.id + "\",\"" +
                                                          b.id + "\"]}"),
       {a.id}},
      {"patch naming an unknown id", frame(1, a_json) + frame(5, patch_unknown), {a.id}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    spit(dir / "brain.cog", kPlainHeader + c.frames);
    auto s = open_ok(dir.path());
    auto loaded = s->load_cognitive_state();
    ASSERT_TRUE(loaded.ok()) << loaded.status().message();
    EXPECT_EQ(loaded->offset, 5u);
    EXPECT_EQ(ids(loaded->records), c.want_ids);
  }

  // Exact contents where the case above only checked ids.
  TempDir dir;
  spit(dir / "brain.cog", kPlainHeader + frame(1, a_json) + frame(6, "{\"u\":[" + json_of(a2) + "],\"d\":[\"" +
                                                                         a.id + "\"]}") +
                              frame(5, patch_unknown));
  EXPECT_EQ(reload(dir.path()).at(a.id), a2) << "the patch naming an unknown id changed nothing";
  spit(dir / "brain.cog", kPlainHeader + frame(1, a_json) + frame(5, patch_ok) + frame(1, json_of(a2)));
  EXPECT_EQ(reload(dir.path()).at(a.id), a2) << "a later kind-1 frame replaces the record";
}

TEST(CognitiveStore, EveryCutOfTheLastFrameKeepsTheFramesBeforeIt) {
  TempDir dir;
  const std::string good =
      kPlainHeader + frame(1, json_of(rec("aaaaaaaaaaaa"))) + frame(2, json_of(rec("bbbbbbbbbbbb")));
  std::string batch = json_of(rec("cccccccccccc"));
  batch.insert(batch.begin(), '[');
  batch.push_back(']');
  const std::string last = frame(4, batch);
  // Every cut inside the 9-byte head, and cuts at the start, middle and end
  // of the payload (each open forces the cut file, so not every byte).
  std::vector<size_t> cuts = {9, 10, last.size() / 2, last.size() - 1};
  for (size_t cut = 0; cut < 9; ++cut) cuts.push_back(cut);
  for (size_t cut : cuts) {
    spit(dir / "brain.cog", good + last.substr(0, cut));
    CognitiveStore* store;
    {
      auto s = CognitiveStore::open(dir.path(), nullptr, Env::Default());
      ASSERT_TRUE(s.ok()) << s.status().message();
      store = s->get();
      auto loaded = store->load_cognitive_state();
      ASSERT_TRUE(loaded.ok());
      EXPECT_EQ(ids(loaded->records), (std::vector<std::string>{"aaaaaaaaaaaa", "bbbbbbbbbbbb"})) << "cut " << cut;
    }
    EXPECT_EQ(slurp(dir / "brain.cog"), good) << "open cut the torn tail back, cut " << cut;
  }
}

TEST(CognitiveStore, AFrameAppendedAfterATornTailSurvivesTheNextOpen) {
  TempDir dir;
  {
    auto s = open_ok(dir.path());
    ASSERT_TRUE(s->log_record_batch(std::vector<Record>{rec("aaaaaaaaaaaa")}).ok());
  }
  // A crash tore the next frame after its head: the length promises 500
  // bytes that never came.
  std::string torn = frame(2, std::string(500, 'x')).substr(0, 40);
  spit(dir / "brain.cog", slurp(dir / "brain.cog") + torn);
  {
    auto s = open_ok(dir.path());
    ASSERT_TRUE(s->append_cognitive_frame(FrameKind::kRecordWrite, json_of(rec("bbbbbbbbbbbb")), false).ok());
  }
  EXPECT_EQ(ids(reload(dir.path())), (std::vector<std::string>{"aaaaaaaaaaaa", "bbbbbbbbbbbb"}));
}

TEST(CognitiveStore, WritersAppendTheirKindsAndEmptyListsAppendNothing) {
  TempDir dir;
  auto s = open_ok(dir.path());
  const Record a = rec("aaaaaaaaaaaa"), b = rec("bbbbbbbbbbbb");
  ASSERT_TRUE(s->log_record_batch({}).ok());
  ASSERT_TRUE(s->log_record_mutations({}, {}).ok());
  ASSERT_TRUE(s->log_record_patches({}).ok());
  EXPECT_EQ(slurp(dir / "brain.cog"), kPlainHeader);

  ASSERT_TRUE(s->append_cognitive_frame(FrameKind::kRecordInsert, json_of(a), false).ok());
  ASSERT_TRUE(s->log_record_batch(std::vector<Record>{b}).ok());
  ASSERT_TRUE(s->log_record_patches(std::vector<RecordPatch>{{a.id, {{"k", "v"}}, {{b.id, 0.5f, "supports"}}}}).ok());
  const std::vector<std::string> deletions = {b.id};
  ASSERT_TRUE(s->log_record_mutations({}, deletions).ok());
  EXPECT_EQ(frame_kinds(slurp(dir / "brain.cog")), (std::vector<int>{1, 4, 5, 6}));

  RecordMap map = reload(dir.path());
  ASSERT_EQ(ids(map), std::vector<std::string>{a.id});
  EXPECT_EQ(map[a.id].metadata.at("k"), "v");
  EXPECT_EQ(map[a.id].connection_types.at(b.id), "supports");

  ASSERT_TRUE(s->close().ok());
  EXPECT_TRUE(s->is_closed());
  Status st = s->append_cognitive_frame(FrameKind::kRecordWrite, json_of(a), false);
  EXPECT_EQ(st.message(), "Cognitive store is closed");
  EXPECT_EQ(s->log_record_batch(std::vector<Record>{a}).message(), "Cognitive store is closed");
  EXPECT_TRUE(s->flush().ok()) << "flushing a closed journal does nothing";
  EXPECT_TRUE(s->close().ok());
}

TEST(CognitiveStore, KeyedJournalRoundTripsAndRefusesPlainFrames) {
  TempDir dir;
  StoreKey key = test_key();
  {
    auto s = open_ok(dir.path(), key);
    ASSERT_TRUE(s->log_record_batch(std::vector<Record>{rec("aaaaaaaaaaaa"), rec("bbbbbbbbbbbb")}).ok());
  }
  EXPECT_EQ(slurp(dir / "brain.cog").find("aaaaaaaaaaaa"), std::string::npos) << "payloads are sealed";
  EXPECT_EQ(ids(reload(dir.path(), key)), (std::vector<std::string>{"aaaaaaaaaaaa", "bbbbbbbbbbbb"}));

  // A plain frame in a keyed journal is a damaged frame: passed over and
  // listed. A journal of which no frame unseals belongs to another key.
  const uint64_t plain_at = slurp(dir / "brain.cog").size();
  spit(dir / "brain.cog", slurp(dir / "brain.cog") + frame(1, json_of(rec("cccccccccccc"))));
  auto s = open_ok(dir.path(), key);
  auto loaded = s->load_cognitive_state();
  ASSERT_TRUE(loaded.ok()) << loaded.status().message();
  EXPECT_EQ(ids(loaded->records), (std::vector<std::string>{"aaaaaaaaaaaa", "bbbbbbbbbbbb"}));
  EXPECT_EQ(loaded->unreadable_frames, std::vector<uint64_t>{plain_at});
  auto other = open_ok(dir.path(), test_key());
  EXPECT_EQ(other->load_cognitive_state().status().message(), "Decryption failed - invalid key or corrupted data");
}

TEST(CognitiveStore, CompactionWritesOneFramePerRecordAndAMatchingSnapshot) {
  for (bool keyed : {false, true}) {
    SCOPED_TRACE(keyed ? "keyed" : "plain");
    TempDir dir;
    StoreKey key = keyed ? test_key() : nullptr;
    auto s = open_ok(dir.path(), key);
    std::vector<Record> batch;
    for (int i = 0; i < 5; ++i) batch.push_back(rec(std::string(12, static_cast<char>('a' + i))));
    ASSERT_TRUE(s->log_record_batch(batch).ok());
    ASSERT_TRUE(s->append_cognitive_frame(FrameKind::kRecordWrite, json_of(rec("aaaaaaaaaaaa", "newer")), false).ok());
    const std::vector<std::string> deletions = {"bbbbbbbbbbbb"};
    ASSERT_TRUE(s->log_record_mutations({}, deletions).ok());

    auto compacted = s->compact_cognitive_store("cccccccccccc");
    ASSERT_TRUE(compacted.ok()) << compacted.status().message();
    const std::vector<std::string> live = {"aaaaaaaaaaaa", "dddddddddddd", "eeeeeeeeeeee"};
    EXPECT_EQ(ids(*compacted), live);
    EXPECT_EQ(compacted->at("aaaaaaaaaaaa").content, "newer");

    std::string journal = slurp(dir / "brain.cog");
    EXPECT_EQ(frame_kinds(journal), (std::vector<int>{1, 1, 1}));
    std::string snap = slurp(dir / "brain.snap");
    ASSERT_GE(snap.size(), 17u);
    EXPECT_EQ(snap.substr(0, 4), "CSN1");
    EXPECT_EQ(snap[4], keyed ? '\x03' : '\x02');
    EXPECT_EQ(get_le<uint64_t>(snap.data() + 5), journal.size()) << "the snapshot covers the new journal";
    EXPECT_EQ(get_le<uint32_t>(snap.data() + 13), 3u);
    EXPECT_FALSE(fs::exists(dir / "brain.tmp"));
    EXPECT_FALSE(fs::exists(dir / "brain.snap.tmp"));

    // The writer is back, after the snapshot: a load starts at the covered
    // length and replays only what came later.
    ASSERT_TRUE(s->append_cognitive_frame(FrameKind::kRecordWrite, json_of(rec("ffffffffffff")), false).ok());
    auto loaded = s->load_cognitive_state();
    ASSERT_TRUE(loaded.ok()) << loaded.status().message();
    EXPECT_EQ(loaded->offset, journal.size());
    EXPECT_EQ(ids(loaded->records), (std::vector<std::string>{"aaaaaaaaaaaa", "dddddddddddd", "eeeeeeeeeeee",
                                                              "ffffffffffff"}));
  }
}

TEST(CognitiveStore, UnusableSnapshotsAreIgnored) {
  TempDir dir;
  std::vector<Record> records = {rec("aaaaaaaaaaaa"), rec("bbbbbbbbbbbb"), rec("cccccccccccc")};
  {
    auto s = open_ok(dir.path());
    ASSERT_TRUE(s->log_record_batch(records).ok());
    ASSERT_TRUE(s->compact_cognitive_store().ok());
  }
  const std::string journal = slurp(dir / "brain.cog");
  const std::string snap = slurp(dir / "brain.snap");
  // A snapshot the journal does not contain: its record would show up if it
  // were used.
  auto snapshot_of = [](uint64_t covered, const std::vector<std::string>& entries) {
    std::string s("CSN1\x02", 5);
    put_le<uint64_t>(&s, covered);
    put_le<uint32_t>(&s, static_cast<uint32_t>(entries.size()));
    for (const auto& e : entries) {
      put_le<uint32_t>(&s, static_cast<uint32_t>(e.size()));
      s += e;
    }
    return s;
  };
  const std::string ghost = json_of(rec("gggggggggggg"));
  const std::vector<std::string> journal_ids = {"aaaaaaaaaaaa", "bbbbbbbbbbbb", "cccccccccccc"};
  const struct {
    const char* name;
    std::string snap;
    uint64_t want_offset;
    std::vector<std::string> want_ids;
  } cases[] = {
      {"covers exactly the journal", snapshot_of(journal.size(), {ghost}), journal.size(), {"gggggggggggg"}},
      {"covers more than the journal", snapshot_of(journal.size() + 1, {ghost}), 5, journal_ids},
      {"foreign magic", "XSN1" + snapshot_of(journal.size(), {ghost}).substr(4), 5, journal_ids},
      {"cut short", snapshot_of(journal.size(), {ghost, ghost}).substr(0, 17 + 4 + ghost.size() + 2), 5, journal_ids},
      {"count beyond the file", snapshot_of(journal.size(), {ghost}).substr(0, 13) + std::string("\xff\xff\xff\x7f", 4),
       5, journal_ids},
      {"sealed entry in a plain store", snapshot_of(journal.size(), {"AEF1" + std::string(40, 'x')}), 5, journal_ids},
      {"third entry is not JSON",
       snapshot_of(journal.size(), {json_of(rec("xxxxxxxxxxxx")), json_of(rec("yyyyyyyyyyyy")), "{nope",
                                    ghost}),
       journal.size(), {"gggggggggggg", "xxxxxxxxxxxx", "yyyyyyyyyyyy"}},
      {"the compaction's own", snap, journal.size(), journal_ids},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    spit(dir / "brain.snap", c.snap);
    auto s = open_ok(dir.path());
    auto loaded = s->load_cognitive_state();
    ASSERT_TRUE(loaded.ok()) << loaded.status().message();
    EXPECT_EQ(loaded->offset, c.want_offset);
    EXPECT_EQ(ids(loaded->records), c.want_ids);
  }
}

TEST(CognitiveStore, AFailedAppendLeavesNoBytesBehind) {
  TempDir dir;
  FaultEnv env;
  auto s = open_ok(dir.path(), nullptr, env);
  const std::string a = json_of(rec("aaaaaaaaaaaa"));
  ASSERT_TRUE(s->append_cognitive_frame(FrameKind::kRecordWrite, a, false).ok());
  const std::string before = slurp(dir / "brain.cog");

  // A torn write, then a failed sync of a forced frame: both are cut back and
  // the journal stays usable.
  env.tear_writes_after("brain.cog", 20);
  EXPECT_FALSE(s->append_cognitive_frame(FrameKind::kRecordWrite, json_of(rec("bbbbbbbbbbbb")), false).ok());
  env.clear();
  EXPECT_EQ(slurp(dir / "brain.cog"), before);
  env.fail_sync("brain.cog");
  EXPECT_EQ(s->log_record_batch(std::vector<Record>{rec("cccccccccccc")}).message(), "injected sync failure");
  env.clear();
  EXPECT_EQ(slurp(dir / "brain.cog"), before);
  ASSERT_TRUE(s->append_cognitive_frame(FrameKind::kRecordWrite, json_of(rec("dddddddddddd")), false).ok());

  // When the cut-back fails too, the journal closes rather than append behind
  // the partial frame; the next open cuts it away.
  env.tear_writes_after("brain.cog", 20);
  env.fail_truncate("brain.cog");
  EXPECT_FALSE(s->append_cognitive_frame(FrameKind::kRecordWrite, json_of(rec("eeeeeeeeeeee")), false).ok());
  env.clear();
  EXPECT_TRUE(s->is_closed());
  EXPECT_EQ(s->append_cognitive_frame(FrameKind::kRecordWrite, a, false).message(), "Cognitive store is closed");
  s.reset();
  EXPECT_EQ(ids(reload(dir.path())), (std::vector<std::string>{"aaaaaaaaaaaa", "dddddddddddd"}));
}

TEST(CognitiveStore, FailedCompactionKeepsTheOldJournal) {
  TempDir dir;
  FaultEnv env;
  auto s = open_ok(dir.path(), nullptr, env);
  ASSERT_TRUE(s->log_record_batch(std::vector<Record>{rec("aaaaaaaaaaaa"), rec("bbbbbbbbbbbb")}).ok());
  const std::string before = slurp(dir / "brain.cog");

  // Failing before the writer closes changes nothing.
  env.fail_sync("brain.cog");
  EXPECT_FALSE(s->compact_cognitive_store().ok());
  env.clear();
  EXPECT_FALSE(s->is_closed());

  env.fail_rename("brain.cog");
  auto r = s->compact_cognitive_store("aaaaaaaaaaaa");
  env.clear();
  ASSERT_FALSE(r.ok());
  EXPECT_EQ(r.status().message(), "injected rename failure");
  EXPECT_TRUE(s->is_closed());
  EXPECT_EQ(slurp(dir / "brain.cog"), before);
  EXPECT_EQ(ids(reload(dir.path())), (std::vector<std::string>{"aaaaaaaaaaaa", "bbbbbbbbbbbb"}));
}

// Damage at rest: whatever is damaged is passed over, every whole frame
// stays (on disk too), and nothing is cut without a copy unless it is the
// start of a frame a crash cut short.
TEST(CognitiveStore, DamageIsPassedOverAndOnlyATornTailIsCutWithoutACopy) {
  // Ten frames of ten records, then a case's change of the bytes.
  std::string whole = kPlainHeader;
  std::vector<size_t> starts;
  for (int i = 0; i < 10; ++i) {
    starts.push_back(whole.size());
    whole += frame(1, json_of(rec(std::string(11, 'a') + static_cast<char>('0' + i))));
  }
  const std::vector<std::string> all = {"aaaaaaaaaaa0", "aaaaaaaaaaa1", "aaaaaaaaaaa2", "aaaaaaaaaaa3",
                                        "aaaaaaaaaaa4", "aaaaaaaaaaa5", "aaaaaaaaaaa6", "aaaaaaaaaaa7",
                                        "aaaaaaaaaaa8", "aaaaaaaaaaa9"};
  auto without = [&](std::initializer_list<int> gone) {
    std::vector<std::string> out;
    for (int i = 0; i < 10; ++i)
      if (std::find(gone.begin(), gone.end(), i) == gone.end()) out.push_back(all[i]);
    return out;
  };
  struct Case {
    const char* name;
    std::function<std::string(std::string)> damage;
    std::vector<std::string> kept;
    bool copied;  // a damaged copy is kept and the file rewritten
  } cases[] = {
      {"zeroed bytes across frames 3 and 4",
       [&](std::string b) { std::fill(b.begin() + starts[3] + 20, b.begin() + starts[5] - 3, '\0'); return b; },
       without({3, 4}), true},
      {"a flipped length byte in frame 5",
       [&](std::string b) { b[starts[5] + 1] ^= 0x40; return b; }, without({5}), true},
      {"a payload byte flipped in frame 6 (its head is fine)",
       [&](std::string b) { b[starts[6] + 30] ^= 1; return b; }, without({6}), false},
      {"nine zero bytes at the end", [&](std::string b) { return b + std::string(9, '\0'); }, all, true},
      {"a torn last frame", [&](std::string b) { return b.substr(0, b.size() - 17); }, without({9}), false},
      {"a head cut short at the end", [&](std::string b) { return b + std::string("\x01\x10\x00", 3); }, all, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::string damaged = c.damage(whole);
    spit(dir / "brain.cog", damaged);
    auto s = open_ok(dir.path());
    ASSERT_TRUE(s);
    auto loaded = s->load_cognitive_state();
    ASSERT_TRUE(loaded.ok()) << loaded.status().message();
    EXPECT_EQ(ids(loaded->records), c.kept);
    const CognitiveStore::Repair& repair = s->repair();
    EXPECT_EQ(!repair.damaged_copy.empty(), c.copied);
    if (c.copied) {
      EXPECT_EQ(slurp(repair.damaged_copy), damaged) << "the copy holds the file as it was";
      EXPECT_THAT(repair.damaged_copy.filename().string(), ::testing::StartsWith("brain.cog.damaged-"));
    }
    // Appending goes on behind the last whole frame, and the next open loads
    // everything kept plus the new frame, with nothing left to repair.
    ASSERT_TRUE(s->append_cognitive_frame(FrameKind::kRecordInsert, json_of(rec("bbbbbbbbbbbb")), true).ok());
    s.reset();
    auto again = open_ok(dir.path());
    EXPECT_TRUE(again->repair().damaged_copy.empty());
    auto reloaded = again->load_cognitive_state();
    ASSERT_TRUE(reloaded.ok());
    std::vector<std::string> want = c.kept;
    want.push_back("bbbbbbbbbbbb");
    EXPECT_EQ(ids(reloaded->records), want);
  }
}

TEST(CognitiveStore, AZeroTailOfAKeyedJournalIsDamageNotAFailedLoad) {
  TempDir dir;
  StoreKey key = test_key();
  {
    auto s = open_ok(dir.path(), key);
    ASSERT_TRUE(s->log_record_batch(std::vector<Record>{rec("aaaaaaaaaaaa"), rec("bbbbbbbbbbbb")}).ok());
  }
  spit(dir / "brain.cog", slurp(dir / "brain.cog") + std::string(9, '\0'));
  auto s = open_ok(dir.path(), key);
  auto loaded = s->load_cognitive_state();
  ASSERT_TRUE(loaded.ok()) << loaded.status().message();
  EXPECT_EQ(ids(loaded->records), (std::vector<std::string>{"aaaaaaaaaaaa", "bbbbbbbbbbbb"}));
  EXPECT_FALSE(s->repair().damaged_copy.empty());
}

}  // namespace
}  // namespace vesk
