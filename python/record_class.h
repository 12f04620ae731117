// The Python class Record: a detached, read-only copy of one record.
//
// Including this header lets a body return a Record (or a list of them, or
// an optional one: None when absent).
#pragma once

#include <string>

#include "binding/native.h"
#include "model/record.h"
#include "model/record_importance.h"

namespace vesk::py {

template <> struct NativeClass<Record> { static ClassObject& object(); };

// The computed attributes and the representation, in 32-bit arithmetic
// where the record keeps 32-bit values.
float record_epistemic_health(const Record& r);
std::string record_repr(const Record& r);

}  // namespace vesk::py
