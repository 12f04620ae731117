// Results that cross into Python as JSON text read back by the host's own
// JSON reader: the nested results of the audit graph operations.
//
// The value is written as compact JSON (members in field order, an absent
// optional and a non-finite float as null, a float always with a point or
// an exponent, so that it loads as a float even when integral), then the
// module "json" is imported (on every call: the host's module cache makes a
// repeat cheap) and its `loads` is called with the text as one str. The
// result is whatever `loads` makes of it; an exception of the import or of
// `loads` propagates as it is. Our JSON writer cannot fail, so the
// serialisation failure of the bridge (a ValueError) does not arise.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <string>
#include <string_view>

#include "model/json_codec.h"

namespace vesk::py {

// The host's module "json" (new reference), or null with the import's
// exception set.
PyObject* import_json_module();

// json.loads(text) (new reference), or null with an exception set.
PyObject* json_loads(std::string_view text);

template <class T>
PyObject* to_python_via_json(const T& value) {
  std::string text;
  text.reserve(128);
  JsonWriter writer(text);
  json_write(writer, value);
  return json_loads(text);
}

}  // namespace vesk::py
