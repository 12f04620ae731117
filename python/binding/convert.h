// Conversions between Python objects and the core's C++ values.
//
// Arguments: FromPy<T>::convert(obj, out) fills `out` from a Python object
// or sets a Python exception and returns false. The call path prefixes a
// TypeError of a conversion with "argument '{name}': " unless the converter
// declares `static constexpr bool kPrefixed = false`; other exception classes
// (OverflowError of an out-of-range integer) pass unchanged.
//
// Results: ToPy<T>::convert(value) returns a new reference, or null with an
// exception set. Classes of the module plug in by specialising both
// templates for their native type.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <concepts>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "binding/errors.h"
#include "binding/py_ref.h"
#include "base/compact_string.h"
#include "base/status.h"

namespace vesk::py {

template <class T>
struct FromPy;
template <class T>
struct ToPy;

// ---- Arguments -----------------------------------------------------------

// Text: a str (or subclass), read as UTF-8.
template <>
struct FromPy<std::string> {
  static bool convert(PyObject* o, std::string& out);
};
template <>
struct FromPy<CompactString> {
  static bool convert(PyObject* o, CompactString& out) {
    std::string s;
    if (!FromPy<std::string>::convert(o, s)) return false;
    out = s;
    return true;
  }
};

// Flag: a bool, or a numpy boolean through its truth slot.
template <>
struct FromPy<bool> {
  static bool convert(PyObject* o, bool& out);
};

// Real number: a float, or whatever the host's float conversion accepts.
template <>
struct FromPy<double> {
  static bool convert(PyObject* o, double& out);
};

// A real number kept in 32 bits: converted as a double, then narrowed.
template <>
struct FromPy<float> {
  static bool convert(PyObject* o, float& out) {
    double d;
    if (!FromPy<double>::convert(o, d)) return false;
    out = static_cast<float>(d);
    return true;
  }
};

// Whole numbers through the host's integer conversion (`__index__`).
bool convert_int64(PyObject* o, int64_t& out);
bool convert_uint64(PyObject* o, uint64_t& out);
// OverflowError for a value outside the target type.
bool integer_out_of_range();

template <class T>
  requires std::integral<T> && (!std::same_as<T, bool>)
struct FromPy<T> {
  static bool convert(PyObject* o, T& out) {
    if constexpr (std::is_signed_v<T>) {
      int64_t v;
      if (!convert_int64(o, v)) return false;
      if (v < std::numeric_limits<T>::min() || v > std::numeric_limits<T>::max()) return integer_out_of_range();
      out = static_cast<T>(v);
    } else if constexpr (sizeof(T) < sizeof(uint64_t)) {
      // Narrow unsigned widths read a signed 64-bit value and check the range,
      // so -1 is out of range like 2**32 rather than a "negative" error.
      int64_t v;
      if (!convert_int64(o, v)) return false;
      if (v < 0 || static_cast<uint64_t>(v) > std::numeric_limits<T>::max()) return integer_out_of_range();
      out = static_cast<T>(v);
    } else {
      uint64_t v;
      if (!convert_uint64(o, v)) return false;
      out = static_cast<T>(v);
    }
    return true;
  }
};

// None means "not given"; anything else converts as T.
template <class T>
struct FromPy<std::optional<T>> {
  static bool convert(PyObject* o, std::optional<T>& out) {
    if (o == Py_None) {
      out.reset();
      return true;
    }
    T value{};
    if (!FromPy<T>::convert(o, value)) return false;
    out = std::move(value);
    return true;
  }
};

// A str offered where a list is expected.
bool str_is_not_a_list();

// List: any sequence except a str; each item converts as T.
template <class T>
struct FromPy<std::vector<T>> {
  static bool convert(PyObject* o, std::vector<T>& out) {
    if (PyUnicode_Check(o)) return str_is_not_a_list();
    if (!PySequence_Check(o)) return conversion_error(o, "Sequence");
    Py_ssize_t n = PySequence_Size(o);
    if (n < 0) return false;
    out.clear();
    out.reserve(static_cast<size_t>(n));
    for (Py_ssize_t i = 0; i < n; ++i) {
      PyRef item = PyRef::steal(PySequence_GetItem(o, i));
      if (!item) return false;
      T value{};
      if (!FromPy<T>::convert(item.get(), value)) return false;
      out.push_back(std::move(value));
    }
    return true;
  }
};

template <class M>
concept MapLike = requires(const M& m) {
  typename M::key_type;
  typename M::mapped_type;
  m.begin();
  m.end();
};

// Map (metadata and the like): a dict whose keys and values convert.
template <MapLike M>
struct FromPy<M> {
  static bool convert(PyObject* o, M& out) {
    if (!PyDict_Check(o)) return conversion_error(o, "dict");
    out.clear();
    Py_ssize_t pos = 0;
    PyObject *k, *v;
    while (PyDict_Next(o, &pos, &k, &v)) {
      // Strong references: a value's conversion may run Python code.
      PyRef key_ref = PyRef::borrow(k), value_ref = PyRef::borrow(v);
      typename M::key_type key{};
      typename M::mapped_type value{};
      if (!FromPy<typename M::key_type>::convert(key_ref.get(), key)) return false;
      if (!FromPy<typename M::mapped_type>::convert(value_ref.get(), value)) return false;
      out.insert_or_assign(std::move(key), std::move(value));
    }
    return true;
  }
};

template <class S>
concept SetLike = requires(const S& s) {
  typename S::key_type;
  s.begin();
  s.end();
} && !MapLike<S> && requires(S& s, typename S::key_type k) { s.insert(std::move(k)); };

// Set of texts (tag sets and the like): a set or frozenset, or a subclass;
// each member converts. A list or tuple is refused: sets collapse duplicates
// and have no order, so a caller passing a list has made a mistake.
template <SetLike S>
struct FromPy<S> {
  static bool convert(PyObject* o, S& out) {
    if (!PyAnySet_Check(o)) return conversion_error(o, "set");
    PyRef iter = PyRef::steal(PyObject_GetIter(o));
    if (!iter) return false;
    S values;
    while (PyRef item = PyRef::steal(PyIter_Next(iter.get()))) {
      typename S::key_type value{};
      if (!FromPy<typename S::key_type>::convert(item.get(), value)) return false;
      values.insert(std::move(value));
    }
    if (PyErr_Occurred()) return false;
    out = std::move(values);
    return true;
  }
};

// Bytes: a bytes-like object (bytes, bytearray, memoryview...), copied in
// one piece, or any other sequence of integers 0..255; a str is refused.
struct ByteString {
  std::string data;
};

template <>
struct FromPy<ByteString> {
  static bool convert(PyObject* o, ByteString& out);
};

// The namespace argument of the recall-like methods: None (every namespace
// the operation defaults to), one str, or a sequence of str.
struct NamespaceFilter {
  std::optional<std::vector<std::string>> names;
};

template <>
struct FromPy<NamespaceFilter> {
  static constexpr bool kPrefixed = false;
  static bool convert(PyObject* o, NamespaceFilter& out);
};

// The object itself, borrowed, unconverted (null when not given).
template <>
struct FromPy<PyObject*> {
  static bool convert(PyObject* o, PyObject*& out) {
    out = o;
    return true;
  }
};

template <class T>
constexpr bool prefixes_type_errors() {
  if constexpr (requires { FromPy<T>::kPrefixed; }) {
    return FromPy<T>::kPrefixed;
  } else {
    return true;
  }
}

// ---- Results ---------------------------------------------------------------

template <class T>
PyObject* to_py(const T& value) {
  return ToPy<T>::convert(value);
}

// A new reference made by the body itself (null: the body set an exception).
template <>
struct ToPy<PyObject*> {
  static PyObject* convert(PyObject* o) { return o; }
};

template <>
struct ToPy<bool> {
  static PyObject* convert(bool b) { return Py_NewRef(b ? Py_True : Py_False); }
};

template <class T>
  requires std::integral<T> && (!std::same_as<T, bool>)
struct ToPy<T> {
  static PyObject* convert(T v) {
    if constexpr (std::is_signed_v<T>) {
      return PyLong_FromLongLong(static_cast<long long>(v));
    } else {
      return PyLong_FromUnsignedLongLong(static_cast<unsigned long long>(v));
    }
  }
};

// 32-bit values are widened exactly (0.9f reads 0.8999999761581421).
template <class T>
  requires std::floating_point<T>
struct ToPy<T> {
  static PyObject* convert(T v) { return PyFloat_FromDouble(static_cast<double>(v)); }
};

template <>
struct ToPy<std::string_view> {
  static PyObject* convert(std::string_view s) {
    return PyUnicode_DecodeUTF8(s.data(), static_cast<Py_ssize_t>(s.size()), nullptr);
  }
};
template <>
struct ToPy<std::string> {
  static PyObject* convert(const std::string& s) { return ToPy<std::string_view>::convert(s); }
};
template <>
struct ToPy<CompactString> {
  static PyObject* convert(const CompactString& s) { return ToPy<std::string_view>::convert(s.view()); }
};
template <>
struct ToPy<const char*> {
  static PyObject* convert(const char* s) { return ToPy<std::string_view>::convert(s); }
};

template <class T>
struct ToPy<std::optional<T>> {
  static PyObject* convert(const std::optional<T>& v) { return v ? to_py(*v) : Py_NewRef(Py_None); }
};

// A list of exactly the vector's length, items in order.
template <class T>
struct ToPy<std::vector<T>> {
  static PyObject* convert(const std::vector<T>& items) {
    PyRef list = PyRef::steal(PyList_New(static_cast<Py_ssize_t>(items.size())));
    if (!list) return nullptr;
    Py_ssize_t i = 0;
    for (const auto& item : items) {
      PyObject* o = to_py(static_cast<const T&>(item));
      if (!o) return nullptr;
      PyList_SET_ITEM(list.get(), i++, o);
    }
    return list.release();
  }
};

// A dict in the map's iteration order.
template <MapLike M>
struct ToPy<M> {
  static PyObject* convert(const M& map) {
    PyRef dict = PyRef::steal(PyDict_New());
    if (!dict) return nullptr;
    for (const auto& [k, v] : map) {
      PyRef key = PyRef::steal(to_py(k));
      if (!key) return nullptr;
      PyRef value = PyRef::steal(to_py(v));
      if (!value || PyDict_SetItem(dict.get(), key.get(), value.get()) < 0) return nullptr;
    }
    return dict.release();
  }
};

// A new set with the members (its order carries no meaning).
template <SetLike S>
struct ToPy<S> {
  static PyObject* convert(const S& values) {
    PyRef set = PyRef::steal(PySet_New(nullptr));
    if (!set) return nullptr;
    for (const auto& v : values) {
      PyRef item = PyRef::steal(to_py(v));
      if (!item || PySet_Add(set.get(), item.get()) < 0) return nullptr;
    }
    return set.release();
  }
};

// A tuple of the two values.
template <class A, class B>
struct ToPy<std::pair<A, B>> {
  static PyObject* convert(const std::pair<A, B>& p) {
    PyRef first = PyRef::steal(to_py(p.first));
    if (!first) return nullptr;
    PyRef second = PyRef::steal(to_py(p.second));
    if (!second) return nullptr;
    return PyTuple_Pack(2, first.get(), second.get());
  }
};

// A failed status raises its exception; success is None.
template <>
struct ToPy<Status> {
  static PyObject* convert(const Status& s) { return s.ok() ? Py_NewRef(Py_None) : raise(s); }
};

template <class T>
struct ToPy<Result<T>> {
  static PyObject* convert(const Result<T>& r) { return r.ok() ? to_py(r.value()) : raise(r.status()); }
};

}  // namespace vesk::py
