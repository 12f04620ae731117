#include "write/phrase_automaton.h"

#include <stdexcept>

namespace vesk {

PhraseAutomaton::PhraseAutomaton(std::span<const Pattern> patterns) {
  for (const Pattern& p : patterns) {
    for (char c : p.bytes) {
      uint8_t& cls = byte_class_[static_cast<unsigned char>(c)];
      if (cls == 0) {
        if (classes_ == 256) throw std::length_error("phrase automaton: too many byte classes");
        cls = static_cast<uint8_t>(classes_++);
      }
    }
  }

  // The trie, with 0 meaning "no edge" (the start state is never a target).
  std::vector<uint32_t> trie(classes_, 0);
  marks_.assign(1, 0);
  for (const Pattern& p : patterns) {
    uint32_t state = 0;
    for (char c : p.bytes) {
      size_t edge = state * classes_ + byte_class_[static_cast<unsigned char>(c)];
      if (trie[edge] == 0) {
        if (marks_.size() > UINT16_MAX) throw std::length_error("phrase automaton: too many states");
        trie[edge] = static_cast<uint32_t>(marks_.size());
        marks_.push_back(0);
        trie.resize(trie.size() + classes_, 0);
      }
      state = trie[edge];
    }
    marks_[state] |= p.marks;
  }

  // Breadth-first over the trie: a state's missing edges are those of its
  // failure state (the longest proper suffix that is also a trie state),
  // which is complete already because it is shallower. A state inherits the
  // marks of its failure state, so every pattern ending at a position is
  // reported there.
  const size_t states = marks_.size();
  next_.assign(states * classes_, 0);
  std::vector<uint32_t> fail(states, 0), queue;
  queue.reserve(states);
  for (uint32_t c = 1; c < classes_; ++c) {
    if (uint32_t child = trie[c]) {
      next_[c] = static_cast<uint16_t>(child);
      queue.push_back(child);
    }
  }
  for (size_t head = 0; head < queue.size(); ++head) {
    uint32_t state = queue[head];
    marks_[state] |= marks_[fail[state]];
    for (uint32_t c = 1; c < classes_; ++c) {
      uint32_t via_fail = next_[fail[state] * classes_ + c];
      if (uint32_t child = trie[state * classes_ + c]) {
        fail[child] = via_fail;
        next_[state * classes_ + c] = static_cast<uint16_t>(child);
        queue.push_back(child);
      } else {
        next_[state * classes_ + c] = static_cast<uint16_t>(via_fail);
      }
    }
  }
}

}  // namespace vesk
