#include "binding/convert.h"

#include <cstring>

namespace vesk::py {
namespace {

// numpy's boolean scalar: class "bool_" (numpy 1) or "bool" (numpy 2) of the
// module "numpy".
bool is_numpy_bool(PyTypeObject* type) {
  const char* name = type->tp_name;
  if (const char* dot = std::strrchr(name, '.')) name = dot + 1;
  if (std::strcmp(name, "bool_") != 0 && std::strcmp(name, "bool") != 0) return false;
  PyRef module = PyRef::steal(PyObject_GetAttrString(reinterpret_cast<PyObject*>(type), "__module__"));
  if (!module) {
    PyErr_Clear();
    return false;
  }
  return PyUnicode_Check(module.get()) && PyUnicode_CompareWithASCIIString(module.get(), "numpy") == 0;
}

}  // namespace

bool FromPy<std::string>::convert(PyObject* o, std::string& out) {
  if (!PyUnicode_Check(o)) return conversion_error(o, "str");
  Py_ssize_t size;
  const char* utf8 = PyUnicode_AsUTF8AndSize(o, &size);
  if (!utf8) return false;
  out.assign(utf8, static_cast<size_t>(size));
  return true;
}

bool FromPy<bool>::convert(PyObject* o, bool& out) {
  if (PyBool_Check(o)) {
    out = o == Py_True;
    return true;
  }
  PyTypeObject* type = Py_TYPE(o);
  if (!is_numpy_bool(type)) return conversion_error(o, "bool");
  if (!type->tp_as_number || !type->tp_as_number->nb_bool) {
    PyErr_Format(PyExc_TypeError, "object of type '%s' does not define a '__bool__' conversion", type->tp_name);
    return false;
  }
  int truth = type->tp_as_number->nb_bool(o);
  if (truth < 0) return false;
  out = truth != 0;
  return true;
}

bool FromPy<double>::convert(PyObject* o, double& out) {
  if (PyFloat_CheckExact(o)) {
    out = PyFloat_AS_DOUBLE(o);
    return true;
  }
  double d = PyFloat_AsDouble(o);
  if (d == -1.0 && PyErr_Occurred()) return false;
  out = d;
  return true;
}

bool integer_out_of_range() {
  PyErr_SetString(PyExc_OverflowError, "out of range integral type conversion attempted");
  return false;
}

bool convert_int64(PyObject* o, int64_t& out) {
  long long v = PyLong_AsLongLong(o);
  if (v == -1 && PyErr_Occurred()) {
    if (PyErr_ExceptionMatches(PyExc_OverflowError)) {
      PyErr_Clear();
      return integer_out_of_range();
    }
    return false;
  }
  out = v;
  return true;
}

bool convert_uint64(PyObject* o, uint64_t& out) {
  PyRef index = PyRef::steal(PyNumber_Index(o));
  if (!index) return false;
  unsigned long long v = PyLong_AsUnsignedLongLong(index.get());
  if (v == static_cast<unsigned long long>(-1) && PyErr_Occurred()) {
    if (!PyErr_ExceptionMatches(PyExc_OverflowError)) return false;
    PyErr_Clear();
    PyRef zero = PyRef::steal(PyLong_FromLong(0));
    if (!zero) return false;
    int negative = PyObject_RichCompareBool(index.get(), zero.get(), Py_LT);
    if (negative < 0) return false;
    if (negative) {
      PyErr_SetString(PyExc_OverflowError, "can't convert negative int to unsigned");
      return false;
    }
    return integer_out_of_range();
  }
  out = v;
  return true;
}

bool str_is_not_a_list() {
  PyErr_SetString(PyExc_TypeError, "a str cannot be taken as a list; pass a list or a tuple");
  return false;
}

bool FromPy<ByteString>::convert(PyObject* o, ByteString& out) {
  if (PyUnicode_Check(o)) return str_is_not_a_list();
  if (PyObject_CheckBuffer(o)) {
    Py_buffer view;
    if (PyObject_GetBuffer(o, &view, PyBUF_SIMPLE) != 0) return false;
    out.data.assign(static_cast<const char*>(view.buf), static_cast<size_t>(view.len));
    PyBuffer_Release(&view);
    return true;
  }
  std::vector<uint8_t> values;
  if (!FromPy<std::vector<uint8_t>>::convert(o, values)) return false;
  out.data.assign(values.begin(), values.end());
  return true;
}

bool FromPy<NamespaceFilter>::convert(PyObject* o, NamespaceFilter& out) {
  auto refuse = [] {
    PyErr_SetString(PyExc_TypeError, "namespace must be a str, list[str], or None");
    return false;
  };
  if (o == Py_None) {
    out.names.reset();
    return true;
  }
  std::vector<std::string> names;
  if (PyUnicode_Check(o)) {
    names.emplace_back();
    if (!FromPy<std::string>::convert(o, names.back())) return false;
  } else {
    if (!PySequence_Check(o)) return refuse();
    Py_ssize_t n = PySequence_Size(o);
    if (n < 0) return false;
    for (Py_ssize_t i = 0; i < n; ++i) {
      PyRef item = PyRef::steal(PySequence_GetItem(o, i));
      if (!item) return false;
      if (!PyUnicode_Check(item.get())) return refuse();
      names.emplace_back();
      if (!FromPy<std::string>::convert(item.get(), names.back())) return false;
    }
  }
  out.names = std::move(names);
  return true;
}

}  // namespace vesk::py
