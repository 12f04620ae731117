// Failures on their way into Python.
//
// A failed operation of the core arrives as a vesk::Status and leaves as a
// built-in exception of its family, with the message as its only argument:
//   Runtime -> RuntimeError, Value -> ValueError, OS -> OSError,
//   Key -> KeyError, Type -> TypeError, Attribute -> AttributeError.
// A C++ exception that reaches the call frame (a broken invariant, or a
// phase of the maintenance cycle that failed) becomes a RuntimeError with
// the exception's text: the module defines no exception class of its own.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <string_view>

#include "base/status.h"

namespace vesk::py {

// The built-in exception class of an error family (borrowed).
PyObject* exception_class(ErrorKind kind);

// Sets `cls(message)` as the current exception; the message is UTF-8
// (invalid bytes are replaced). Returns null for `return set_error(...)`.
PyObject* set_error(PyObject* cls, std::string_view message);

// Raises the exception of a failed status. Returns null.
PyObject* raise(const Status& status);

// Raises the RuntimeError of a C++ exception with `what`, or a generic text
// when empty.
void raise_internal_fault(std::string_view what);

// TypeError "'{type of given}' object cannot be converted to '{expected}'".
// Returns false for `return conversion_error(...)` in converters.
bool conversion_error(PyObject* given, std::string_view expected);

// When the current exception is a TypeError, replaces it by a TypeError
// "argument '{param}': {message}" that keeps the first one's cause.
// Other exceptions stay as they are.
void prefix_type_error(std::string_view param);

// The current exception, taken out of the error indicator (new reference),
// and the reverse (steals the reference).
PyObject* fetch_exception();
void restore_exception(PyObject* exc);

}  // namespace vesk::py
