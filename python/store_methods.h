// Method-table rows of the store road and the record reads: store, get,
// count. Their bodies are in store_methods.cc.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

namespace vesk::py {

PyMethodDef store_method();
PyMethodDef get_method();
PyMethodDef count_method();

}  // namespace vesk::py
