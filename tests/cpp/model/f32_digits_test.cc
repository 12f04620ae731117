#include "model/f32_digits.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace vesk {
namespace {

// The plain way: std::to_chars's shortest scientific form, taken apart.
std::string reference(float v, int& kk) {
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific);
  std::string digits;
  const char* p = buf;
  if (*p == '-') ++p;
  for (; *p != 'e'; ++p)
    if (*p != '.') digits += *p;
  kk = std::atoi(std::string(p + 1, static_cast<const char*>(r.ptr)).c_str()) + 1;
  return digits;
}

void expect_reference_digits(float v) {
  int kk = 0;
  const std::string want = reference(v, kk);
  const F32Digits got = shortest_f32_digits(v);
  ASSERT_EQ(std::string(got.digits(), static_cast<size_t>(got.n)), want) << v;
  ASSERT_EQ(got.kk, kk) << v;
  ASSERT_EQ(got.negative, std::signbit(v)) << v;
}

float from_bits(uint32_t bits) {
  float f;
  std::memcpy(&f, &bits, sizeof f);
  return f;
}

// Every finite nonzero float was checked once against to_chars; these runs
// keep the edges and a random sample under test.
TEST(ShortestF32Digits, MatchToCharsAtTheEdges) {
  std::vector<float> edges = {FLT_MIN, FLT_MAX, FLT_TRUE_MIN, 1.0f, 0.1f, 0.3f, 1e-5f, 1e13f, 16777216.0f, 9.999999e9f};
  // Both ends of every binade, and the floats around every power of ten.
  for (uint32_t e = 0; e < 255; ++e) {
    for (uint32_t m : {0u, 1u, 2u, 0x3FFFFFu, 0x400000u, 0x7FFFFEu, 0x7FFFFFu}) edges.push_back(from_bits(e << 23 | m));
  }
  for (int p = -45; p <= 38; ++p) {
    const float t = std::strtof(("1e" + std::to_string(p)).c_str(), nullptr);
    edges.push_back(t);
    edges.push_back(std::nextafter(t, 0.0f));
    edges.push_back(std::nextafter(t, FLT_MAX));
  }
  for (float v : edges) {
    if (v == 0 || !std::isfinite(v)) continue;
    expect_reference_digits(v);
    expect_reference_digits(-v);
  }
}

TEST(ShortestF32Digits, MatchToCharsOnRandomFloats) {
  std::mt19937 rng(17);
  std::normal_distribution<float> normal(0.0f, 0.05f);
  for (int i = 0; i < 300000; ++i) {
    const float bits = from_bits(static_cast<uint32_t>(rng()));
    if (bits != 0 && std::isfinite(bits)) expect_reference_digits(bits);
    // Values of the size embeddings hold.
    const float small = normal(rng);
    if (small != 0) expect_reference_digits(small);
  }
}

}  // namespace
}  // namespace vesk
