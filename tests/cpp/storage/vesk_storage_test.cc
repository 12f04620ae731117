#include "storage/vesk_storage.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <bit>
#include <chrono>
#include <cmath>
#include <cstring>
#include <map>
#include <random>
#include <set>
#include <thread>

#include "base/coding.h"
#include "storage/fault_env.h"
#include "storage/test_dir.h"

namespace vesk {
namespace {

using testing::FaultEnv;
using testing::slurp;
using testing::spit;
using testing::TempDir;

LogEntry entry(std::string id, std::string text, std::string tier = "general", std::vector<uint16_t> sdr = {3, 1, 7}) {
  LogEntry e;
  e.id = std::move(id);
  e.tier = std::move(tier);
  e.sdr = make_sdr_positions(std::move(sdr));
  e.content = std::move(text);
  e.created_at = 1700000000.25;
  e.strength = 0.5f;
  e.pin_factor = 1.0f;
  return e;
}

std::shared_ptr<VeskStorage> open_ok(const fs::path& dir, StoreKey key = nullptr, Env& env = Env::Default()) {
  auto s = VeskStorage::open(dir, std::move(key), env);
  EXPECT_TRUE(s.ok()) << s.status().message();
  return s.ok() ? *s : nullptr;
}

std::string text_of(VeskStorage& s, const std::string& id) {
  auto r = s.read_entry(id);
  if (!r.ok()) return "error: " + r.status().message();
  if (!*r) return "none";
  return (*r)->content;
}

uint64_t header_count(const fs::path& log) { return get_le<uint64_t>(slurp(log).data() + 8); }

TEST(VeskStorage, NewDirectoryGetsHeaderAndLockThenSideMapAtFlush) {
  TempDir dir;
  double before = std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
  auto s = open_ok(dir / "store" / "nested");
  fs::path root = dir / "store" / "nested";
  std::string log = slurp(root / "brain.vesk");
  ASSERT_EQ(log.size(), 64u);
  EXPECT_EQ(log.substr(0, 4), "VESK");
  EXPECT_EQ(get_le<uint32_t>(log.data() + 4), 3u);
  EXPECT_EQ(get_le<uint64_t>(log.data() + 8), 0u);
  double created = get_le<double>(log.data() + 16);
  EXPECT_GE(created, before - 1);
  EXPECT_LE(created, before + 60);
  EXPECT_NE(created, std::floor(created)) << "the creation time keeps its fraction";
  EXPECT_EQ(log.substr(24), std::string(40, '\0'));
  EXPECT_TRUE(fs::exists(root / "brain.lock"));
  EXPECT_EQ(fs::file_size(root / "brain.lock"), 0u);
  EXPECT_FALSE(fs::exists(root / "temporal.bin"));

  ASSERT_TRUE(s->flush().ok());
  EXPECT_EQ(slurp(root / "temporal.bin"), std::string("TPL1\x01", 5) + std::string(8, '\0'));
  EXPECT_FALSE(fs::exists(root / "temporal.tmp"));
}

TEST(VeskStorage, AppendReadRemoveAndReopen) {
  TempDir dir;
  auto s = open_ok(dir.path());
  LogEntry first = entry("aaaaaaaaaaaa", "first text", "user_core");
  LogEntry second = entry("aaaaaaaaaaaa", "second text", "general", {9});
  LogEntry other = entry("bbbbbbbbbbbb", "other");
  auto o1 = s->append(first);
  auto o2 = s->append(second);
  auto o3 = s->append(other);
  ASSERT_TRUE(o1.ok() && o2.ok() && o3.ok());
  EXPECT_EQ(*o1, 64u);
  EXPECT_EQ(*o2, 64u + 79 + 6 + 10);
  // Readable before any flush, from the write buffer.
  EXPECT_EQ(text_of(*s, "aaaaaaaaaaaa"), "second text");
  EXPECT_EQ(text_of(*s, "nobody"), "none");
  EXPECT_TRUE(s->is_user_core("aaaaaaaaaaaa")) << "a later general entry keeps the id";
  EXPECT_FALSE(s->is_user_core("bbbbbbbbbbbb"));
  // The cache refers to the appended positions instead of copying them.
  EXPECT_EQ(s->cached_entry("bbbbbbbbbbbb")->sdr().plain().data(), other.sdr->data());
  EXPECT_EQ(s->entry_count(), 3u);

  s->remove_entry("bbbbbbbbbbbb");
  EXPECT_EQ(text_of(*s, "bbbbbbbbbbbb"), "none");
  EXPECT_EQ(s->entry_count(), 2u);
  ASSERT_TRUE(s->close().ok());
  EXPECT_EQ(header_count(dir / "brain.vesk"), 2u);

  // The log keeps every version; the open recounts and points at the latest.
  s = open_ok(dir.path());
  EXPECT_EQ(s->entry_count(), 3u);
  EXPECT_EQ(s->offset_of("aaaaaaaaaaaa"), *o2);
  EXPECT_EQ(text_of(*s, "bbbbbbbbbbbb"), "other") << "removal is in memory only";
  auto read = s->read_entry("aaaaaaaaaaaa");
  ASSERT_TRUE(read.ok() && *read);
  const LogEntry& e = **read;
  EXPECT_EQ(e.tier, "general");
  EXPECT_EQ(*e.sdr, std::vector<uint16_t>{9});
  EXPECT_EQ(e.created_at, 1700000000.25);
  EXPECT_EQ(e.strength, 0.5f);
  EXPECT_EQ(e.offset, *o2);
  EXPECT_EQ(s->cached_entry("aaaaaaaaaaaa")->sdr().positions(), std::vector<uint16_t>{9});
  EXPECT_EQ(s->user_core_ids(), std::unordered_set<std::string>{"aaaaaaaaaaaa"});
}

// The cached entry holds what the log holds, minus the text: the fixed
// fields and the positions in the order given, whether appended in this
// process (referring to the appended list) or scanned at the next open
// (packed in blocks when they ascend).
TEST(VeskStorage, CachedEntryHoldsTheFixedFieldsAndPositions) {
  struct Case {
    const char* id;
    const char* tier;
    LogTier want_tier;
    std::vector<uint16_t> sdr;
    PackedSdr::Form scanned;
  };
  std::vector<Case> cases = {
      {"aaaaaaaaaaaa", "general", LogTier::kGeneral, {1, 300, 65535}, PackedSdr::Form::kBlocks},
      {"bbbbbbbbbbbb", "user_core", LogTier::kUserCore, {3, 1, 7, 7}, PackedSdr::Form::kPlain},
      {"cccccccccccc", "archive", LogTier::kOther, {}, PackedSdr::Form::kPlain},
      {"dddddddddddd", "general", LogTier::kGeneral, {}, PackedSdr::Form::kBlocks},
  };
  for (uint16_t p = 0; p < 4096; p += 3) cases.back().sdr.push_back(p);
  TempDir dir;
  auto s = open_ok(dir.path());
  for (const Case& c : cases) {
    LogEntry e = entry(c.id, "text", c.tier, c.sdr);
    e.pin_factor = 100.0f;
    e.reserved1 = 7;
    e.reserved2 = 9;
    ASSERT_TRUE(s->append(e).ok());
  }
  for (bool reopened : {false, true}) {
    if (reopened) {
      ASSERT_TRUE(s->close().ok());
      s = open_ok(dir.path());
    }
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.id) + (reopened ? " scanned" : " appended"));
      auto e = s->cached_entry(c.id);
      ASSERT_TRUE(e);
      EXPECT_EQ(e->tier, c.want_tier);
      EXPECT_EQ(e->created_at, 1700000000.25);
      EXPECT_EQ(e->strength, 0.5f);
      EXPECT_EQ(e->pin_factor, 100.0f);
      EXPECT_EQ(e->reserved1, 7u);
      EXPECT_EQ(e->reserved2, 9u);
      EXPECT_EQ(e->sdr().positions(), c.sdr);
      EXPECT_EQ(e->sdr().form(), reopened ? c.scanned : PackedSdr::Form::kPlain);
    }
  }
}

// The entry's bytes as the format table lays them out, each integer written
// byte by byte, must be what the encoder writes (it copies the SDR positions
// in one go on a little-endian host), for random position lists.
TEST(VeskStorage, EncodedEntryFollowsTheByteTable) {
  auto le = [](std::string& out, uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xff));
  };
  std::mt19937 rng(11);
  for (int t = 0; t < 50; ++t) {
    std::vector<uint16_t> sdr(rng() % 5000);
    for (uint16_t& p : sdr) p = static_cast<uint16_t>(rng());
    LogEntry e = entry("id-" + std::to_string(t), std::string(rng() % 300, 'c'), "general", sdr);
    std::string expected = e.id + std::string(32 - e.id.size(), '\0') + "general" + std::string(9, '\0');
    le(expected, std::bit_cast<uint64_t>(e.created_at), 8);
    le(expected, std::bit_cast<uint32_t>(e.strength), 4);
    le(expected, std::bit_cast<uint32_t>(e.pin_factor), 4);
    le(expected, 0, 8);
    le(expected, sdr.size(), 2);
    le(expected, e.content.size(), 4);
    expected.push_back('\0');
    for (uint16_t p : sdr) le(expected, p, 2);
    expected += e.content;
    std::string out = "prefix";
    ASSERT_TRUE(encode_log_entry(e, nullptr, &out).ok());
    EXPECT_EQ(out, "prefix" + expected) << "entry " << t;
  }
}

TEST(VeskStorage, IdAndTierFieldsAreCutAndCleaned) {
  TempDir dir;
  auto s = open_ok(dir.path());
  std::string long_id(40, 'x');
  ASSERT_TRUE(s->append(entry(long_id, "t", "a-tier-longer-than-16")).ok());
  ASSERT_TRUE(s->append(entry(std::string("\0ab\xff", 4), "t")).ok());
  ASSERT_TRUE(s->close().ok());
  s = open_ok(dir.path());
  auto cut = s->read_entry(std::string(32, 'x'));
  ASSERT_TRUE(cut.ok() && *cut);
  EXPECT_EQ((*cut)->tier, "a-tier-longer-th");
  EXPECT_TRUE(s->cached_entry("ab\xEF\xBF\xBD")) << "NULs stripped, bad bytes replaced";
}

TEST(VeskStorage, TornTailIsCutBackToTheLastWholeEntry) {
  // Where the crash cut the last entry: bytes kept of it.
  const size_t last_size = 79 + 2 * 3 + 11;
  for (size_t kept : {size_t{1}, size_t{40}, size_t{78}, size_t{79}, size_t{82}, size_t{90}, last_size - 1}) {
    TempDir dir;
    {
      auto s = open_ok(dir.path());
      ASSERT_TRUE(s->append(entry("aaaaaaaaaaaa", "one")).ok());
      ASSERT_TRUE(s->append(entry("bbbbbbbbbbbb", "two")).ok());
      ASSERT_TRUE(s->append(entry("cccccccccccc", "three three")).ok());
      ASSERT_TRUE(s->close().ok());
    }
    uint64_t full = fs::file_size(dir / "brain.vesk");
    uint64_t last_start = full - last_size;
    fs::resize_file(dir / "brain.vesk", last_start + kept);

    auto s = open_ok(dir.path());
    EXPECT_EQ(fs::file_size(dir / "brain.vesk"), last_start) << "kept " << kept;
    EXPECT_EQ(s->entry_count(), 2u);
    EXPECT_EQ(text_of(*s, "bbbbbbbbbbbb"), "two");
    EXPECT_EQ(text_of(*s, "cccccccccccc"), "none");
    // The next entry goes where the torn one started.
    EXPECT_EQ(*s->append(entry("dddddddddddd", "four")), last_start);
    ASSERT_TRUE(s->flush().ok());
    EXPECT_EQ(header_count(dir / "brain.vesk"), 3u);
  }
}

// A log of several scan blocks (entries cross every block boundary): the
// later entry of an id wins, user_core sticks, and a torn last entry is cut.
TEST(VeskStorage, ScanOfALongLogKeepsLogOrderAcrossBlocks) {
  TempDir dir;
  constexpr int kEntries = 3000, kIds = 700;
  std::map<std::string, std::pair<std::string, std::vector<uint16_t>>> latest;
  std::set<std::string> user_core;
  uint64_t last_start = 0;
  std::string last_id;
  {
    auto s = open_ok(dir.path());
    for (int i = 0; i < kEntries; ++i) {
      char id[13];
      std::snprintf(id, sizeof id, "%012d", i % kIds);
      std::vector<uint16_t> sdr;
      for (int k = 0; k < 2500 + (i * 37) % 1500; ++k) sdr.push_back(static_cast<uint16_t>(k * 13 + i));
      const std::string text = "entry " + std::to_string(i) + std::string(static_cast<size_t>((i * 7919) % 2500), 'x');
      const std::string tier = i % 97 == 0 ? "user_core" : "general";
      auto at = s->append(entry(id, text, tier, sdr));
      ASSERT_TRUE(at.ok());
      latest[id] = {text, sdr};
      if (tier == "user_core") user_core.insert(id);
      last_start = *at;
      last_id = id;
    }
    ASSERT_TRUE(s->close().ok());
  }
  ASSERT_GT(fs::file_size(dir / "brain.vesk"), uint64_t{20} << 20);  // three blocks at least
  {
    auto s = open_ok(dir.path());
    EXPECT_EQ(s->entry_count(), uint64_t{kEntries});
    for (const auto& [id, want] : latest) {
      auto e = s->cached_entry(id);
      ASSERT_TRUE(e) << id;
      EXPECT_EQ(e->sdr().positions(), want.second) << id;
      EXPECT_EQ(text_of(*s, id), want.first) << id;
    }
    const auto core = s->user_core_ids();
    EXPECT_EQ(std::set<std::string>(core.begin(), core.end()), user_core);
  }
  fs::resize_file(dir / "brain.vesk", last_start + 100);
  auto s = open_ok(dir.path());
  EXPECT_EQ(fs::file_size(dir / "brain.vesk"), last_start);
  EXPECT_EQ(s->entry_count(), uint64_t{kEntries - 1});
  EXPECT_NE(s->cached_entry(last_id)->sdr().positions(), latest[last_id].second);
  EXPECT_NE(text_of(*s, last_id), latest[last_id].first);
}

// The scan reads the log a block at a time, the next block while it caches
// the last: a failed read fails the open wherever it happens.
TEST(VeskStorage, ReadErrorFailsTheOpenWithoutCuttingTheLog) {
  TempDir dir;
  {
    auto s = open_ok(dir.path());
    ASSERT_TRUE(s->append(entry("aaaaaaaaaaaa", "must survive")).ok());
    const std::vector<uint16_t> sdr(4000, 1);
    for (int i = 0; i < 3000; ++i) ASSERT_TRUE(s->append(entry(std::to_string(i), "filler", "general", sdr)).ok());
  }
  const uint64_t size = fs::file_size(dir / "brain.vesk");
  ASSERT_GT(size, uint64_t{20} << 20);
  for (uint64_t from : {uint64_t{0}, uint64_t{12} << 20, size - 1}) {
    FaultEnv env;
    env.fail_reads("brain.vesk", from);
    auto failed = VeskStorage::open(dir.path(), nullptr, env);
    ASSERT_FALSE(failed.ok()) << from;
    EXPECT_EQ(failed.status().message(), "injected read failure");
    EXPECT_EQ(fs::file_size(dir / "brain.vesk"), size);
    EXPECT_TRUE(Env::Default().lock(dir / "brain.lock").ok()) << "the lock is released";
  }
  auto s = open_ok(dir.path());
  EXPECT_EQ(s->entry_count(), 3001u);
  EXPECT_EQ(text_of(*s, "aaaaaaaaaaaa"), "must survive");
}

TEST(VeskStorage, HeaderIsChecked) {
  struct Case {
    std::string magic;
    uint32_t version;
    size_t size;
    const char* error;  // null: opens
  };
  const Case cases[] = {
      {"VESK", 0, 64, nullptr},
      {"VESK", 3, 64, nullptr},
      {"VESK", 4, 64, "Unsupported version: 4"},
      {"VESX", 3, 64, "Invalid magic bytes"},
      {"VESK", 3, 40, "unexpected end of file"},
      {"VE", 3, 2, "unexpected end of file"},
  };
  for (const Case& c : cases) {
    TempDir dir;
    std::string header = c.magic.substr(0, 4);
    put_le<uint32_t>(&header, c.version);
    header.resize(64, '\0');
    spit(dir / "brain.vesk", header.substr(0, c.size));
    auto s = VeskStorage::open(dir.path(), nullptr, Env::Default());
    if (!c.error) {
      EXPECT_TRUE(s.ok()) << c.magic << c.version;
      continue;
    }
    ASSERT_FALSE(s.ok());
    EXPECT_EQ(s.status().kind(), ErrorKind::OS);
    EXPECT_EQ(s.status().message(), c.error);
    // A failed open releases the lock.
    EXPECT_TRUE(Env::Default().lock(dir / "brain.lock").ok());
  }
}

TEST(VeskStorage, SecondOpenIsRefusedUntilClosedOrDropped) {
  TempDir dir;
  auto s = open_ok(dir.path());
  auto again = VeskStorage::open(dir.path(), nullptr, Env::Default());
  ASSERT_FALSE(again.ok());
  EXPECT_EQ(again.status().kind(), ErrorKind::OS);
  EXPECT_EQ(again.status().message(),
            "Vesk brain at " + dir.path().string() +
                " is already open in another process or handle (Resource temporarily unavailable)."
                "                  Close it first or use a separate directory.");
  ASSERT_TRUE(s->close().ok());
  auto reopened = open_ok(dir.path());
  ASSERT_TRUE(reopened);
  reopened.reset();
  EXPECT_TRUE(open_ok(dir.path()));
}

TEST(VeskStorage, ClosedStorage) {
  TempDir dir;
  auto s = open_ok(dir.path());
  ASSERT_TRUE(s->append(entry("aaaaaaaaaaaa", "kept")).ok());
  ASSERT_TRUE(s->close().ok());
  EXPECT_EQ(s->append(entry("bbbbbbbbbbbb", "x")).status().message(), "Storage is closed");
  EXPECT_EQ(text_of(*s, "aaaaaaaaaaaa"), "error: Storage is closed");
  EXPECT_EQ(text_of(*s, "bbbbbbbbbbbb"), "none");
  EXPECT_TRUE(s->flush().ok());
  EXPECT_TRUE(s->close().ok());
}

TEST(VeskStorage, DropFlushes) {
  TempDir dir;
  ASSERT_TRUE(open_ok(dir.path())->append(entry("aaaaaaaaaaaa", "dropped, not closed")).ok());
  auto s = open_ok(dir.path());
  EXPECT_EQ(text_of(*s, "aaaaaaaaaaaa"), "dropped, not closed");
  EXPECT_EQ(header_count(dir / "brain.vesk"), 1u);
}

TEST(VeskStorage, EncryptedTextsAndTheirPlaceholders) {
  TempDir dir;
  StoreKey key = std::make_shared<const SecretKey>(SecretKey::random());
  {
    auto s = open_ok(dir.path(), key);
    ASSERT_TRUE(s->append(entry("aaaaaaaaaaaa", "secret text", "general", {})).ok());
    ASSERT_TRUE(s->close().ok());
  }
  std::string log = slurp(dir / "brain.vesk");
  ASSERT_EQ(log.size(), 64u + 79 + 11 + 28);
  EXPECT_EQ(get_le<uint32_t>(log.data() + 64 + 74), 11u + 28);
  EXPECT_EQ(log[64 + 78], 1);
  EXPECT_EQ(log.find("secret text"), std::string::npos);

  struct Case {
    StoreKey key;
    std::string read;
  };
  const Case cases[] = {
      {key, "secret text"},
      {nullptr, "<encrypted - no key>"},
      {std::make_shared<const SecretKey>(SecretKey::random()),
       "error: Decryption failed for record aaaaaaaaaaaa: Decryption failed - invalid key or corrupted data"},
  };
  for (const Case& c : cases) {
    // The open never decrypts: a wrong key or none still opens the log.
    auto s = open_ok(dir.path(), c.key);
    ASSERT_TRUE(s->cached_entry("aaaaaaaaaaaa"));
    EXPECT_EQ(text_of(*s, "aaaaaaaaaaaa"), c.read);
  }
}

TEST(VeskStorage, InvalidUtf8TextReadsAsPlaceholder) {
  TempDir dir;
  ASSERT_TRUE(open_ok(dir.path())->append(entry("aaaaaaaaaaaa", "bad \xff byte")).ok());
  auto s = open_ok(dir.path());
  ASSERT_TRUE(s->cached_entry("aaaaaaaaaaaa"));
  EXPECT_EQ(text_of(*s, "aaaaaaaaaaaa"), "<invalid utf8>");
}

TEST(VeskStorage, LinksSurviveReopenAndDamagedSideMapsAreIgnored) {
  TempDir dir;
  {
    auto s = open_ok(dir.path());
    for (const char* id : {"aaaaaaaaaaaa", "bbbbbbbbbbbb", "cccccccccccc"}) ASSERT_TRUE(s->append(entry(id, id)).ok());
    s->remap_cached_entries({{"aaaaaaaaaaaa", "bbbbbbbbbbbb"}, {"cccccccccccc", "bbbbbbbbbbbb"},
                             {"bbbbbbbbbbbb", "unknown"}});
    EXPECT_EQ(s->linked_pairs().size(), 2u);
    ASSERT_TRUE(s->close().ok());
  }
  std::string good = slurp(dir / "temporal.bin");
  {
    auto s = open_ok(dir.path());
    EXPECT_EQ(s->cached_entry("aaaaaaaaaaaa")->linked_id(), "bbbbbbbbbbbb");
    EXPECT_EQ(s->cached_entry("bbbbbbbbbbbb")->linked_id(), std::nullopt);
    // Forgetting an id also forgets the links that point at it.
    s->remove_entry("bbbbbbbbbbbb");
    EXPECT_EQ(s->cached_entry("cccccccccccc")->linked_id(), std::nullopt);
    EXPECT_TRUE(s->linked_pairs().empty());
  }

  std::string huge_count = good;
  huge_count.replace(5, 8, std::string(8, '\xff'));
  std::string huge_length = good;
  huge_length.replace(13, 8, std::string(8, '\x7f'));
  for (const std::string& bad : {std::string("TPL2") + good.substr(4), good.substr(0, 4) + '\0' + good.substr(5),
                                 good.substr(0, good.size() - 3), huge_count, huge_length}) {
    spit(dir / "temporal.bin", bad);
    auto s = open_ok(dir.path());
    ASSERT_TRUE(s);
    EXPECT_TRUE(s->linked_pairs().empty());
  }
}

// Appends that fail must leave the log as if they never happened.
TEST(VeskStorage, FailedAppendIsCutBack) {
  enum Shape { kDirectWrite, kBufferWriteOut };
  for (Shape shape : {kDirectWrite, kBufferWriteOut}) {
    TempDir dir;
    FaultEnv env;
    auto s = open_ok(dir.path(), nullptr, env);
    ASSERT_TRUE(s->append(entry("aaaaaaaaaaaa", "flushed")).ok());
    ASSERT_TRUE(s->flush().ok());
    uint64_t durable = fs::file_size(dir / "brain.vesk");
    if (shape == kBufferWriteOut) {
      ASSERT_TRUE(s->append(entry("bbbbbbbbbbbb", "buffered")).ok());
    }
    uint64_t before = s->offset_of(shape == kBufferWriteOut ? "bbbbbbbbbbbb" : "aaaaaaaaaaaa").value();

    // A record larger than the write buffer forces bytes to the file, and the
    // write tears after 50 bytes.
    env.tear_writes_after("brain.vesk", 50);
    auto failed = s->append(entry("cccccccccccc", std::string(20000, 'c')));
    ASSERT_FALSE(failed.ok());
    EXPECT_EQ(fs::file_size(dir / "brain.vesk"), durable) << "shape " << shape;
    EXPECT_EQ(text_of(*s, "cccccccccccc"), "none");
    env.clear();

    auto next = s->append(entry("dddddddddddd", "after the failure"));
    ASSERT_TRUE(next.ok());
    EXPECT_GT(*next, before);
    ASSERT_TRUE(s->close().ok());
    s = open_ok(dir.path());
    EXPECT_EQ(s->entry_count(), shape == kBufferWriteOut ? 3u : 2u);
    EXPECT_EQ(text_of(*s, "dddddddddddd"), "after the failure");
    if (shape == kBufferWriteOut) {
      EXPECT_EQ(text_of(*s, "bbbbbbbbbbbb"), "buffered");
    }
  }
}

TEST(VeskStorage, AppendThatCannotBeCutBackClosesTheWriter) {
  TempDir dir;
  FaultEnv env;
  auto s = open_ok(dir.path(), nullptr, env);
  ASSERT_TRUE(s->append(entry("aaaaaaaaaaaa", "durable")).ok());
  ASSERT_TRUE(s->flush().ok());
  env.tear_writes_after("brain.vesk", 50);
  env.fail_truncate("brain.vesk");
  ASSERT_FALSE(s->append(entry("bbbbbbbbbbbb", std::string(20000, 'b'))).ok());
  env.clear();

  // Nothing may follow the torn bytes, and nothing may claim to be durable.
  auto later = s->append(entry("cccccccccccc", "refused"));
  ASSERT_FALSE(later.ok());
  EXPECT_THAT(later.status().message(), ::testing::StartsWith("Storage is closed: a failed append"));
  EXPECT_FALSE(s->flush().ok());
  EXPECT_FALSE(s->close().ok());
  ::testing::internal::CaptureStderr();
  s.reset();
  EXPECT_THAT(::testing::internal::GetCapturedStderr(),
              ::testing::StartsWith("VeskStorage: failed to close on drop: Storage is closed: a failed append"));

  s = open_ok(dir.path());
  EXPECT_EQ(s->entry_count(), 1u);
  EXPECT_EQ(text_of(*s, "aaaaaaaaaaaa"), "durable");
}

TEST(VeskStorage, FailedFlushKeepsAppendsForTheNextOne) {
  TempDir dir;
  FaultEnv env;
  auto s = open_ok(dir.path(), nullptr, env);
  ASSERT_TRUE(s->append(entry("aaaaaaaaaaaa", "one")).ok());
  for (int fault = 0; fault < 3; ++fault) {
    if (fault == 0) env.tear_writes_after("brain.vesk", 20);
    if (fault == 1) env.fail_sync("brain.vesk");
    if (fault == 2) env.fail_rename("temporal.bin");
    EXPECT_FALSE(s->flush().ok()) << "fault " << fault;
    env.clear();
  }
  EXPECT_FALSE(fs::exists(dir / "temporal.tmp"));
  ASSERT_TRUE(s->close().ok());
  s = open_ok(dir.path());
  EXPECT_EQ(text_of(*s, "aaaaaaaaaaaa"), "one");
  EXPECT_EQ(header_count(dir / "brain.vesk"), 1u);
}

TEST(VeskStorage, ConcurrentAppendsReadsAndFlushes) {
  TempDir dir;
  auto s = open_ok(dir.path());
  constexpr int kWriters = 4, kPerWriter = 300;
  std::atomic<int> bad_reads{0};
  std::vector<std::thread> threads;
  for (int w = 0; w < kWriters; ++w) {
    threads.emplace_back([&, w] {
      for (int i = 0; i < kPerWriter; ++i) {
        std::string id = std::to_string(w) + "-" + std::to_string(i);
        std::string text = "text of w" + id;
        ASSERT_TRUE(s->append(entry(id, text)).ok());
        if (text_of(*s, id) != text) ++bad_reads;
        if (i % 100 == 0) {
          ASSERT_TRUE(s->flush().ok());
        }
      }
    });
  }
  threads.emplace_back([&] {
    for (int i = 0; i < 200; ++i) s->remove_entry("nobody"), (void)s->linked_pairs();
  });
  for (auto& t : threads) t.join();
  EXPECT_EQ(bad_reads.load(), 0);
  ASSERT_TRUE(s->close().ok());
  s = open_ok(dir.path());
  EXPECT_EQ(s->entry_count(), uint64_t{kWriters * kPerWriter});
  EXPECT_EQ(text_of(*s, "3-299"), "text of w3-299");
}

TEST(VeskStorage, WholeLogRewrite) {
  TempDir dir;
  auto s = open_ok(dir.path());
  for (const char* id : {"aaaaaaaaaaaa", "bbbbbbbbbbbb", "cccccccccccc"}) ASSERT_TRUE(s->append(entry(id, id)).ok());
  s->remap_cached_entries({{"aaaaaaaaaaaa", "cccccccccccc"}});
  ASSERT_TRUE(s->flush().ok());

  // Drop "bbbbbbbbbbbb" from the stored history.
  auto held = s->lock_writer();
  std::vector<LogEntry> keep;
  for (const char* id : {"aaaaaaaaaaaa", "cccccccccccc"}) keep.push_back(**s->read_entry(id));
  auto links = s->linked_pairs();
  fs::path next = dir / "brain.vesk.new";
  ASSERT_TRUE(VeskStorage::create_log_file(next, Env::Default()).ok());
  {
    auto file = Env::Default().open(next, OpenMode::kReadWrite);
    ASSERT_TRUE(file.ok());
    BufferedWriter w(std::move(*file), 64);
    for (const LogEntry& e : keep) ASSERT_TRUE(write_log_entry(e, w, nullptr).ok());
    ASSERT_TRUE(w.flush_buffer().ok());
    std::string count;
    put_le<uint64_t>(&count, keep.size());
    ASSERT_TRUE(w.file().write_at(8, count).ok());
    ASSERT_TRUE(w.file().sync().ok());
  }
  ASSERT_TRUE(Env::Default().rename(next, dir / "brain.vesk").ok());
  ASSERT_TRUE(s->reopen_handles(held).ok());
  ASSERT_TRUE(s->rebuild_index(held).ok());
  s->remap_cached_entries({links.begin(), links.end()});
  ASSERT_TRUE(s->write_temporal_sidecar().ok());
  held.unlock();

  EXPECT_EQ(text_of(*s, "bbbbbbbbbbbb"), "none");
  EXPECT_EQ(s->entry_count(), 2u);
  EXPECT_EQ(s->cached_entry("aaaaaaaaaaaa")->linked_id(), "cccccccccccc");
  ASSERT_TRUE(s->append(entry("dddddddddddd", "after")).ok());
  ASSERT_TRUE(s->close().ok());
  s = open_ok(dir.path());
  EXPECT_EQ(s->entry_count(), 3u);
  EXPECT_EQ(text_of(*s, "dddddddddddd"), "after");
  EXPECT_EQ(s->cached_entry("aaaaaaaaaaaa")->linked_id(), "cccccccccccc");
}

}  // namespace
}  // namespace vesk
