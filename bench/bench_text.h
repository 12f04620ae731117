// Shared by the benchmarks: a fixed vocabulary of made-up words built from
// syllables, so corpora are deterministic and need no data files.
#pragma once

#include <cstddef>
#include <random>
#include <string>
#include <vector>

inline std::vector<std::string> syllable_vocabulary(size_t words) {
  std::vector<std::string> out;
  const char* syllables[] = {"ka", "lo", "mi", "ten", "ra", "vos", "el", "dun", "pri", "sa", "gor", "ith"};
  std::mt19937_64 g(7);
  for (size_t i = 0; i < words; ++i) {
    std::string w;
    int n = 1 + static_cast<int>(g() % 3);
    for (int j = 0; j < n; ++j) w += syllables[g() % 12];
    out.push_back(w);
  }
  return out;
}
