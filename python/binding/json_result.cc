#include "binding/json_result.h"

namespace vesk::py {

PyObject* ToPy<JsonValue>::convert(const JsonValue& v) {
  switch (v.kind()) {
    case JsonValue::Kind::Null:
      return Py_NewRef(Py_None);
    case JsonValue::Kind::Bool:
      return Py_NewRef(v.as_bool() ? Py_True : Py_False);
    case JsonValue::Kind::UInt:
      return PyLong_FromUnsignedLongLong(static_cast<unsigned long long>(v.as_u64()));
    case JsonValue::Kind::Int:
      return PyLong_FromLongLong(static_cast<long long>(v.as_i64()));
    case JsonValue::Kind::Float:
      return PyFloat_FromDouble(v.as_f64());
    case JsonValue::Kind::String:
      return to_py(v.as_string());
    case JsonValue::Kind::Array:
      return ToPy<JsonValue::Array>::convert(v.as_array());
    case JsonValue::Kind::Object:
      return ToPy<JsonObject>::convert(v.as_object());
  }
  return Py_NewRef(Py_None);
}

PyObject* ToPy<JsonObject>::convert(const JsonObject& object) {
  PyRef dict = PyRef::steal(PyDict_New());
  if (!dict) return nullptr;
  for (const auto& [key, value] : object) {
    PyRef item = PyRef::steal(ToPy<JsonValue>::convert(value));
    if (!item || PyDict_SetItemString(dict.get(), key.c_str(), item.get()) < 0) return nullptr;
  }
  return dict.release();
}

PyObject* ToPy<JsonValue::Array>::convert(const JsonValue::Array& items) {
  PyRef list = PyRef::steal(PyList_New(static_cast<Py_ssize_t>(items.size())));
  if (!list) return nullptr;
  for (size_t i = 0; i < items.size(); ++i) {
    PyObject* o = ToPy<JsonValue>::convert(items[i]);
    if (!o) return nullptr;
    PyList_SET_ITEM(list.get(), static_cast<Py_ssize_t>(i), o);
  }
  return list.release();
}

}  // namespace vesk::py
