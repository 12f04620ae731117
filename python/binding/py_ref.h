// PyRef: an owned (strong) reference to a Python object, dropped on scope
// exit. Use it only while the interpreter lock is held.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <utility>

namespace vesk::py {

class PyRef {
 public:
  PyRef() = default;
  // Takes over a new reference (may be null).
  static PyRef steal(PyObject* o) { return PyRef(o); }
  // Adds a reference to a borrowed object.
  static PyRef borrow(PyObject* o) { return PyRef(Py_XNewRef(o)); }

  PyRef(PyRef&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  PyRef& operator=(PyRef&& other) noexcept {
    if (this != &other) {
      Py_XDECREF(p_);
      p_ = std::exchange(other.p_, nullptr);
    }
    return *this;
  }
  PyRef(const PyRef&) = delete;
  PyRef& operator=(const PyRef&) = delete;
  ~PyRef() { Py_XDECREF(p_); }

  PyObject* get() const { return p_; }
  // Hands the reference to the caller.
  PyObject* release() { return std::exchange(p_, nullptr); }
  explicit operator bool() const { return p_ != nullptr; }

 private:
  explicit PyRef(PyObject* o) : p_(o) {}
  PyObject* p_ = nullptr;
};

}  // namespace vesk::py
