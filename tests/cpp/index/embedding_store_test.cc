#include "index/embedding_store.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <map>
#include <random>
#include <set>

#include "model/json_codec.h"
#include "base/string_hash.h"
#include "base/coding.h"
#include "storage/fault_env.h"
#include "storage/test_dir.h"

namespace vesk {
namespace {

using testing::FaultEnv;
using testing::slurp;
using testing::spit;
using testing::TempDir;
using Vec = std::vector<float>;

const std::function<bool(std::string_view)> kAllRecords = [](std::string_view) { return true; };

EmbeddingStoreLoad load_ok(const fs::path& dir, StoreKey key = nullptr, Env& env = Env::Default(),
                           const std::function<bool(std::string_view)>& exists = kAllRecords) {
  auto r = load_embedding_store(dir, std::move(key), exists, env);
  EXPECT_TRUE(r.ok()) << r.status().message();
  return r.ok() ? std::move(r).value() : EmbeddingStoreLoad{};
}

void put_ok(EmbeddingStore& s, std::string_view id, const Vec& v) {
  Status st = embedding_store_put(s, id, v);
  ASSERT_TRUE(st.ok()) << st.message();
}

// The 8-byte frame header and payload of each frame of a log, in order.
std::vector<std::string> frames_of(const std::string& log) {
  std::vector<std::string> out;
  for (size_t pos = 0; pos + 8 <= log.size();) {
    uint32_t n = get_le<uint32_t>(log.data() + pos);
    out.push_back(log.substr(pos, 8 + n));
    pos += 8 + n;
  }
  return out;
}

TEST(EmbeddingStore, PutValidatesFiniteBeforeDimensionAndChangesNothingOnError) {
  TempDir dir;
  auto load = load_ok(dir.path());
  EmbeddingStore& s = *load.store;
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  EXPECT_EQ(embedding_store_put(s, "a", Vec{}).message(), "Embedding must be nonempty and finite");
  put_ok(s, "a", {1, 2});  // the first vector fixes the dimension
  const uint64_t log_size = fs::file_size(s.log_path());
  struct Case {
    Vec v;
    const char* message;
  } cases[] = {
      {{}, "Embedding must be nonempty and finite"},
      {{nan, 1}, "Embedding must be nonempty and finite"},
      {{1, -inf}, "Embedding must be nonempty and finite"},
      {{nan, 1, 2}, "Embedding must be nonempty and finite"},  // both rules broken: the first is reported
      {{1, 2, 3}, "Embedding dimension mismatch"},
      {{1}, "Embedding dimension mismatch"},
  };
  for (const auto& c : cases) {
    Status st = embedding_store_put(s, "b", c.v);
    EXPECT_EQ(st.message(), c.message);
    EXPECT_EQ(st.kind(), ErrorKind::Value);
  }
  EXPECT_EQ(s.size(), 1u);
  EXPECT_EQ(fs::file_size(s.log_path()), log_size);
  EXPECT_EQ(s.log_frames(), 1u);

  // Replacing appends a frame; once every vector is gone any length is taken.
  put_ok(s, "a", {3, 4});
  EXPECT_EQ(s.log_frames(), 2u);
  EXPECT_EQ(s.vector("a"), (Vec{3, 4}));
  ASSERT_TRUE(embedding_store_remove(s, "a").ok());
  EXPECT_EQ(s.dimension(), 0u);
  put_ok(s, "b", {1, 2, 3});
  EXPECT_EQ(s.dimension(), 3u);
}

TEST(EmbeddingStore, VectorsSurviveReopenAndTheLogIsCompactedAway) {
  TempDir dir;
  {
    auto load = load_ok(dir.path());
    put_ok(*load.store, "a", {1, 0.5f});
    put_ok(*load.store, "b", {1e20f, -0.25f});
    put_ok(*load.store, "a", {2, 3});
    EXPECT_FALSE(fs::exists(dir / "embeddings.cog"));
    EXPECT_EQ(frames_of(slurp(dir / "embeddings.log")).size(), 3u);
    EXPECT_EQ(frames_of(slurp(dir / "embeddings.log"))[0].substr(8), R"({"id":"a","v":[1.0,0.5]})");
  }
  auto load = load_ok(dir.path());
  EXPECT_EQ(load.replayed_frames, 3u);
  EXPECT_FALSE(load.recovered_error);
  EXPECT_EQ(load.store->vector("a"), (Vec{2, 3}));
  EXPECT_EQ(load.store->vector("b"), (Vec{1e20f, -0.25f}));
  EXPECT_FALSE(fs::exists(dir / "embeddings.log"));
  std::string snap = slurp(dir / "embeddings.cog");
  EXPECT_TRUE(snap == R"({"a":[2.0,3.0],"b":[1e20,-0.25]})" || snap == R"({"b":[1e20,-0.25],"a":[2.0,3.0]})") << snap;
}

TEST(EmbeddingStore, ReaderAcceptsTheOtherFrameAndSnapshotForms) {
  TempDir dir;
  spit(dir / "embeddings.cog", " {\"a\":[1,2],\"b\":[0.5,1e0],\"a\":[3,4]} \n");
  std::string log;
  for (std::string text : {R"(["c",[5,6]])", R"({"v":[7,8],"x":1,"id":"d"})"}) {
    put_le<uint32_t>(&log, static_cast<uint32_t>(text.size()));
    put_le<uint32_t>(&log, static_cast<uint32_t>(crc32_z(0, reinterpret_cast<const Bytef*>(text.data()), text.size())));
    log += text;
  }
  spit(dir / "embeddings.log", log);
  auto load = load_ok(dir.path());
  EXPECT_EQ(load.replayed_frames, 2u);
  EXPECT_EQ(load.store->vector("a"), (Vec{3, 4}));  // a repeated member keeps its last value
  EXPECT_EQ(load.store->vector("b"), (Vec{0.5f, 1}));
  EXPECT_EQ(load.store->vector("c"), (Vec{5, 6}));
  EXPECT_EQ(load.store->vector("d"), (Vec{7, 8}));
}

TEST(EmbeddingStore, ThePutPastTheFrameLimitCompacts) {
  TempDir dir;
  auto load = load_ok(dir.path());
  EmbeddingStore& s = *load.store;
  for (int i = 1; i <= 1024; ++i) put_ok(s, "r", {static_cast<float>(i)});
  EXPECT_EQ(s.log_frames(), 1024u);
  EXPECT_EQ(frames_of(slurp(s.log_path())).size(), 1024u);
  EXPECT_FALSE(fs::exists(s.path()));
  put_ok(s, "r", {1025});
  EXPECT_EQ(s.log_frames(), 0u);
  EXPECT_FALSE(fs::exists(s.log_path()));
  EXPECT_EQ(slurp(s.path()), R"({"r":[1025.0]})");
}

TEST(EmbeddingStore, ReplayStopsAtTheFirstBadFrameAndCutsTheLogThere) {
  struct Case {
    const char* name;
    void (*damage)(std::string& log, const std::vector<std::string>& frames);
    size_t kept;
  } cases[] = {
      {"torn last frame", [](std::string& log, const auto&) { log.resize(log.size() - 3); }, 2},
      {"torn header", [](std::string& log, const auto&) { log += std::string("\x05\x00\x00", 3); }, 3},
      {"bad CRC in the middle",
       [](std::string& log, const auto& f) { log[f[0].size() + f[1].size() - 2] ^= 0x20; }, 1},
      {"valid CRC over a bad frame text",
       [](std::string& log, const auto& f) {
         std::string bad = R"({"id":"x"})";
         std::string frame;
         put_le<uint32_t>(&frame, static_cast<uint32_t>(bad.size()));
         put_le<uint32_t>(&frame, static_cast<uint32_t>(crc32_z(0, reinterpret_cast<const Bytef*>(bad.data()), bad.size())));
         log = f[0] + frame + bad + f[1] + f[2];
       },
       1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    {
      auto load = load_ok(dir.path());
      for (const char* id : {"a", "b", "c"}) put_ok(*load.store, id, {1, 2});
    }
    std::string log = slurp(dir / "embeddings.log");
    auto frames = frames_of(log);
    c.damage(log, frames);
    spit(dir / "embeddings.log", log);
    size_t good_end = 0;
    for (size_t i = 0; i < c.kept; ++i) good_end += frames[i].size();

    // With the compaction failing, the cut itself is visible.
    FaultEnv env;
    env.fail_rename("embeddings.cog");
    EXPECT_FALSE(load_embedding_store(dir.path(), nullptr, kAllRecords, env).ok());
    EXPECT_EQ(fs::file_size(dir / "embeddings.log"), good_end);

    auto load = load_ok(dir.path());
    EXPECT_EQ(load.store->size(), c.kept);
    EXPECT_EQ(load.replayed_frames, c.kept);
    EXPECT_FALSE(load.recovered_error);
    EXPECT_FALSE(fs::exists(dir / "embeddings.log"));
  }
}

// A failed append must not leave bytes that a later acknowledged frame would
// sit behind: the next open stops at the first bad frame and would cut it away.
TEST(EmbeddingStore, AFailedAppendNeverCostsALaterPut) {
  for (bool truncate_fails : {false, true}) {
    SCOPED_TRACE(truncate_fails ? "cut-back fails too" : "cut-back works");
    TempDir dir;
    FaultEnv env;
    {
      auto load = load_ok(dir.path(), nullptr, env);
      EmbeddingStore& s = *load.store;
      put_ok(s, "a", {1, 2});
      const uint64_t size = fs::file_size(s.log_path());
      env.tear_writes_after("embeddings.log", 10);
      if (truncate_fails) env.fail_truncate("embeddings.log");
      EXPECT_FALSE(embedding_store_put(s, "b", Vec{3, 4}).ok());
      EXPECT_FALSE(s.vector("b"));
      if (!truncate_fails) {
        EXPECT_EQ(fs::file_size(s.log_path()), size);
      }
      env.clear();
      put_ok(s, "c", {5, 6});
    }
    auto load = load_ok(dir.path());
    EXPECT_EQ(load.replayed_frames, 2u);
    EXPECT_EQ(load.store->vector("a"), (Vec{1, 2}));
    EXPECT_FALSE(load.store->vector("b"));
    EXPECT_EQ(load.store->vector("c"), (Vec{5, 6}));
  }
}

TEST(EmbeddingStore, ADamagedSnapshotOpensEmptyAndIsReportedButAnUnreadableOneFails) {
  StoreKey key = std::make_shared<const SecretKey>(SecretKey::random());
  struct Case {
    const char* name;
    std::string snapshot;
    StoreKey key;
    const char* error;
  } cases[] = {
      {"not JSON", "{\"a\":[1,2", nullptr, "EOF while parsing a list at line 1 column 9"},
      {"not numbers", R"({"a":["x"]})", nullptr, nullptr},
      {"plain under a key", R"({"a":[1,2]})", key, "Plaintext payload in encrypted memory; explicit migration required"},
      {"sealed without a key", "AEF1" + std::string(40, 'x'), nullptr, "Password required for encrypted memory"},
      {"mixed lengths", R"({"a":[1,2],"b":[1]})", nullptr, "Embedding dimension mismatch"},
      {"empty vector", R"({"a":[]})", nullptr, "Embedding must be nonempty and finite"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    spit(dir / "embeddings.cog", c.snapshot);
    auto load = load_ok(dir.path(), c.key);
    ASSERT_TRUE(load.store);
    EXPECT_EQ(load.store->size(), 0u);
    ASSERT_TRUE(load.recovered_error);
    if (c.error) {
      EXPECT_EQ(*load.recovered_error, c.error);
    }
    // The store works, and its next compaction replaces the damaged file.
    put_ok(*load.store, "z", {1, 2, 3});
    ASSERT_TRUE(embedding_store_remove(*load.store, "z").ok());
    EXPECT_FALSE(load_ok(dir.path(), c.key).recovered_error);
  }

  // Frames in the log still count when the snapshot is lost.
  TempDir dir;
  {
    auto load = load_ok(dir.path());
    put_ok(*load.store, "a", {1, 2});
  }
  spit(dir / "embeddings.cog", "garbage");
  auto load = load_ok(dir.path());
  EXPECT_TRUE(load.recovered_error);
  EXPECT_EQ(load.store->vector("a"), (Vec{1, 2}));
  EXPECT_EQ(slurp(dir / "embeddings.cog"), R"({"a":[1.0,2.0]})");

  // A read failure is no damage: the file may be fine, so the open fails.
  FaultEnv env;
  env.fail_reads("embeddings.cog");
  EXPECT_FALSE(load_embedding_store(dir.path(), nullptr, kAllRecords, env).ok());
}

TEST(EmbeddingStore, LoadDropsVectorsOfUnknownRecordsInMemoryOnly) {
  TempDir dir;
  spit(dir / "embeddings.cog", R"({"a":[1,2],"gone":[3]})");  // "gone" would break the dimension
  auto load = load_ok(dir.path(), nullptr, Env::Default(), [](std::string_view id) { return id == "a"; });
  EXPECT_FALSE(load.recovered_error);
  EXPECT_EQ(load.store->size(), 1u);
  EXPECT_FALSE(load.store->vector("gone"));
  EXPECT_EQ(slurp(dir / "embeddings.cog"), R"({"a":[1,2],"gone":[3]})");
}

// The invariants are checked on the vectors of existing records only, after
// the snapshot and the whole log: a vector that breaks them costs the load
// only when it is still there, and belongs to a record.
TEST(EmbeddingStore, AVectorBreakingTheInvariantsCountsOnlyIfItStays) {
  auto frame = [](const std::string& text) {
    std::string f;
    put_le<uint32_t>(&f, static_cast<uint32_t>(text.size()));
    put_le<uint32_t>(&f, static_cast<uint32_t>(crc32_z(0, reinterpret_cast<const Bytef*>(text.data()), text.size())));
    return f + text;
  };
  struct Case {
    const char* name;
    const char* snapshot;
    std::vector<std::string> frames;
    const char* error;  // or none
    std::map<std::string, Vec> kept;
  } cases[] = {
      {"odd vector of a dropped record", R"({"a":[1,2]})", {R"({"id":"gone","v":[1]})"}, nullptr, {{"a", {1, 2}}}},
      {"odd vector of a record", R"({"a":[1,2]})", {R"({"id":"b","v":[1]})"}, "Embedding dimension mismatch", {}},
      {"empty vector replaced", R"({"a":[1,2]})", {R"({"id":"b","v":[]})", R"({"id":"b","v":[3,4]})"}, nullptr,
       {{"a", {1, 2}}, {"b", {3, 4}}}},
      {"odd vector replaced", nullptr, {R"({"id":"a","v":[1,2,3]})", R"({"id":"a","v":[5,6]})", R"({"id":"b","v":[7,8]})"},
       nullptr, {{"a", {5, 6}}, {"b", {7, 8}}}},
      {"empty vector of a record", R"({"b":[],"a":[1,2]})", {}, "Embedding must be nonempty and finite", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    if (c.snapshot) spit(dir / "embeddings.cog", c.snapshot);
    std::string log;
    for (const std::string& text : c.frames) log += frame(text);
    if (!log.empty()) spit(dir / "embeddings.log", log);
    auto load = load_ok(dir.path(), nullptr, Env::Default(), [](std::string_view id) { return id != "gone"; });
    ASSERT_TRUE(load.store);
    EXPECT_EQ(load.recovered_error.value_or("none"), c.error ? c.error : "none");
    EXPECT_EQ(load.store->size(), c.kept.size());
    for (const auto& [id, v] : c.kept) EXPECT_EQ(load.store->vector(id), v) << id;
  }
}

// Reading the files of a log with frames stages the compacted snapshot; the
// load puts it in place only when the record filter keeps every vector, and
// nothing is left behind: not when the read is dropped unfinished, not when
// the staged snapshot is not used, not when staging it failed (which fails
// the load, after the cut, as a failed compaction does).
TEST(EmbeddingStore, TheSnapshotStagedWhileReadingIsUsedOnlyWhenNothingIsDropped) {
  auto entries = [](const fs::path& dir) {
    std::set<std::string> out;
    for (const auto& e : fs::directory_iterator(dir)) out.insert(e.path().filename().string());
    return out;
  };
  auto seed = [](const fs::path& dir) {
    auto load = load_ok(dir);
    for (const char* id : {"a", "gone", "b"}) put_ok(*load.store, id, {1, 2});
  };
  {
    TempDir dir;
    seed(dir.path());
    auto read = read_embedding_files(dir.path(), nullptr, Env::Default());
    ASSERT_TRUE(read.ok());
    EXPECT_EQ(entries(dir.path()).size(), 2u);  // the log and the staged snapshot
  }
  for (bool drop : {false, true}) {
    SCOPED_TRACE(drop ? "a vector dropped" : "every vector kept");
    TempDir dir;
    seed(dir.path());
    const std::string log = slurp(dir / "embeddings.log");
    auto read = read_embedding_files(dir.path(), nullptr, Env::Default());
    ASSERT_TRUE(read.ok());
    EXPECT_EQ(entries(dir.path()).size(), 2u);
    EXPECT_EQ(slurp(dir / "embeddings.log"), log);
    auto load = finish_embedding_load(
        std::move(read).value(), [&](std::string_view id) { return !drop || id != "gone"; }, Env::Default());
    ASSERT_TRUE(load.ok());
    EXPECT_EQ(entries(dir.path()), std::set<std::string>{"embeddings.cog"});
    EXPECT_EQ(slurp(dir / "embeddings.cog"),
              drop ? R"({"a":[1.0,2.0],"b":[1.0,2.0]})" : R"({"a":[1.0,2.0],"gone":[1.0,2.0],"b":[1.0,2.0]})");
  }
  TempDir dir;
  seed(dir.path());
  std::string log = slurp(dir / "embeddings.log");
  spit(dir / "embeddings.log", log + "torn");
  FaultEnv env;
  env.fail_sync_once("embeddings.");
  auto read = read_embedding_files(dir.path(), nullptr, env);
  ASSERT_TRUE(read.ok());
  auto load = finish_embedding_load(std::move(read).value(), kAllRecords, env);
  EXPECT_EQ(load.status().message(), "injected sync failure");
  EXPECT_EQ(entries(dir.path()), std::set<std::string>{"embeddings.log"});
  EXPECT_EQ(slurp(dir / "embeddings.log"), log);
}

TEST(EmbeddingStore, RemoveCompactsOnlyWhenTheIdHasAVector) {
  TempDir dir;
  FaultEnv env;
  auto load = load_ok(dir.path(), nullptr, env);
  EmbeddingStore& s = *load.store;
  ASSERT_TRUE(embedding_store_remove(s, "a").ok());
  EXPECT_FALSE(fs::exists(s.path()));
  put_ok(s, "a", {1, 2});
  put_ok(s, "b", {3, 4});

  env.fail_rename("embeddings.cog");
  EXPECT_FALSE(embedding_store_remove(s, "a").ok());
  EXPECT_EQ(s.vector("a"), (Vec{1, 2}));
  EXPECT_EQ(frames_of(slurp(s.log_path())).size(), 2u);
  env.clear();

  ASSERT_TRUE(embedding_store_remove(s, "a").ok());
  EXPECT_FALSE(s.vector("a"));
  EXPECT_FALSE(fs::exists(s.log_path()));
  EXPECT_EQ(slurp(s.path()), R"({"b":[3.0,4.0]})");
  // Appending starts a fresh log after the compaction.
  put_ok(s, "c", {5, 6});
  EXPECT_EQ(frames_of(slurp(s.log_path())).size(), 1u);
  auto again = load_ok(dir.path());
  EXPECT_EQ(again.store->size(), 2u);
  EXPECT_FALSE(again.store->vector("a"));
}

// Many frames replay in order (a later vector for an id wins). The snapshot
// is written in blocks of rows and joined into one object, also when the
// row left out is the only one of its block.
TEST(EmbeddingStore, ManyFramesAndASnapshotOfSeveralBlocks) {
  auto vec = [](int i) { return Vec{static_cast<float>(i), 0.5f, -static_cast<float>(i) / 3}; };
  {
    TempDir dir;
    std::map<std::string, Vec> want;
    {
      auto load = load_ok(dir.path());
      for (int i = 0; i < 1000; ++i) {
        const std::string id = "r" + std::to_string(i % 800);
        put_ok(*load.store, id, vec(i));
        want[id] = vec(i);
      }
    }
    auto load = load_ok(dir.path());
    EXPECT_EQ(load.replayed_frames, 1000u);
    ASSERT_EQ(load.store->size(), want.size());
    for (const auto& [id, v] : want) EXPECT_EQ(load.store->vector(id), v) << id;
  }
  TempDir dir;
  std::map<std::string, Vec> want;
  auto load = load_ok(dir.path());
  // Rows are in put order, so r1024 is alone in the second block of 1,024
  // rows when a removal writes the snapshot.
  for (int i = 0; i <= 1024; ++i) {
    put_ok(*load.store, "r" + std::to_string(i), vec(i));
    want["r" + std::to_string(i)] = vec(i);
  }
  for (const char* gone : {"r1024", "r500"}) {
    ASSERT_TRUE(embedding_store_remove(*load.store, gone).ok());
    want.erase(gone);
    const std::string snap = slurp(dir / "embeddings.cog");
    EXPECT_EQ(snap.find(",,"), std::string::npos) << gone;
    EXPECT_EQ(snap.substr(0, 3), "{\"r") << gone;
    EXPECT_EQ(snap.substr(snap.size() - 2), "]}") << gone;
    auto again = load_ok(dir.path());
    EXPECT_FALSE(again.recovered_error) << gone;
    ASSERT_EQ(again.store->size(), want.size()) << gone;
    for (const auto& [id, v] : want) EXPECT_EQ(again.store->vector(id), v) << id;
  }
}

// A snapshot of many megabytes is parsed in runs side by side. What it
// yields must be what one pass yields: a later member for an id wins across
// runs, a key holding the run separator at a cut still parses, and a damage
// deep in the text reports the one-pass error.
TEST(EmbeddingStore, ALargeSnapshotLoadsAsInOnePass) {
  auto member = [](const std::string& id, int seed) {
    std::string m = "\"" + id + "\":[";
    for (int k = 0; k < 96; ++k) m += (k ? "," : "") + std::to_string((seed * 131 + k * 7) % 1009 / 997.0);
    return m + "]";
  };
  auto build = [&](const std::string& odd_key) {
    std::string text = "{";
    bool odd_placed = odd_key.empty();
    for (int i = 0; i < 10000; ++i) {
      if (text.size() > 1) text += ',';
      if (!odd_placed && text.size() > (size_t{4} << 20) - 1000) {
        // A key across the first cut (at 4 MB), ending in the run separator.
        text += member(odd_key, i) + ",";
        odd_placed = true;
      }
      text += member("k" + std::to_string(i % 9000), i);  // ids below 1,000 appear twice
    }
    return text + "}";
  };
  const std::string odd = std::string(2000, 'a') + "],";
  for (const std::string& text : {build(""), build(odd)}) {
    ASSERT_GT(text.size(), size_t{8} << 20);
    StringKeyMap<std::vector<float>> one_pass;
    JsonReader reader(text);
    ASSERT_TRUE(JsonCodec<StringKeyMap<std::vector<float>>>::read(reader, one_pass) && reader.end());
    TempDir dir;
    spit(dir / "embeddings.cog", text);
    auto load = load_ok(dir.path());
    EXPECT_FALSE(load.recovered_error);
    ASSERT_EQ(load.store->size(), one_pass.size());
    for (const auto& [id, v] : one_pass) EXPECT_EQ(load.store->vector(id), v) << id;
  }
  std::string damaged = build("");
  damaged.replace(damaged.size() - 300000, 3, "1.2.");
  StringKeyMap<std::vector<float>> ignored;
  JsonReader reader(damaged);
  ASSERT_FALSE(JsonCodec<StringKeyMap<std::vector<float>>>::read(reader, ignored) && reader.end());
  TempDir dir;
  spit(dir / "embeddings.cog", damaged);
  auto load = load_ok(dir.path());
  ASSERT_TRUE(load.recovered_error);
  EXPECT_EQ(*load.recovered_error, reader.status().message());
  EXPECT_EQ(load.store->size(), 0u);
}

TEST(EmbeddingStore, AKeyedStoreSealsEachFrameAndTheSnapshot) {
  TempDir dir;
  StoreKey key = std::make_shared<const SecretKey>(SecretKey::random());
  {
    auto load = load_ok(dir.path(), key);
    put_ok(*load.store, "a", {1, 2});
    put_ok(*load.store, "b", {3, 4});
  }
  auto frames = frames_of(slurp(dir / "embeddings.log"));
  ASSERT_EQ(frames.size(), 2u);
  for (const auto& f : frames) {
    std::string payload = f.substr(8);
    EXPECT_EQ(payload.substr(0, 4), "AEF1");
    EXPECT_EQ(get_le<uint32_t>(f.data() + 4),
              static_cast<uint32_t>(crc32_z(0, reinterpret_cast<const Bytef*>(payload.data()), payload.size())));
  }
  auto load = load_ok(dir.path(), key);
  EXPECT_EQ(load.store->vector("b"), (Vec{3, 4}));
  EXPECT_EQ(slurp(dir / "embeddings.cog").substr(0, 4), "AEF1");
}

// The exact value a plain in-order loop gives, which the blocked scan must
// match bit for bit.
float reference_cosine(const Vec& q, const Vec& v) {
  float dot = 0, qq = 0, vv = 0;
  for (size_t i = 0; i < q.size(); ++i) {
    volatile float p = q[i] * v[i];  // keep each product rounded on its own
    dot += p;
    volatile float a = q[i] * q[i];
    qq += a;
    volatile float b = v[i] * v[i];
    vv += b;
  }
  float denominator = std::sqrt(vv) * std::sqrt(qq);
  if (denominator == 0) return 0;
  float s = dot / denominator;
  return s > 0 ? s : 0;
}

TEST(EmbeddingScores, MatchTheInOrderCosineExactlyAcrossBlocksAndRemovals) {
  TempDir dir;
  auto load = load_ok(dir.path());
  EmbeddingStore& s = *load.store;
  std::mt19937 rng(5);
  std::normal_distribution<float> normal;
  std::map<std::string, Vec> model;
  auto random_vec = [&] {
    Vec v(19);
    for (float& x : v) x = normal(rng);
    return v;
  };
  auto name = [](int i) {
    std::string id(1, 'r');
    return id += std::to_string(i);
  };
  for (int i = 0; i < 70; ++i) {
    std::string id = name(i);
    model[id] = random_vec();
    put_ok(s, id, model[id]);
  }
  for (int i = 0; i < 70; i += 3) {
    std::string id = name(i);
    ASSERT_TRUE(embedding_store_remove(s, id).ok());
    model.erase(id);
  }
  model["r1"] = random_vec();
  put_ok(s, "r1", model["r1"]);
  model["zero"] = Vec(19, 0.0f);
  put_ok(s, "zero", model["zero"]);

  for (int round = 0; round < 5; ++round) {
    Vec q = random_vec();
    RankedList expected;
    for (const auto& [id, v] : model)
      if (float sc = reference_cosine(q, v); sc > 0) expected.emplace_back(id, sc);
    std::stable_sort(expected.begin(), expected.end(), [](auto& a, auto& b) { return a.second > b.second; });
    auto got = embedding_scores(s, q, 1000);
    ASSERT_TRUE(got);
    EXPECT_EQ(*got, expected);
    auto top = embedding_scores(s, q, 5);
    EXPECT_EQ(*top, RankedList(expected.begin(), expected.begin() + 5));
  }
}

TEST(EmbeddingScores, AbsentEmptyTiedAndSkippedVectors) {
  TempDir dir;
  auto load = load_ok(dir.path());
  EmbeddingStore& s = *load.store;
  EXPECT_FALSE(embedding_scores(s, Vec{1, 0}, 10));  // nothing stored
  put_ok(s, "b", {2, 0});
  put_ok(s, "a", {1, 0});
  put_ok(s, "c", {1, 1});
  put_ok(s, "orthogonal", {0, 1});
  put_ok(s, "opposite", {-1, 0});
  put_ok(s, "zero", {0, 0});
  EXPECT_FALSE(embedding_scores(s, std::nullopt, 10));
  EXPECT_EQ(embedding_scores(s, Vec{}, 10), RankedList{});
  EXPECT_EQ(embedding_scores(s, Vec{1, 0, 0}, 10), RankedList{});
  EXPECT_EQ(embedding_scores(s, Vec{0, 0}, 10), RankedList{});
  const float diag = 1.0f / (std::sqrt(2.0f) * 1.0f);
  EXPECT_EQ(embedding_scores(s, Vec{1, 0}, 10), (RankedList{{"a", 1.0f}, {"b", 1.0f}, {"c", diag}}));
  EXPECT_EQ(embedding_scores(s, Vec{1, 0}, 1), (RankedList{{"a", 1.0f}}));
  EXPECT_EQ(embedding_scores(s, Vec{1, 0}, 0), RankedList{});
}

// With candidates, the ranking is the in-order cosine ranking of the
// candidates' own vectors, cut to n, whatever lies nearer the query among
// the others: whether the candidates are listed (a few of the 400 rows are
// then read by themselves; most of them are not) or only tested, however
// they lie among the rows, and with ids that have no vector among them.
TEST(EmbeddingScores, CandidatesRankOnlyTheirOwnVectors) {
  TempDir dir;
  auto load = load_ok(dir.path());
  EmbeddingStore& s = *load.store;
  std::mt19937 rng(6);
  std::normal_distribution<float> normal;
  constexpr int kRows = 400;
  std::map<std::string, Vec> model;
  for (int i = 0; i < kRows; ++i) {
    Vec v(96);
    for (float& x : v) x = normal(rng);
    model["v" + std::to_string(i)] = v;
    put_ok(s, "v" + std::to_string(i), v);
  }
  Vec q(96);
  for (float& x : q) x = normal(rng);
  std::vector<std::pair<float, std::string>> by_score;
  for (const auto& [id, v] : model) by_score.emplace_back(reference_cosine(q, v), id);
  std::sort(by_score.begin(), by_score.end(), [](auto& a, auto& b) { return a.first > b.first; });

  auto ids = [](int from, int to, int step) {
    StringSet out;
    for (int i = from; i < to; i += step) out.insert("v" + std::to_string(i));
    return out;
  };
  StringSet far;  // the twenty lowest positive scores
  for (auto it = by_score.rbegin(); far.size() < 20; ++it)
    if (it->first > 0) far.insert(it->second);
  StringSet with_ghosts = ids(100, 120, 1);
  with_ghosts.insert({"ghost", "v-none"});
  const struct {
    std::string name;
    StringSet candidates;
  } cases[] = {
      {"a stretch of rows", ids(100, 120, 1)},
      {"every twentieth row", ids(7, kRows, 20)},
      {"the farthest positive rows", far},
      {"ids without a vector", with_ghosts},
      {"most rows", ids(0, 300, 1)},
      {"nothing", {}},
  };
  for (const auto& c : cases) {
    RankedList all;
    for (const auto& [id, v] : model)
      if (float sc = reference_cosine(q, v); sc > 0 && c.candidates.contains(id)) all.emplace_back(id, sc);
    std::sort(all.begin(), all.end(),
              [](auto& a, auto& b) { return a.second != b.second ? a.second > b.second : a.first < b.first; });
    for (bool listed : {true, false}) {
      EmbeddingCandidates candidates{.accepts = [&](std::string_view id) { return c.candidates.contains(id); },
                                     .list = {},
                                     .listed = c.candidates.size()};
      if (listed) {
        candidates.list = [&](const std::function<void(std::string_view)>& visit) {
          for (const std::string& id : c.candidates) visit(id);
        };
      }
      for (size_t n : {size_t{5}, size_t{1000}}) {
        auto got = embedding_scores(s, q, n, &candidates);
        ASSERT_TRUE(got) << c.name;
        const RankedList want(all.begin(), all.begin() + static_cast<ptrdiff_t>(std::min(n, all.size())));
        EXPECT_EQ(*got, want) << c.name << (listed ? ", listed" : ", tested") << ", n " << n;
      }
    }
  }
  // Nothing stored or no query: no ranking at all, candidates or not.
  const EmbeddingCandidates none{.accepts = [](std::string_view) { return false; }, .list = {}, .listed = 0};
  EXPECT_FALSE(embedding_scores(s, std::nullopt, 5, &none));
  TempDir empty_dir;
  auto empty = load_ok(empty_dir.path());
  EXPECT_FALSE(embedding_scores(*empty.store, q, 5, &none));
}

}  // namespace
}  // namespace vesk
