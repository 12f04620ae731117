// The embedding function and the stored embeddings.
//
// The Python object is wrapped as the store's embedding function: a call
// takes the interpreter lock for the Python call only and gives none when the
// object raises or answers anything but a sequence of numbers (a str
// included); the error is dropped silently. The object is released by the
// last holder, on any thread, without waiting for the interpreter lock.
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "binding/gil.h"
#include "binding/py_ref.h"
#include "vesk_object.h"

namespace vesk::py {
namespace {

// The Python side of one call, lock held. An exception that was already
// pending on this thread is kept as it was; the callable's own is dropped.
std::optional<std::vector<float>> call_embedding_fn(PyObject* func, std::string_view text) {
  PyObject* pending = PyErr_GetRaisedException();
  std::optional<std::vector<float>> vector;
  PyRef arg = PyRef::steal(PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size())));
  PyRef result = arg ? PyRef::steal(PyObject_CallOneArg(func, arg.get())) : PyRef();
  std::vector<float> converted;
  if (result && FromPy<std::vector<float>>::convert(result.get(), converted)) vector = std::move(converted);
  PyErr_Clear();
  PyErr_SetRaisedException(pending);
  return vector;
}

EmbeddingFnHandle make_embedding_fn(PyObject* func) {
  SharedPyObject shared = share(func);
  return std::make_shared<const EmbeddingFn>([shared](std::string_view text) {
    WithGil gil;
    return call_embedding_fn(shared.get(), text);
  });
}

// Any object is taken; one that cannot be called simply yields no vector.
void set_embedding_fn(Vesk& self, PyObject* func) { self.set_embedding_fn(make_embedding_fn(func)); }
constexpr Method kSetEmbeddingFn{"Vesk",
                                 "set_embedding_fn($self, func)\n--\n\n"
                                 "Set a Python callable as the embedding function.\n"
                                 "The function receives a string and returns a list of floats.\n"
                                 "When set, embeddings are computed on store and used as a 4th RRF signal.\n\n"
                                 "Example:\n"
                                 "  brain.set_embedding_fn(lambda text: model.encode(text).tolist())",
                                 set_embedding_fn};

// Stored vectors stay.
void clear_embedding_fn(Vesk& self) { self.set_embedding_fn(nullptr); }
constexpr Method kClearEmbeddingFn{"Vesk", "clear_embedding_fn($self)\n--\n\nClear the embedding function.",
                                   clear_embedding_fn};

Status store_embedding(Vesk& self, std::string record_id, std::vector<float> embedding) {
  return self.store_embedding(record_id, embedding);
}
constexpr Method kStoreEmbedding{"Vesk",
                                 "store_embedding($self, record_id, embedding)\n--\n\n"
                                 "Store an embedding vector for a specific record.",
                                 store_embedding};

// Whether any vector is stored, whatever the embedding function.
bool has_embeddings(Vesk& self) { return self.has_embeddings(); }
constexpr Method kHasEmbeddings{"Vesk", "has_embeddings($self)\n--\n\nCheck if embedding support is active.",
                                has_embeddings};

}  // namespace

MethodRows embedding_methods() {
  return {bind<kSetEmbeddingFn>(), bind<kClearEmbeddingFn>(), bind<kStoreEmbedding>(), bind<kHasEmbeddings>()};
}

}  // namespace vesk::py
