// PhraseAutomaton: finds every occurrence of a fixed set of byte patterns in
// one pass over a text (Aho-Corasick).
//
// Each pattern carries a mask of marks (what kind of phrase it is); the scan
// reports, at every position where one or more patterns end, the union of
// their marks. The automaton is compiled to a full transition table over
// byte classes: the bytes that occur in some pattern get a class each, every
// other byte shares class 0, which always leads back to the start. A scan is
// then one table lookup per byte, with no failure links to follow, and the
// cost does not grow with the number of patterns.
//
// Built once (the pattern sets are fixed) and shared read-only across
// threads; scanning allocates nothing.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace vesk {

class PhraseAutomaton {
 public:
  struct Pattern {
    std::string_view bytes;  // not empty
    uint8_t marks;
  };

  // At most 65535 states (the sum of the pattern lengths bounds them).
  explicit PhraseAutomaton(std::span<const Pattern> patterns);

  // Calls on_match(end, marks) for every position `end` (one past the last
  // byte) at which at least one pattern ends, in text order; `marks` is the
  // union of the marks of the patterns ending there. Stops early when
  // on_match returns false.
  template <class OnMatch>
  void scan(std::string_view text, OnMatch&& on_match) const {
    uint32_t state = 0;
    for (size_t i = 0; i < text.size(); ++i) {
      state = next_[state * classes_ + byte_class_[static_cast<unsigned char>(text[i])]];
      if (uint8_t m = marks_[state]; m != 0 && !on_match(i + 1, m)) return;
    }
  }

  size_t state_count() const { return marks_.size(); }

 private:
  std::array<uint8_t, 256> byte_class_{};
  uint32_t classes_ = 1;
  std::vector<uint16_t> next_;  // [state * classes_ + class] -> state
  std::vector<uint8_t> marks_;  // per state, including the marks of its suffixes
};

}  // namespace vesk
