#include "index/embedding_text.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cstring>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "model/json_codec.h"
#include "model/json_number.h"
#include "model/json_struct.h"
#include "model/json_writer.h"

namespace vesk {
namespace {

// Puts as bit patterns, so that -0.0 and 0.0 differ.
using Puts = std::vector<std::pair<std::string, std::vector<uint32_t>>>;

std::vector<uint32_t> bits_of(std::span<const float> v) {
  std::vector<uint32_t> out(v.size());
  if (!v.empty()) std::memcpy(out.data(), v.data(), v.size() * 4);
  return out;
}

Puts puts_of(const VectorRun& run) {
  Puts out;
  for (size_t i = 0; i < run.size(); ++i) out.emplace_back(std::string(run.id(i)), bits_of(run.vector(i)));
  return out;
}

// The plain reader of an object of vectors, member by member in order.
bool plain_members(std::string_view doc, Puts& out) {
  JsonReader r(doc);
  if (!r.begin_map()) return false;
  bool ok = true, has = false;
  std::string_view key;
  while ((ok = r.next_key(has, key)) && has) {
    std::string id(key);
    std::vector<float> v;
    if (!(ok = r.object_colon() && JsonCodec<std::vector<float>>::read(r, v))) break;
    out.emplace_back(std::move(id), bits_of(v));
  }
  return r.end_map(ok) && r.end();
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

// Texts as writers give them, and now and then as other writers or damage
// leave them.
struct TextMaker {
  std::mt19937 rng{23};

  bool one_in(unsigned n) { return rng() % n == 0; }

  std::string id() {
    static const char* const kOdd[] = {"a\\\"b", "caf\xc3\xa9", "\\u00e9x", "x],", "tab\\t", "\xff", "new\nline", ""};
    if (one_in(6)) return kOdd[rng() % 8];
    std::string s(1, 'r');
    return s += std::to_string(rng() % 40);
  }

  std::string number() {
    std::normal_distribution<float> normal(0.0f, 0.05f);
    float f = normal(rng);
    if (one_in(20)) {
      const uint32_t bits = static_cast<uint32_t>(rng());
      std::memcpy(&f, &bits, 4);
      if (!std::isfinite(f)) f = FLT_MAX;
    }
    std::string s;
    switch (rng() % 12) {
      case 0: return std::to_string(static_cast<int>(rng() % 2000) - 1000);
      case 1: return "1e" + std::to_string(static_cast<int>(rng() % 90) - 45);
      case 2: return "0.1234567890123456789012";
      case 3: return "-0";
      default: append_json_f32(s, f); return s;
    }
  }

  std::string vector(size_t dim) {
    if (one_in(30)) return "[]";
    if (one_in(20)) dim += 1;
    std::string s = "[";
    for (size_t i = 0; i < dim; ++i) {
      if (i) s += one_in(40) ? ", " : ",";
      s += number();
    }
    return s + "]";
  }

  std::string key(const std::string& id) { return "\"" + id + "\""; }

  void damage(std::string& text) {
    if (text.empty() || !one_in(8)) return;
    static const char kBytes[] = "[]{},:\"x1-. ";
    text[rng() % text.size()] = kBytes[rng() % (sizeof kBytes - 1)];
  }
};

// Every stretch between member ends reads as the object its braces make,
// member for member; and when all of them read, together they are the
// whole object.
TEST(EmbeddingText, SnapshotStretchesReadAsTheirObjects) {
  TextMaker make;
  for (int round = 0; round < 3000; ++round) {
    std::string text = make.one_in(10) ? " {" : "{";
    const size_t members = make.rng() % 12;
    for (size_t m = 0; m < members; ++m) {
      if (m) text += ',';
      text += make.key(make.id()) + (make.one_in(30) ? ": " : ":") + make.vector(4);
    }
    text += make.one_in(10) ? "}\n" : "}";
    make.damage(text);

    // Cut at some of the places where a member seems to end.
    std::vector<size_t> starts{0};
    for (size_t at = text.find("],\""); at != std::string::npos; at = text.find("],\"", at + 1)) {
      if (make.one_in(2)) starts.push_back(at + 2);
    }
    Puts all;
    bool all_read = true;
    for (size_t c = 0; c < starts.size(); ++c) {
      const bool first = c == 0, last = c + 1 == starts.size();
      const size_t end = last ? text.size() : starts[c + 1] - 1;
      const std::string_view stretch = std::string_view(text).substr(starts[c], end - starts[c]);
      std::string doc(first ? "" : "{");
      doc.append(stretch);
      if (!last) doc += '}';
      Puts want;
      const bool plain = plain_members(doc, want);
      VectorRun run;
      run.add("before", std::vector<float>{1.0f});
      const bool read = read_snapshot_members(stretch, first, last, run);
      ASSERT_EQ(read, plain) << doc;
      Puts got = puts_of(run);
      ASSERT_EQ(got.front().first, "before") << doc;  // what the run held stays
      got.erase(got.begin());
      if (!read) {
        ASSERT_TRUE(got.empty()) << doc;
        all_read = false;
        continue;
      }
      ASSERT_EQ(got, want) << doc;
      all.insert(all.end(), want.begin(), want.end());
    }
    if (all_read) {
      Puts whole;
      ASSERT_TRUE(plain_members(text, whole)) << text;
      ASSERT_EQ(all, whole) << text;
    }
  }
}

TEST(EmbeddingText, LogFramesReadAsTheReaderReadsThem) {
  TextMaker make;
  for (int round = 0; round < 20000; ++round) {
    const std::string id = make.key(make.id()), v = make.vector(3);
    std::string text;
    switch (make.rng() % 8) {
      case 0: text = "{\"v\":" + v + ",\"id\":" + id + "}"; break;
      case 1: text = "{\"id\":" + id + ",\"x\":[1,{}],\"v\":" + v + "}"; break;
      case 2: text = "[" + id + "," + v + "]"; break;
      case 3: text = "{\"id\":" + id + "} "; break;
      case 4: text = "{\"id\":" + id + ",\"v\":" + v + ",\"id\":" + id + "}"; break;
      case 5: text = " {\"id\" : " + id + ", \"v\":" + v + "}\t"; break;
      default: text = "{\"id\":" + id + ",\"v\":" + v + "}"; break;
    }
    if (make.one_in(10)) text += make.one_in(2) ? "x" : " ";
    make.damage(text);

    JsonReader reader(text);
    Frame frame;
    const bool plain = JsonCodec<Frame>::read(reader, frame) && reader.end();
    VectorRun run;
    const bool read = read_log_frame(text, run);
    ASSERT_EQ(read, plain) << text;
    if (!plain) {
      ASSERT_EQ(run.size(), 0u) << text;
      continue;
    }
    ASSERT_EQ(puts_of(run), (Puts{{frame.id, bits_of(frame.v)}})) << text;
  }
}

TEST(EmbeddingText, SnapshotMembersAreWhatJsonWriterWrites) {
  std::mt19937 rng(29);
  std::normal_distribution<float> normal(0.0f, 0.05f);
  const std::vector<float> odd = {0.0f, -0.0f, 1.0f, 1e13f, 1e-7f, FLT_MAX, -FLT_TRUE_MIN, 16777216.0f};
  EmbeddingMatrix m;
  const char* const ids[] = {"plain", "q\"uote", "back\\slash", "ctl\x01", "caf\xc3\xa9"};
  for (int r = 0; r < 37; ++r) {
    std::vector<float> v(9);
    for (float& x : v) x = rng() % 5 == 0 ? odd[rng() % odd.size()] : normal(rng);
    m.set(std::string(ids[r % 5]) + std::to_string(r), v);
  }
  for (int round = 0; round < 200; ++round) {
    const size_t begin = rng() % m.rows(), end = begin + rng() % (m.rows() - begin + 1);
    std::optional<std::string_view> skip;
    if (rng() % 2) skip = m.id(rng() % m.rows());
    std::string want;
    JsonWriter w(want);
    w.begin_object();
    for (size_t r = begin; r < end; ++r) {
      if (skip && m.id(r) == *skip) continue;
      w.key(m.id(r));
      w.begin_array();
      for (float x : m.row(r)) w.f32(x);
      w.end_array();
    }
    w.end_object();
    std::string got = "{";
    append_snapshot_members(m, begin, end, skip, got);
    ASSERT_EQ(got + "}", want);
  }
}

}  // namespace
}  // namespace vesk
