#include "binding/call.h"

#include <string>
#include <vector>

#include "binding/py_ref.h"

namespace vesk::py {
namespace {

// "Class.method()" or "function()", as the messages name the callee.
std::string callee(const Signature& sig) {
  std::string name;
  if (!sig.cls.empty()) {
    name += sig.cls;
    name += '.';
  }
  // A constructor is declared by its class docstring, whose name is the class.
  name += sig.name == sig.cls ? std::string_view("__new__") : sig.name;
  name += "()";
  return name;
}

bool type_error(const std::string& message) {
  PyErr_SetString(PyExc_TypeError, message.c_str());
  return false;
}

int find_parameter(const Signature& sig, PyObject* keyword) {
  Py_ssize_t size;
  const char* utf8 = PyUnicode_AsUTF8AndSize(keyword, &size);
  if (!utf8) {  // not encodable, so no parameter of ours
    PyErr_Clear();
    return -1;
  }
  std::string_view name(utf8, static_cast<size_t>(size));
  for (int i = 0; i < sig.count; ++i) {
    if (sig.params[static_cast<size_t>(i)] == name) return i;
  }
  return -1;
}

}  // namespace

bool extract_arguments(const Signature& sig, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames,
                       PyObject** slots) {
  if (nargs > sig.count) {
    std::string m = callee(sig) + " takes ";
    if (sig.required == sig.count) {
      m += std::to_string(sig.count);
    } else {
      m += "from " + std::to_string(sig.required) + " to " + std::to_string(sig.count);
    }
    m += " positional arguments but " + std::to_string(nargs) + (nargs == 1 ? " was" : " were") + " given";
    return type_error(m);
  }
  for (Py_ssize_t i = 0; i < nargs; ++i) slots[i] = args[i];

  Py_ssize_t nkw = kwnames ? PyTuple_GET_SIZE(kwnames) : 0;
  for (Py_ssize_t j = 0; j < nkw; ++j) {
    PyObject* keyword = PyTuple_GET_ITEM(kwnames, j);
    int i = find_parameter(sig, keyword);
    if (i < 0) {
      PyErr_Format(PyExc_TypeError, "%s got an unexpected keyword argument '%U'", callee(sig).c_str(), keyword);
      return false;
    }
    if (slots[i]) {
      PyErr_Format(PyExc_TypeError, "%s got multiple values for argument '%U'", callee(sig).c_str(), keyword);
      return false;
    }
    slots[i] = args[nargs + j];
  }

  std::vector<std::string_view> missing;
  for (int i = 0; i < sig.required; ++i) {
    if (!slots[i]) missing.push_back(sig.params[static_cast<size_t>(i)]);
  }
  if (missing.empty()) return true;
  std::string m = callee(sig) + " missing " + std::to_string(missing.size()) + " required positional argument" +
                  (missing.size() == 1 ? "" : "s") + ": ";
  for (size_t i = 0; i < missing.size(); ++i) {
    if (i > 0) m += missing.size() == 2 ? " and " : (i + 1 == missing.size() ? ", and " : ", ");
    m += "'";
    m += missing[i];
    m += "'";
  }
  return type_error(m);
}

bool extract_arguments(const Signature& sig, PyObject* args, PyObject* kwargs, PyObject** slots) {
  Py_ssize_t nargs = PyTuple_GET_SIZE(args);
  Py_ssize_t nkw = kwargs ? PyDict_GET_SIZE(kwargs) : 0;
  // Borrowed: the tuple and the dict are the caller's and outlive the call.
  std::vector<PyObject*> values(static_cast<size_t>(nargs + nkw));
  for (Py_ssize_t i = 0; i < nargs; ++i) values[static_cast<size_t>(i)] = PyTuple_GET_ITEM(args, i);
  PyRef kwnames;
  if (nkw > 0) {
    kwnames = PyRef::steal(PyTuple_New(nkw));
    if (!kwnames) return false;
    Py_ssize_t pos = 0, j = 0;
    PyObject *key, *value;
    while (PyDict_Next(kwargs, &pos, &key, &value)) {
      PyTuple_SET_ITEM(kwnames.get(), j, Py_NewRef(key));
      values[static_cast<size_t>(nargs + j)] = value;
      ++j;
    }
  }
  return extract_arguments(sig, values.data(), nargs, kwnames.get(), slots);
}

}  // namespace vesk::py
