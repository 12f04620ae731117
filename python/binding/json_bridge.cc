#include "binding/json_bridge.h"

#include "binding/py_ref.h"

namespace vesk::py {

PyObject* import_json_module() { return PyImport_ImportModule("json"); }

PyObject* json_loads(std::string_view text) {
  PyRef json = PyRef::steal(import_json_module());
  if (!json) return nullptr;
  PyRef str = PyRef::steal(PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), nullptr));
  if (!str) return nullptr;
  return PyObject_CallMethod(json.get(), "loads", "O", str.get());
}

}  // namespace vesk::py
