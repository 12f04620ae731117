#include "index/term_table.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <vector>

namespace vesk {
namespace {

// Inserts and erases under few distinct hashes (long probe runs, wrapping
// past the table's end, shifts on every erase) must keep every lookup equal
// to a plain map's.
TEST(TermTable, MatchesAPlainMapThroughChurn) {
  // A few hashes under many salts: some of the long runs start near the
  // table's end and wrap.
  for (uint32_t run = 0; run < 48; ++run) {
    const uint32_t hashes = run < 16 ? 1u : run < 32 ? 3u : 1000u;
    const uint32_t salt = run * 0x9e3779b9u + 1;
    TermTable table;
    std::vector<std::string> text;  // by term number
    std::map<std::string, uint32_t> model;
    std::mt19937 rng(run);
    auto hash = [&](const std::string& s) { return static_cast<uint32_t>(std::hash<std::string>{}(s) % hashes + 1) * salt; };
    auto text_of = [&](uint32_t t) -> std::string_view { return text[t]; };
    for (int step = 0; step < 4000; ++step) {
      const std::string term = "t" + std::to_string(rng() % 300);
      const uint32_t found = table.find(hash(term), term, text_of);
      auto it = model.find(term);
      ASSERT_EQ(found, it == model.end() ? TermTable::kNone : it->second) << term << " step " << step;
      if (it == model.end()) {
        const uint32_t t = static_cast<uint32_t>(text.size());
        text.push_back(term);
        table.insert(hash(term), t);
        model.emplace(term, t);
      } else if (rng() % 2) {
        table.erase(hash(term), it->second);
        model.erase(it);
      }
      ASSERT_EQ(table.size(), model.size());
    }
    for (const auto& [term, t] : model) EXPECT_EQ(table.find(hash(term), term, text_of), t) << term;
  }
}

}  // namespace
}  // namespace vesk
