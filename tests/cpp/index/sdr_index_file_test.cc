#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <random>
#include <set>

#include "index/index_manifest.h"
#include "index/roaring_portable.h"
#include "index/sdr_index.h"
#include "index/sdr_index_format.h"
#include "storage/fault_env.h"
#include "storage/test_dir.h"

namespace vesk {
namespace {

SharedSdr sdr_of(std::initializer_list<uint16_t> ps) { return std::make_shared<const Sdr>(ps); }

// Three records, one removed, so that position 7 is left empty; position
// 9000 crosses into a bitset container.
void fill(SdrIndex& index) {
  index.insert("a", sdr_of({1, 7, 300}));
  index.insert("b", sdr_of({1, 300, 65535}));
  index.insert("c", sdr_of({}));
  index.remove("a");
  for (int i = 0; i < 5000; ++i) index.insert("bulk" + std::to_string(i), sdr_of({9000}));
}

struct Files {
  std::string manifest, sdr;
};
Files save(const SdrIndex& index) {
  Files f;
  StringSink m(&f.manifest), s(&f.sdr);
  EXPECT_TRUE(index.save_to(m, s).ok());
  return f;
}
Status load(SdrIndex& index, const std::string& manifest, const std::string& sdr) {
  MemorySource src(sdr);
  return index.load_from(manifest, src);
}

uint16_t u16_at(const std::string& s, size_t o) { return static_cast<uint16_t>(uint8_t(s[o]) | uint8_t(s[o + 1]) << 8); }
uint64_t u64_at(const std::string& s, size_t o) {
  uint64_t v = 0;
  for (int i = 0; i < 8; ++i) v |= uint64_t{uint8_t(s[o + i])} << (8 * i);
  return v;
}
uint32_t u32_at(const std::string& s, size_t o) { return static_cast<uint32_t>(u64_at(s + "    ", o) & 0xffffffff); }

// (position, offset of its record) for every record of an sdr.idx.
std::vector<std::pair<uint16_t, size_t>> records_of(const std::string& s) {
  std::vector<std::pair<uint16_t, size_t>> out;
  for (size_t o = 0; o + 10 <= s.size(); o += 10 + u64_at(s, o + 2)) out.emplace_back(u16_at(s, o), o);
  return out;
}

TEST(SdrIndexFiles, SaveThenLoadReproducesTheIndex) {
  SdrIndex index;
  fill(index);
  Files f = save(index);
  SdrIndex back;
  ASSERT_TRUE(load(back, f.manifest, f.sdr).ok());
  auto want = index.contents();
  EXPECT_EQ(back.contents(), want);
  EXPECT_EQ(want.bitmaps.at(7), std::vector<uint32_t>{});
  EXPECT_EQ(want.next_doc_id, 5003u);
  EXPECT_EQ(want.id_map.count("a"), 0u);
  // Loaded documents keep working: removal (which must scan) and new inserts.
  back.remove("b");
  back.insert("d", sdr_of({1}));
  auto c = back.contents();
  EXPECT_EQ(c.bitmaps.at(1), std::vector<uint32_t>{5003});
  EXPECT_EQ(c.bitmaps.at(65535), std::vector<uint32_t>{});
}

TEST(SdrIndexFiles, ByteLayout) {
  SdrIndex index;
  fill(index);
  Files f = save(index);
  EXPECT_EQ(f.manifest.substr(0, 15), "{\"next_doc_id\":");
  auto recs = records_of(f.sdr);
  ASSERT_EQ(recs.size(), 5u);
  size_t end = 0;
  for (auto [pos, off] : recs) {
    const uint64_t len = u64_at(f.sdr, off + 2);
    EXPECT_EQ(u32_at(f.sdr, off + 10), kRoaringCookieNoRuns) << pos;
    if (pos == 7) {
      EXPECT_EQ(len, 8u);
      EXPECT_EQ(u32_at(f.sdr, off + 14), 0u);
    }
    if (pos == 9000) {
      EXPECT_EQ(len, 4 + 4 + 4 + 4 + 8192u);  // one bitset container
    }
    end = off + 10 + len;
  }
  EXPECT_EQ(end, f.sdr.size());
}

TEST(SdrIndexFiles, DamagedSdrIdx) {
  SdrIndex index;
  fill(index);
  Files f = save(index);
  auto recs = records_of(f.sdr);
  const size_t second = recs[1].second;
  struct Case {
    const char* what;
    std::string sdr;
    bool ok;
    size_t bitmaps;
  };
  std::string zero_len = f.sdr.substr(0, second) + f.sdr.substr(second, 2) + std::string(8, '\0');
  std::string huge_len = f.sdr.substr(0, second) + f.sdr.substr(second, 2) + std::string(8, '\x7f') + "xx";
  const Case cases[] = {
      {"complete", f.sdr, true, 5},
      {"one stray byte", f.sdr + "x", true, 5},
      {"cut after a record", f.sdr.substr(0, second), true, 1},
      {"cut inside a length", f.sdr.substr(0, second + 5), false, 1},
      {"cut inside a bitmap", f.sdr.substr(0, second + 14), false, 1},
      {"zero length", zero_len, false, 1},
      {"length past the end", huge_len, false, 1},
  };
  for (const Case& c : cases) {
    SdrIndex back;
    Status st = load(back, f.manifest, c.sdr);
    EXPECT_EQ(st.ok(), c.ok) << c.what << ": " << st.message();
    auto got = back.contents();
    EXPECT_EQ(got.bitmaps.size(), c.bitmaps) << c.what;
    EXPECT_EQ(got.id_map, index.contents().id_map) << c.what;  // the manifest was applied
  }
}

TEST(SdrIndexFiles, InconsistentFilesLoadAnEmptyIndex) {
  SdrIndex index;
  fill(index);
  Files f = save(index);
  std::string big_doc;
  {
    roaring_bitmap_t* bm = roaring_bitmap_of(1, 999999u);
    encode_roaring_portable(bm, big_doc);
    roaring_bitmap_free(bm);
  }
  std::string rec;
  append_sdr_idx_header(rec, 5, big_doc.size());
  const std::string cases[][2] = {
      {"{\"next_doc_id\":2,\"id_map\":{\"a\":0,\"b\":0}}", ""},           // a number given twice
      {"{\"next_doc_id\":2,\"id_map\":{\"a\":2}}", ""},                   // a number not below next_doc_id
      {f.manifest, f.sdr + rec + big_doc},                                // a posting not below next_doc_id
      {"{\"next_doc_id\":1,\"id_map\":{}", f.sdr},                        // malformed JSON
      {"{\"id_map\":{}}", f.sdr},                                         // a missing member
      {"{\"next_doc_id\":4294967296,\"id_map\":{}}", f.sdr},             // out of range
  };
  for (const auto& c : cases) {
    SdrIndex back;
    back.insert("live", sdr_of({3}));
    EXPECT_FALSE(load(back, c[0], c[1]).ok()) << c[0];
    auto got = back.contents();
    EXPECT_TRUE(got.id_map.empty() || got.id_map.count("live")) << c[0];
    EXPECT_TRUE(got.bitmaps.size() <= 1) << c[0];
  }
  // A large next_doc_id over few documents is valid and loads.
  SdrIndex sparse;
  ASSERT_TRUE(load(sparse, "{\"next_doc_id\":4000000000,\"id_map\":{\"x\":3999999999}}", "").ok());
  sparse.insert("y", sdr_of({1, 2}));
  EXPECT_EQ(*sparse.doc_of("y"), 4000000000u);
}

TEST(SdrIndexFiles, RunContainerVariantIsRead) {
  // One run container: key 0, values 3..6 and 10..10 (card 5).
  std::string bm;
  auto put16 = [&](uint16_t v) { bm.push_back(char(v & 0xff)), bm.push_back(char(v >> 8)); };
  put16(kRoaringCookieRuns), put16(0);  // cookie, n - 1 = 0
  bm.push_back(1);                      // container 0 is a run container
  put16(0), put16(4);                   // key 0, card - 1
  put16(2), put16(3), put16(3), put16(10), put16(0);
  std::string sdr;
  append_sdr_idx_header(sdr, 42, bm.size());
  sdr += bm;
  SdrIndex index;
  ASSERT_TRUE(load(index, "{\"next_doc_id\":11,\"id_map\":{}}", sdr).ok());
  EXPECT_EQ(index.contents().bitmaps.at(42), (std::vector<uint32_t>{3, 4, 5, 6, 10}));
  Files f = save(index);
  EXPECT_EQ(u32_at(f.sdr, 10), kRoaringCookieNoRuns);
  // Runs that overlap, or disagree with the header's cardinality, are refused.
  std::string overlap = bm;
  overlap[overlap.size() - 4] = 5;  // second run starts at 5, inside the first
  EXPECT_FALSE(validate_roaring_portable(overlap).ok());
  std::string wrong_card = bm;
  wrong_card[7] = 5;
  EXPECT_FALSE(validate_roaring_portable(wrong_card).ok());
}

TEST(SdrIndexFiles, OnlyBothFilesLoad) {
  testing::TempDir tmp;
  const std::string dir = (tmp / "index").string();
  {
    SdrIndex index(dir, Env::Default());
    fill(index);
    ASSERT_TRUE(index.save().ok());
    SdrIndex back(dir, Env::Default());
    ASSERT_TRUE(back.load().ok());
    EXPECT_EQ(back.contents(), index.contents());
    EXPECT_FALSE(std::filesystem::exists(dir + "/sdr.idx.tmp"));
  }
  std::filesystem::remove(dir + "/" + kIndexManifestFile);
  SdrIndex back(dir, Env::Default());
  EXPECT_TRUE(back.load().ok());
  EXPECT_EQ(back.size(), 0u);
  EXPECT_TRUE(back.contents().bitmaps.empty());
}

// A save that fails anywhere before its last rename leaves both old files
// as they were and no temporary file behind.
TEST(SdrIndexFiles, FailedSaveKeepsTheOldFiles) {
  enum Fault { kManifestWrite, kSdrTornWrite, kSdrSync, kSdrRename };
  for (Fault fault : {kManifestWrite, kSdrTornWrite, kSdrSync, kSdrRename}) {
    testing::TempDir tmp;
    const std::string dir = (tmp / "index").string();
    testing::FaultEnv env;
    SdrIndex index(dir, env);
    index.insert("old", sdr_of({1, 2}));
    ASSERT_TRUE(index.save().ok());
    const std::string old_manifest = testing::slurp(dir + "/index_manifest.json");
    const std::string old_sdr = testing::slurp(dir + "/sdr.idx");
    fill(index);
    if (fault == kManifestWrite) env.tear_writes_after("index_manifest.json.tmp", 0);
    if (fault == kSdrTornWrite) env.tear_writes_after("sdr.idx.tmp", 100);
    if (fault == kSdrSync) env.fail_sync("sdr.idx.tmp");
    if (fault == kSdrRename) env.fail_rename("sdr.idx");
    EXPECT_FALSE(index.save().ok()) << "fault " << fault;
    EXPECT_EQ(testing::slurp(dir + "/index_manifest.json"), old_manifest) << "fault " << fault;
    EXPECT_EQ(testing::slurp(dir + "/sdr.idx"), old_sdr) << "fault " << fault;
    size_t entries = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir)) entries += e.is_regular_file();
    EXPECT_EQ(entries, 2u) << "fault " << fault;
    env.clear();
    ASSERT_TRUE(index.save().ok());
    SdrIndex back(dir, env);
    ASSERT_TRUE(back.load().ok());
    EXPECT_EQ(back.contents(), index.contents());
  }
}

// A save writes only when the index changed since it loaded or wrote its
// files: a failing rename shows whether a save tried to write.
TEST(SdrIndexFiles, SaveWritesOnlyAfterAChange) {
  struct Case {
    const char* name;
    void (*change)(SdrIndex&);
    bool writes;
  };
  const Case cases[] = {
      {"nothing", [](SdrIndex&) {}, false},
      {"insert", [](SdrIndex& i) { i.insert("new", sdr_of({5})); }, true},
      {"insert without positions", [](SdrIndex& i) { i.insert("new", sdr_of({})); }, true},
      {"positions for a known id", [](SdrIndex& i) { i.insert("b", sdr_of({2})); }, true},
      {"remove", [](SdrIndex& i) { i.remove("b"); }, true},
      {"remove an unknown id", [](SdrIndex& i) { i.remove("zz"); }, false},
      {"clear", [](SdrIndex& i) { i.clear(); }, true},
  };
  for (const Case& c : cases) {
    testing::TempDir tmp;
    const std::string dir = (tmp / "index").string();
    testing::FaultEnv env;
    {
      SdrIndex index(dir, env);
      fill(index);
      ASSERT_TRUE(index.save().ok());
      env.fail_rename("sdr.idx");
      EXPECT_TRUE(index.save().ok()) << c.name;  // just written
      env.clear();
    }
    SdrIndex index(dir, env);
    ASSERT_TRUE(index.load().ok());
    c.change(index);
    env.fail_rename("sdr.idx");
    EXPECT_EQ(!index.save().ok(), c.writes) << c.name;
    env.clear();
    // A missing file is always written again.
    std::filesystem::remove(dir + "/sdr.idx");
    ASSERT_TRUE(index.save().ok()) << c.name;
    SdrIndex back(dir, env);
    ASSERT_TRUE(back.load().ok());
    EXPECT_EQ(back.contents(), index.contents()) << c.name;
  }
}

TEST(IndexManifest, Parse) {
  struct Case {
    std::string json;
    bool ok;
    uint32_t next = 0;
    size_t ids = 0;
  };
  const Case cases[] = {
      {"{\"next_doc_id\":3,\"id_map\":{\"a\":0,\"b\":2}}", true, 3, 2},
      {" {\"id_map\":{},\"extra\":[1,{\"x\":null},-2.5e3,\"s\\u00e9\"],\"next_doc_id\":0} \n", true, 0, 0},
      {"{\"next_doc_id\":4294967295,\"id_map\":{\"\\\"q\\\\\":1,\"\\ud83d\\ude00\":2}}", true, 4294967295u, 2},
      {"{\"next_doc_id\":1,\"id_map\":{\"a\":0,\"a\":0}}", true, 1, 1},
      {"{\"next_doc_id\":-1,\"id_map\":{}}", false},
      {"{\"next_doc_id\":1.0,\"id_map\":{}}", false},
      {"{\"next_doc_id\":01,\"id_map\":{}}", false},
      {"{\"next_doc_id\":1}", false},
      {"{\"next_doc_id\":1,\"next_doc_id\":1,\"id_map\":{}}", false},
      {"{\"next_doc_id\":1,\"id_map\":{}} x", false},
      {"[1,{}]", false},
      {"{\"next_doc_id\":1,\"id_map\":{\"\\ud800\":0}}", false},
      {"{\"next_doc_id\":1,\"id_map\":{\"\xff\":0}}", false},
      {std::string(200, '[') , false},
      {"", false},
  };
  for (const Case& c : cases) {
    auto m = parse_index_manifest(c.json);
    ASSERT_EQ(m.ok(), c.ok) << c.json;
    if (!m.ok()) continue;
    EXPECT_EQ(m->next_doc_id, c.next);
    EXPECT_EQ(m->id_map.size(), c.ids);
  }
  IndexManifest m{7, {{"x\"\n\x01y", 1}, {"é", 2}}};
  const std::string text = encode_index_manifest(m);
  EXPECT_EQ(text, "{\"next_doc_id\":7,\"id_map\":{\"x\\\"\\n\\u0001y\":1,\"é\":2}}");
  auto back = parse_index_manifest(text);
  ASSERT_TRUE(back.ok());
  EXPECT_EQ(back->id_map, m.id_map);
}

// sdr.idx as a plain writer makes it from sorted sets: for every position
// that ever had a posting, ascending, the header and the set's portable
// bytes. Random SDRs skewed so that lists run from a few documents to
// bitset containers, over two chunk keys, with re-inserts that add
// positions and removals; then the same after a load.
TEST(SdrIndexFiles, SdrIdxMatchesAPlainWriter) {
  std::mt19937 rng(31);
  std::vector<uint16_t> pool(300);
  for (uint16_t& p : pool) p = static_cast<uint16_t>(rng());
  SdrIndex index;
  std::map<uint16_t, std::set<uint32_t>> model;
  auto post = [&](const std::string& id, size_t n) {
    std::set<uint16_t> ps;
    while (ps.size() < n) ps.insert(pool[(rng() % pool.size()) * (rng() % pool.size()) / pool.size()]);
    index.insert(id, std::make_shared<const Sdr>(ps.begin(), ps.end()));
    for (uint16_t p : ps) model[p].insert(*index.doc_of(id));
  };
  for (int i = 0; i < 80000; ++i) {
    post("r" + std::to_string(i), 1 + rng() % 12);
    if (i % 211 == 0) post("r" + std::to_string(rng() % (i + 1)), 3);  // a re-insert adds positions
    if (i % 307 == 0) {
      const std::string id = "r" + std::to_string(rng() % (i + 1));
      if (auto d = index.doc_of(id)) {
        for (auto& [p, docs] : model) docs.erase(*d);
        index.remove(id);
      }
    }
  }
  std::string want;
  size_t bitsets = 0;
  for (const auto& [p, docs] : model) {
    roaring_bitmap_t* bm = roaring_bitmap_create();
    for (uint32_t d : docs) roaring_bitmap_add(bm, d);
    std::string bytes;
    encode_roaring_portable(bm, bytes);
    roaring_bitmap_free(bm);
    append_sdr_idx_header(want, p, bytes.size());
    want += bytes;
    bitsets += bytes.size() > 8192;
  }
  ASSERT_GT(bitsets, 3u);
  const Files f = save(index);
  EXPECT_TRUE(f.sdr == want);
  SdrIndex back;
  ASSERT_TRUE(load(back, f.manifest, f.sdr).ok());
  EXPECT_TRUE(save(back).sdr == want);
}

// Random damage to a saved sdr.idx must end in a clean load or an error,
// never a crash, and whatever is loaded must be usable.
TEST(SdrIndexFiles, FuzzedSdrIdxNeverCrashes) {
  SdrIndex index;
  fill(index);
  for (int i = 0; i < 300; ++i) index.insert("run" + std::to_string(i), sdr_of({20000}));  // a long run
  Files f = save(index);
  // Postings need no id map entry; a small manifest keeps each case cheap.
  f.manifest = "{\"next_doc_id\":" + std::to_string(index.contents().next_doc_id) + ",\"id_map\":{\"b\":1}}";
  std::mt19937_64 rng(2024);
  const std::vector<std::string> everyone = {"default"};
  for (int iter = 0; iter < 4000; ++iter) {
    std::string s;
    switch (iter % 4) {
      case 0:  // random bytes
        s.resize(rng() % 64);
        for (char& ch : s) ch = static_cast<char>(rng());
        break;
      case 1:  // bit flips
        s = f.sdr;
        for (int k = 0, n = 1 + rng() % 4; k < n; ++k) s[rng() % s.size()] ^= static_cast<char>(1u << (rng() % 8));
        break;
      case 2:  // a random cut plus a flipped byte near the headers
        s = f.sdr.substr(0, rng() % f.sdr.size());
        if (!s.empty()) s[rng() % std::min<size_t>(s.size(), 64)] = static_cast<char>(rng());
        break;
      default: {  // a bitmap header rewritten at random
        s = f.sdr;
        auto recs = records_of(s);
        size_t off = recs[rng() % recs.size()].second + 10;
        for (int k = 0; k < 12 && off + k < s.size(); ++k)
          if (rng() % 3 == 0) s[off + k] = static_cast<char>(rng());
      }
    }
    SdrIndex back;
    (void)load(back, f.manifest, s);
    back.insert("new", sdr_of({1, 7, 9000, 20000}));
    back.remove("b");
    back.remove("run7");
    Files again = save(back);
    SdrIndex twice;
    ASSERT_TRUE(load(twice, again.manifest, again.sdr).ok()) << iter;
  }
}

}  // namespace
}  // namespace vesk
