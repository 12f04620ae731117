#include "index/embedding_fn.h"

#include <mutex>
#include <utility>

namespace vesk {

void EmbeddingFnSlot::set(EmbeddingFnHandle fn) {
  {
    std::unique_lock lock(mu_);
    fn_.swap(fn);
  }
  // `fn` now holds the previous handle; dropping it may take the interpreter
  // lock, which must not happen under the slot's lock.
  fn.reset();
}

EmbeddingFnHandle EmbeddingFnSlot::get() const {
  std::shared_lock lock(mu_);
  return fn_;
}

std::optional<std::vector<float>> embed_text(const EmbeddingFnSlot& slot, std::string_view text) {
  EmbeddingFnHandle fn = slot.get();
  if (!fn || !*fn) return std::nullopt;
  return (*fn)(text);
}

}  // namespace vesk
