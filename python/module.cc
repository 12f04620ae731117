// Entry point of the extension module vesk._core.
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include "model/version.h"

static PyModuleDef core_module_def = {
    PyModuleDef_HEAD_INIT, "_core", "", -1, nullptr, nullptr, nullptr, nullptr, nullptr,
};

PyMODINIT_FUNC PyInit__core(void) {
  PyObject* m = PyModule_Create(&core_module_def);
  if (!m) return nullptr;
  PyObject* all = PyList_New(0);
  if (!all || PyModule_AddObject(m, "__all__", all) < 0) {
    Py_XDECREF(all);
    Py_DECREF(m);
    return nullptr;
  }
  if (PyModule_AddStringConstant(m, "__version__", vesk::version()) < 0) {
    Py_DECREF(m);
    return nullptr;
  }
  return m;
}
