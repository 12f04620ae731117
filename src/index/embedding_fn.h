// The embedding function: the caller's text-to-vector callable, and the slot
// the main object keeps it in.
//
// The core calls the function through a plain C++ callable and never sees
// what is behind it. The Python binding wraps the application's Python object
// in one: its call takes the interpreter lock for the duration of the Python
// call only, converts the returned sequence and answers none when the call
// raises or returns anything else than a sequence of numbers (the Python error
// is discarded). The handle is a shared_ptr whose deleter the binding supplies:
// it takes the interpreter lock before it drops the reference to the Python
// object, so the last holder may let go on any thread.
//
// Locking: the slot's lock is held only to swap or copy the handle. embed_text
// copies the handle and releases the lock before calling, so the slot can be
// replaced or cleared during a call (the running call keeps its own handle),
// and a replaced handle is released after the lock is dropped, never waiting
// for the interpreter lock while holding the slot's.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <shared_mutex>
#include <string_view>
#include <vector>

namespace vesk {

// Text to vector, or none when the function declines or fails.
using EmbeddingFn = std::function<std::optional<std::vector<float>>(std::string_view text)>;
using EmbeddingFnHandle = std::shared_ptr<const EmbeddingFn>;

class EmbeddingFnSlot {
 public:
  // Fills the slot (replacing any previous function); a null handle empties it.
  void set(EmbeddingFnHandle fn);
  void clear() { set(nullptr); }
  // The current handle, or null.
  EmbeddingFnHandle get() const;

 private:
  mutable std::shared_mutex mu_;
  EmbeddingFnHandle fn_;
};

// The vector of a text from the slot's function; none when the slot is empty
// or the function gives none. The vector is not checked: the embedding store
// refuses an empty or non-finite one when it is put.
std::optional<std::vector<float>> embed_text(const EmbeddingFnSlot& slot, std::string_view text);

}  // namespace vesk
