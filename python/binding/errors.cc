#include "binding/errors.h"

#include <cstring>
#include <string>

#include "binding/py_ref.h"

namespace vesk::py {

PyObject* exception_class(ErrorKind kind) {
  switch (kind) {
    case ErrorKind::Runtime: return PyExc_RuntimeError;
    case ErrorKind::Value: return PyExc_ValueError;
    case ErrorKind::OS: return PyExc_OSError;
    case ErrorKind::Key: return PyExc_KeyError;
    case ErrorKind::Type: return PyExc_TypeError;
    case ErrorKind::Attribute: return PyExc_AttributeError;
  }
  return PyExc_RuntimeError;
}

PyObject* set_error(PyObject* cls, std::string_view message) {
  PyRef text = PyRef::steal(PyUnicode_DecodeUTF8(message.data(), static_cast<Py_ssize_t>(message.size()), "replace"));
  if (text) PyErr_SetObject(cls, text.get());
  return nullptr;
}

PyObject* raise(const Status& status) { return set_error(exception_class(status.kind()), status.message()); }

void raise_internal_fault(std::string_view what) {
  constexpr std::string_view kGeneric = "internal fault: a broken invariant was detected";
  set_error(PyExc_RuntimeError, what.empty() ? kGeneric : what);
}

bool conversion_error(PyObject* given, std::string_view expected) {
  // The class's own name: tp_name carries a module prefix for some classes.
  const char* name = Py_TYPE(given)->tp_name;
  if (const char* dot = std::strrchr(name, '.')) name = dot + 1;
  std::string message = "'";
  message += name;
  message += "' object cannot be converted to '";
  message += expected;
  message += "'";
  set_error(PyExc_TypeError, message);
  return false;
}

PyObject* fetch_exception() {
#if PY_VERSION_HEX >= 0x030C0000
  return PyErr_GetRaisedException();
#else
  PyObject *type, *value, *traceback;
  PyErr_Fetch(&type, &value, &traceback);
  if (!type) return nullptr;
  PyErr_NormalizeException(&type, &value, &traceback);
  if (traceback && value) PyException_SetTraceback(value, traceback);
  Py_XDECREF(type);
  Py_XDECREF(traceback);
  return value;
#endif
}

void restore_exception(PyObject* exc) {
#if PY_VERSION_HEX >= 0x030C0000
  PyErr_SetRaisedException(exc);
#else
  PyErr_Restore(Py_NewRef(reinterpret_cast<PyObject*>(Py_TYPE(exc))), exc, PyException_GetTraceback(exc));
#endif
}

void prefix_type_error(std::string_view param) {
  if (!PyErr_ExceptionMatches(PyExc_TypeError)) return;
  PyRef first = PyRef::steal(fetch_exception());
  PyRef text = PyRef::steal(PyObject_Str(first.get()));
  if (!text) return;
  std::string prefix = "argument '";
  prefix += param;
  prefix += "': ";
  PyRef head = PyRef::steal(PyUnicode_FromStringAndSize(prefix.data(), static_cast<Py_ssize_t>(prefix.size())));
  if (!head) return;
  PyRef message = PyRef::steal(PyUnicode_Concat(head.get(), text.get()));
  if (!message) return;
  PyRef second = PyRef::steal(PyObject_CallOneArg(PyExc_TypeError, message.get()));
  if (!second) return;
  if (PyObject* cause = PyException_GetCause(first.get())) PyException_SetCause(second.get(), cause);
  restore_exception(second.release());
}

}  // namespace vesk::py
