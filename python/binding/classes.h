// Class objects of the module and the registration of public names.
//
// Each class is described once by a ClassObject: its qualified name, its
// docstring (with the text signature "Name(params)\n--\n\n..." ahead of it
// when the class has a constructor), the instance size and the type slots
// (methods, attributes, dealloc, repr, comparison...). The class object is
// a heap type built the first time it is needed, by registration or by the
// first instance the system hands out, and kept for the life of the
// process. A class without a Py_tp_new slot gets a constructor that raises
// TypeError "No constructor defined for {name}".
//
//   PyType_Slot record_slots[] = {{Py_tp_dealloc, ...}, {Py_tp_getset, ...}, {0, nullptr}};
//   ClassObject record_class{"vesk._core.Record", "A single cognitive memory record.",
//                            sizeof(RecordObject), 0, record_slots};
//
// Classes whose instances hold one C++ value (value, configuration and
// enumeration classes) are declared with the tables of binding/native.h
// and binding/enums.h, which build on this.
//
// Registration: `register_class` / `register_function` append the name to
// the module's `__all__` (made when missing; TypeError when it is not a
// list) and then set the module attribute.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

namespace vesk::py {

class ClassObject {
 public:
  constexpr ClassObject(const char* qualname, const char* doc, int basicsize, unsigned flags,
                        const PyType_Slot* slots)
      : qualname_(qualname), doc_(doc), basicsize_(basicsize), flags_(flags), slots_(slots) {}
  ClassObject(const ClassObject&) = delete;
  ClassObject& operator=(const ClassObject&) = delete;

  // The class object (borrowed), built on first use; null with an exception
  // set when the host cannot build it (a later call tries again).
  PyTypeObject* get();

 protected:
  // Runs once, right after the host has built the class object, to finish
  // it (e.g. enumeration members as class attributes). 0 or -1; on failure
  // the class object is dropped.
  virtual int finish(PyTypeObject* type) { return 0; }

 private:
  const char* qualname_;     // "vesk._core.Name": __module__ and __name__
  const char* doc_;          // null: no docstring (__doc__ is None)
  int basicsize_;            // instance size; 0 for a plain object
  unsigned flags_;           // Py_TPFLAGS_* besides DEFAULT and IMMUTABLETYPE
  const PyType_Slot* slots_; // ends with {0, nullptr}; may be null
  PyTypeObject* type_ = nullptr;
};

// Appends `name` to `__all__`, then sets the attribute. 0 or -1.
int add_public_name(PyObject* module, PyObject* name, PyObject* value);
// Registers a class under its __name__. 0 or -1.
int register_class(PyObject* module, PyTypeObject* type);
// Makes a built-in function bound to the module from `def` (which must
// outlive the module) and registers it under its name. 0 or -1.
int register_function(PyObject* module, PyMethodDef* def);

}  // namespace vesk::py
