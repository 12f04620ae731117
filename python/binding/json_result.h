// Results whose shape the core builds as a JSON value (model/json_value.h):
// an object becomes a dict with its members in order, an array a list, a
// string a str, each number an int or a float of its kind, null None.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include "binding/convert.h"
#include "model/json_value.h"

namespace vesk::py {

template <>
struct ToPy<JsonValue> {
  static PyObject* convert(const JsonValue& value);
};

template <>
struct ToPy<JsonObject> {
  static PyObject* convert(const JsonObject& object);
};

template <>
struct ToPy<JsonValue::Array> {
  static PyObject* convert(const JsonValue::Array& items);
};

}  // namespace vesk::py
