#include "index/embedding_file_reader.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "base/coding.h"
#include "base/string_hash.h"
#include "model/json_codec.h"
#include "model/json_struct.h"
#include "model/json_writer.h"
#include "storage/fault_env.h"
#include "storage/test_dir.h"

namespace vesk {
namespace {

using testing::FaultEnv;
using testing::slurp;
using testing::spit;
using testing::TempDir;
using Puts = std::vector<std::pair<std::string, std::vector<float>>>;

// Keeps every put in order, and counts resets.
struct Collect : VectorRunSink {
  Puts puts;
  int resets = 0;
  void apply(const VectorRun& run) override {
    for (size_t i = 0; i < run.size(); ++i) {
      const auto v = run.vector(i);
      puts.emplace_back(std::string(run.id(i)), std::vector<float>(v.begin(), v.end()));
    }
  }
  void reset() override {
    puts.clear();
    ++resets;
  }
};

// The last put of each id: what applying the puts leaves.
StringKeyMap<std::vector<float>> latest(const Puts& puts) {
  StringKeyMap<std::vector<float>> out;
  for (const auto& [id, v] : puts) out.insert_or_assign(id, v);
  return out;
}

std::vector<float> random_vector(std::mt19937& rng, size_t dim) {
  std::normal_distribution<float> normal(0.0f, 0.05f);
  std::vector<float> v(dim);
  for (float& x : v) x = normal(rng);
  return v;
}

std::string frame_text(const std::string& id, const std::vector<float>& v) {
  std::string text;
  JsonWriter w(text);
  w.begin_object();
  w.key("id");
  w.string(id);
  w.key("v");
  w.begin_array();
  for (float x : v) w.f32(x);
  w.end_array();
  w.end_object();
  return text;
}

std::string frame(const std::string& payload) {
  std::string f;
  put_le<uint32_t>(&f, static_cast<uint32_t>(payload.size()));
  put_le<uint32_t>(&f, static_cast<uint32_t>(crc32_z(0, reinterpret_cast<const Bytef*>(payload.data()), payload.size())));
  return f + payload;
}

struct Frame {
  std::string id;
  std::vector<float> v;
};

}  // namespace

template <>
struct JsonCodec<Frame> : JsonStructCodec<Frame> {
  static const JsonStruct<Frame>& fields() {
    static const JsonStruct<Frame> s("struct LogFrame", {json_field<&Frame::id>("id"), json_field<&Frame::v>("v")});
    return s;
  }
};

namespace {

// The plain replay: one frame after the other, from the whole file.
EmbeddingLogReplay plain_replay(const std::string& log, const SecretKey* key, Puts& puts) {
  EmbeddingLogReplay r;
  r.size = log.size();
  for (size_t pos = 0; log.size() - pos >= 8;) {
    const uint32_t n = get_le<uint32_t>(log.data() + pos);
    if (n > log.size() - pos - 8) break;
    const std::string payload = log.substr(pos + 8, n);
    if (crc32_z(0, reinterpret_cast<const Bytef*>(payload.data()), payload.size()) != get_le<uint32_t>(log.data() + pos + 4))
      break;
    auto text = unseal_payload(key, payload);
    if (!text.ok()) break;
    JsonReader reader(*text);
    Frame f;
    if (!JsonCodec<Frame>::read(reader, f) || !reader.end()) break;
    puts.emplace_back(f.id, f.v);
    pos += 8 + n;
    ++r.frames;
    r.end = pos;
  }
  return r;
}

// A log of several pieces replays as the plain replay does: the same puts in
// the same order, up to the same frame, whatever stops it and wherever it
// lies; a frame longer than a piece included.
TEST(EmbeddingFileReader, ALogOfManyPiecesReplaysFrameByFrame) {
  const SecretKey secret = SecretKey::random();
  std::mt19937 rng(31);
  std::vector<std::string> payloads;
  std::vector<const SecretKey*> keys;
  for (const SecretKey* key : {static_cast<const SecretKey*>(nullptr), &secret}) {
    std::string log;
    for (int i = 0; i < 2500; ++i) {
      const std::string id = "r" + std::to_string(i % 2100);  // some ids put twice
      std::string text = frame_text(id, random_vector(rng, i == 900 ? 500000 : 384));
      if (i % 97 == 0) text = "[\"" + id + "\",[1,2.5e-3]]";  // another writer's form
      log += frame(*seal_payload(key, text));
    }
    ASSERT_GT(log.size(), 3 * kEmbeddingReadPieceBytes);
    const std::vector<size_t> starts = [&] {
      std::vector<size_t> s;
      for (size_t pos = 0; pos < log.size(); pos += 8 + get_le<uint32_t>(log.data() + pos)) s.push_back(pos);
      return s;
    }();
    struct Case {
      const char* name;
      std::string log;
    };
    std::vector<Case> cases = {{"whole", log}, {"torn last frame", log.substr(0, log.size() - 5)}};
    for (size_t k : {size_t{1}, size_t{900}, size_t{1700}}) {
      std::string bad_crc = log;
      bad_crc[starts[k] + 20] ^= 0x01;
      cases.push_back({"bad frame", bad_crc});
    }
    cases.push_back({"valid CRC over a bad text",
                     log.substr(0, starts[899]) + frame(*seal_payload(key, "{\"id\":\"x\"}")) + log.substr(starts[899])});
    std::string length;
    put_le<uint32_t>(&length, 0xFFFFFF00u);
    cases.push_back({"length beyond the file", std::string(log).replace(starts[1200], 4, length)});
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.name) + (key ? ", keyed" : ""));
      TempDir dir;
      spit(dir / "embeddings.log", c.log);
      Puts want;
      const EmbeddingLogReplay plain = plain_replay(c.log, key, want);
      Collect sink;
      auto got = replay_embedding_log(dir / "embeddings.log", key, Env::Default(), sink);
      ASSERT_TRUE(got.ok()) << got.status().message();
      EXPECT_EQ(got->frames, plain.frames);
      EXPECT_EQ(got->end, plain.end);
      // Reading may stop at the bad frame, but never before its end.
      EXPECT_EQ(got->size == got->end, plain.size == plain.end);
      EXPECT_LE(got->size, plain.size);
      EXPECT_TRUE(sink.puts == want);
    }
  }
}

TEST(EmbeddingFileReader, AFailedReadIsTheError) {
  TempDir dir;
  spit(dir / "embeddings.log", frame(frame_text("a", {1, 2})));
  spit(dir / "embeddings.cog", R"({"a":[1,2]})");
  FaultEnv env;
  env.fail_reads("embeddings.");
  Collect sink;
  EXPECT_EQ(replay_embedding_log(dir / "embeddings.log", nullptr, env, sink).status().message(),
            "injected read failure");
  EXPECT_EQ(read_embedding_snapshot(dir / "embeddings.cog", nullptr, env, sink).status().message(),
            "injected read failure");
}

// A snapshot of several pieces reads as one pass over it reads: the same
// vectors, or the same error (after a reset of the sink), keyed or not, and
// also when a piece would end inside an id that holds the text members end
// with.
TEST(EmbeddingFileReader, ASnapshotOfManyPiecesReadsAsInOnePass) {
  const SecretKey secret = SecretKey::random();
  std::mt19937 rng(37);
  auto member = [&](const std::string& id) {
    std::string m;
    JsonWriter::append_json_string(m, id);
    m += ':';
    std::string v;
    JsonWriter w(v);
    w.begin_array();
    for (float x : random_vector(rng, 384)) w.f32(x);
    w.end_array();
    return m + v;
  };
  // Members until the text passes `size`; the odd id (ending in "],") is put
  // so that its end lies 10 bytes before each multiple of the piece size.
  auto build = [&](size_t size, bool odd) {
    std::string text = "{";
    for (int i = 0; text.size() < size; ++i) {
      if (text.size() > 1) text += ',';
      const size_t boundary = (text.size() / kEmbeddingReadPieceBytes + 1) * kEmbeddingReadPieceBytes;
      std::string next = member("r" + std::to_string(i % 3000));
      if (odd && text.size() + 6000 > boundary) {
        // The odd member's id ends right before the boundary.
        const size_t pad = boundary - 10 - text.size() - 4;
        next = member(std::string(pad, 'p') + "],");
      }
      text += next;
    }
    return text + "}";
  };
  for (const SecretKey* key : {static_cast<const SecretKey*>(nullptr), &secret}) {
    for (bool odd : {false, true}) {
      SCOPED_TRACE(std::string(odd ? "odd ids" : "plain ids") + (key ? ", keyed" : ""));
      const std::string text = build(3 * kEmbeddingReadPieceBytes + 12345, odd);
      StringKeyMap<std::vector<float>> one_pass;
      ASSERT_TRUE(json_parse<StringKeyMap<std::vector<float>>>(text).ok());
      one_pass = *json_parse<StringKeyMap<std::vector<float>>>(text);
      TempDir dir;
      spit(dir / "embeddings.cog", *seal_payload(key, text));
      Collect sink;
      auto damage = read_embedding_snapshot(dir / "embeddings.cog", key, Env::Default(), sink);
      ASSERT_TRUE(damage.ok());
      EXPECT_FALSE(*damage);
      EXPECT_TRUE(latest(sink.puts) == one_pass);

      std::string damaged = text;
      damaged.replace(damaged.size() - 2 * kEmbeddingReadPieceBytes, 2, "1.2.");
      spit(dir / "embeddings.cog", *seal_payload(key, damaged));
      Collect damaged_sink;
      damage = read_embedding_snapshot(dir / "embeddings.cog", key, Env::Default(), damaged_sink);
      ASSERT_TRUE(damage.ok());
      ASSERT_TRUE(*damage);
      EXPECT_EQ(**damage, json_parse<StringKeyMap<std::vector<float>>>(damaged).status().message());
      EXPECT_TRUE(damaged_sink.puts.empty());
      EXPECT_GE(damaged_sink.resets, 1);
    }
  }
}

}  // namespace
}  // namespace vesk
