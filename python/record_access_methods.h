// Method-table rows of record access control: set_record_acl and
// check_record_access. Neither releases the interpreter lock.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

namespace vesk::py {

PyMethodDef set_record_acl_method();
PyMethodDef check_record_access_method();

}  // namespace vesk::py
