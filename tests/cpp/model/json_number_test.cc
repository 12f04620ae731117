#include "model/json_number.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "model/json_reader.h"

namespace vesk {
namespace {

// scan_json_f32 must take only what the reader takes, and give the same float
// and the same end. It may leave a text to the reader, but never one written
// the writer's way.
void expect_scan_matches_reader(const std::string& text, bool must_take) {
  float fast = 0;
  const char* end = scan_json_f32(text.data(), text.data() + text.size(), fast);
  JsonReader reader(text);
  float slow = 0;
  const bool read = reader.read_f32(slow);
  if (must_take) {
    ASSERT_NE(end, nullptr) << text;
  }
  if (!end) return;
  ASSERT_TRUE(read) << text << ": " << reader.status().message();
  EXPECT_EQ(static_cast<size_t>(end - text.data()), reader.offset()) << text;
  uint32_t a, b;
  std::memcpy(&a, &fast, 4);
  std::memcpy(&b, &slow, 4);
  EXPECT_EQ(a, b) << text;
}

TEST(ScanJsonF32, TakesWhatTheReaderTakesWithTheSameFloat) {
  const struct {
    const char* text;
    bool taken;
  } cases[] = {
      {"0", true},          {"-0", true},          {"0.0", true},         {"-0.0", true},
      {"1", true},          {"-17", true},         {"0.1", true},         {"-0.25]", true},
      {"1e20", true},       {"1E+2", true},        {"2.5e-3,", true},     {"3.4028235e38", true},
      {"1e-45", true},      {"0.000001", true},    {"16777217", true},    {"9007199254740993.0", true},
      {"1234567890123456789", true},               {"-9223372036854775808", true},
      {"-9223372036854775809", true},              {"0.12345678901234567890123", true},
      {"1e39", false},      {"-3.5e38", false},    {"01", false},         {"1.", false},
      {".5", false},        {"-", false},          {"1e", false},         {"1e+", false},
      {"+1", false},        {"x", false},          {"", false},           {"1e00001", false},
      {"12345678901234567890", false},             {"1e-400", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    float f;
    const std::string text = c.text;
    const char* end = scan_json_f32(text.data(), text.data() + text.size(), f);
    EXPECT_EQ(end != nullptr, c.taken);
    expect_scan_matches_reader(text, false);
  }
}

TEST(ScanJsonF32, AgreesWithTheReaderOnRandomTexts) {
  std::mt19937_64 rng(11);
  auto digits = [&](int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += static_cast<char>('0' + rng() % 10);
    return s;
  };
  char buf[64];
  for (int i = 0; i < 200000; ++i) {
    // The writer's form of a random float: always taken.
    const uint32_t bits = static_cast<uint32_t>(rng());
    float f;
    std::memcpy(&f, &bits, 4);
    if (std::isfinite(f)) {
      std::string w;
      append_json_f32(w, f);
      expect_scan_matches_reader(w, true);
      // The same value with more digits, as another writer might put it.
      std::snprintf(buf, sizeof buf, "%.*g", static_cast<int>(rng() % 17) + 1, static_cast<double>(f));
      expect_scan_matches_reader(buf, false);
    }
    // A number-like text from the grammar's pieces, now and then broken.
    std::string t;
    if (rng() % 2) t += '-';
    t += rng() % 8 == 0 ? "0" : digits(static_cast<int>(rng() % 22));
    if (rng() % 2) {
      t += '.';
      t += digits(static_cast<int>(rng() % 24));
    }
    if (rng() % 3 == 0) {
      t += rng() % 2 ? 'e' : 'E';
      if (rng() % 2) t += rng() % 2 ? '+' : '-';
      t += digits(static_cast<int>(rng() % 6));
    }
    if (rng() % 4 == 0) t += ",]x."[rng() % 4];
    expect_scan_matches_reader(t, false);
  }
}

// The plain writer of a float: to_chars's shortest scientific form, laid
// out by the rules of json_number.h.
std::string plain_f32_text(float v) {
  if (v == 0) return std::signbit(v) ? "-0.0" : "0.0";
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific);
  std::string d, out;
  const char* p = buf;
  if (*p == '-') {
    out += '-';
    ++p;
  }
  for (; *p != 'e'; ++p)
    if (*p != '.') d += *p;
  const int kk = std::atoi(std::string(p + 1, static_cast<const char*>(r.ptr)).c_str()) + 1, n = static_cast<int>(d.size());
  if (kk >= n && kk <= 13) return out + d + std::string(static_cast<size_t>(kk - n), '0') + ".0";
  if (kk > 0 && kk <= 13) return out + d.substr(0, static_cast<size_t>(kk)) + "." + d.substr(static_cast<size_t>(kk));
  if (kk > -5 && kk <= 0) return out + "0." + std::string(static_cast<size_t>(-kk), '0') + d;
  out += d[0];
  if (n > 1) {
    out += '.';
    out += d.substr(1);
  }
  return out + "e" + std::to_string(kk - 1);
}

// The fast writer gives the plain writer's text, within its room.
TEST(WriteJsonF32, GivesThePlainTextWithinItsRoom) {
  std::mt19937 rng(3);
  std::normal_distribution<float> normal(0.0f, 0.05f);
  std::vector<float> values = {0.0f, -0.0f, 1.0f, -1.0f, 0.5f, 1e13f, 1e12f, 9999999e6f, 1e-5f, 1.5e-5f, 1e-6f,
                               FLT_MAX, -FLT_MAX, FLT_MIN, FLT_TRUE_MIN, -FLT_TRUE_MIN, 123456.78f, 16777216.0f};
  for (int i = 0; i < 200000; ++i) {
    const uint32_t bits = static_cast<uint32_t>(rng());
    float f;
    std::memcpy(&f, &bits, 4);
    if (std::isfinite(f)) values.push_back(f);
    values.push_back(normal(rng));
  }
  char room[kJsonF32Room + 8];
  for (float v : values) {
    std::memset(room, '#', sizeof room);
    const char* end = write_json_f32(room, v);
    const std::string text(static_cast<const char*>(room), end);
    ASSERT_EQ(text, plain_f32_text(v)) << v;
    ASSERT_LE(text.size(), kJsonF32MaxChars);
    ASSERT_EQ(std::string(room + kJsonF32Room, 8), "########");
    std::string appended = "x";
    append_json_f32(appended, v);
    ASSERT_EQ(appended.substr(1), text);
  }
}

}  // namespace
}  // namespace vesk
