#include "binding/classes.h"

#include <cstring>
#include <vector>

#include "binding/py_ref.h"

namespace vesk::py {
namespace {

PyObject* no_constructor(PyTypeObject* type, PyObject*, PyObject*) {
  const char* name = type->tp_name;
  if (const char* dot = std::strrchr(name, '.')) name = dot + 1;
  PyErr_Format(PyExc_TypeError, "No constructor defined for %s", name);
  return nullptr;
}

}  // namespace

PyTypeObject* ClassObject::get() {
  // Built and read under the interpreter lock only, so once per process.
  if (type_) return type_;
  std::vector<PyType_Slot> slots;
  bool has_new = false;
  for (const PyType_Slot* s = slots_; s && s->slot; ++s) {
    has_new = has_new || s->slot == Py_tp_new;
    slots.push_back(*s);
  }
  if (!has_new) slots.push_back({Py_tp_new, reinterpret_cast<void*>(&no_constructor)});
  if (doc_) slots.push_back({Py_tp_doc, const_cast<char*>(doc_)});
  slots.push_back({0, nullptr});
  unsigned flags = static_cast<unsigned>(Py_TPFLAGS_DEFAULT | Py_TPFLAGS_IMMUTABLETYPE) | flags_;
  PyType_Spec spec{qualname_, basicsize_, 0, flags, slots.data()};
  PyTypeObject* type = reinterpret_cast<PyTypeObject*>(PyType_FromSpec(&spec));
  if (!type) return nullptr;
  type_ = type;  // set first: finish() may make instances of the class
  if (finish(type) < 0) {
    type_ = nullptr;
    Py_DECREF(type);
    return nullptr;
  }
  return type_;
}

int add_public_name(PyObject* module, PyObject* name, PyObject* value) {
  PyObject* dict = PyModule_GetDict(module);  // borrowed
  if (!dict) return -1;
  PyRef all = PyRef::borrow(PyDict_GetItemString(dict, "__all__"));
  if (!all) {
    all = PyRef::steal(PyList_New(0));
    if (!all || PyDict_SetItemString(dict, "__all__", all.get()) < 0) return -1;
  } else if (!PyList_Check(all.get())) {
    PyErr_SetString(PyExc_TypeError, "the module's __all__ must be a list");
    return -1;
  }
  if (PyList_Append(all.get(), name) < 0) return -1;
  return PyObject_SetAttr(module, name, value);
}

int register_class(PyObject* module, PyTypeObject* type) {
  if (!type) return -1;
  PyRef name = PyRef::steal(PyObject_GetAttrString(reinterpret_cast<PyObject*>(type), "__name__"));
  if (!name) return -1;
  return add_public_name(module, name.get(), reinterpret_cast<PyObject*>(type));
}

int register_function(PyObject* module, PyMethodDef* def) {
  PyRef module_name = PyRef::steal(PyModule_GetNameObject(module));
  if (!module_name) return -1;
  PyRef function = PyRef::steal(PyCFunction_NewEx(def, module, module_name.get()));
  if (!function) return -1;
  PyRef name = PyRef::steal(PyUnicode_FromString(def->ml_name));
  if (!name) return -1;
  return add_public_name(module, name.get(), function.get());
}

}  // namespace vesk::py
