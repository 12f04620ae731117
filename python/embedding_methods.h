// Method-table rows of the embedding function and the stored embeddings:
// set_embedding_fn, clear_embedding_fn, store_embedding, has_embeddings.
// Their bodies are in embedding_methods.cc.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include "index/embedding_fn.h"

namespace vesk::py {

// Wraps a Python object as the store's embedding function. A call takes the
// interpreter lock for the Python call only and gives none when the object
// raises or answers anything but a sequence of numbers (a str included); the
// error is dropped silently. The object is released by the last holder, on
// any thread, without waiting for the interpreter lock.
EmbeddingFnHandle make_embedding_fn(PyObject* func);

PyMethodDef set_embedding_fn_method();
PyMethodDef clear_embedding_fn_method();
PyMethodDef store_embedding_method();
PyMethodDef has_embeddings_method();

}  // namespace vesk::py
