// The class Vesk: a Python object that owns one open store.
//
// Method bodies of the store's families take `Vesk& self`; the store object
// is shared by every call (several threads may be inside it at once, each
// part of it guarded by its own lock), so no body borrows it exclusively.
// Each family adds its rows to the method table in vesk_object.cc.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <memory>

#include "binding/call.h"
#include "binding/classes.h"
#include "store/vesk.h"

namespace vesk::py {

struct VeskObject {
  PyObject_HEAD
  std::unique_ptr<Vesk> store;
};

ClassObject& vesk_class();

template <>
struct PyClass<Vesk> {
  static Vesk* unwrap(PyObject* self);
};

template <>
struct NewInstance<Result<std::unique_ptr<Vesk>>> {
  static PyObject* make(PyTypeObject* type, Result<std::unique_ptr<Vesk>>&& opened);
};

}  // namespace vesk::py
