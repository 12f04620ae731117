// Dict results with fixed keys: a DictBuilder inserts the keys in the order
// they are added (the order callers see, since dicts keep insertion order),
// each value converted by the converter of its field kind (binding/convert.h:
// 32-bit floats widened exactly, optionals as the value or None, texts as
// str, lists and maps as new lists and dicts).
//
// The first failure of the interpreter stops the builder: later additions do
// nothing, and finish() releases what was built and returns null with that
// error set. A list of dicts is built with dict_list, one complete dict
// appended after another.
//
//   return DictBuilder().add("id", b.id).add("score", b.score).finish();
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <array>
#include <cstddef>
#include <span>
#include <string_view>

#include "binding/convert.h"
#include "binding/py_ref.h"

namespace vesk::py {

class DictBuilder {
 public:
  DictBuilder() : dict_(PyRef::steal(PyDict_New())) {}

  // key -> the value converted by its field kind.
  template <class T>
  DictBuilder& add(const char* key, const T& value) {
    return add_with(key, [&] { return to_py(value); });
  }
  // key -> make(), a new reference or null with the error set; make is not
  // called after a failure.
  template <class F>
  DictBuilder& add_with(const char* key, F&& make) {
    if (!dict_) return *this;
    PyRef v = PyRef::steal(make());
    if (!v || PyDict_SetItemString(dict_.get(), key, v.get()) < 0) dict_ = PyRef();
    return *this;
  }
  // The dict, or null with the first failure's error set.
  PyObject* finish() { return dict_.release(); }

 private:
  PyRef dict_;  // null once something failed
};

// The text of an enumeration value from its fixed table, indexed by the
// value; a value past the table (never written by the core) reads "".
template <size_t N, class E>
constexpr std::string_view enum_text(const std::array<std::string_view, N>& table, E value) {
  size_t i = static_cast<size_t>(value);
  return i < N ? table[i] : std::string_view();
}

// A new list of make(item) for the items in order; make returns a new
// reference or null with the error set, which ends the list.
template <class T, class F>
PyObject* dict_list(std::span<const T> items, F&& make) {
  PyRef list = PyRef::steal(PyList_New(0));
  if (!list) return nullptr;
  for (const T& item : items) {
    PyRef o = PyRef::steal(make(item));
    if (!o || PyList_Append(list.get(), o.get()) < 0) return nullptr;
  }
  return list.release();
}

}  // namespace vesk::py
