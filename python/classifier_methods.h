// The caller's claim and outcome classifiers, and the switch of the built-in
// claim rules: the Python wrapper a classifier is called through and the
// method-table rows that set and clear them.
//
// A classifier may be called from a thread that released the interpreter
// lock (the store road) or holds it; the wrapper takes the lock for the call
// only, with no store lock held. It answers with the returned str; an
// exception (discarded, never printed), None, or any other result is no
// answer. The object is not checked to be callable when it is set: calling
// a non-callable simply raises inside the wrapper, which is no answer.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include "write/text_classifiers.h"

namespace vesk::py {

// A core classifier that calls `func` (lock held: it takes a reference).
TextClassifierHandle make_text_classifier(PyObject* func);

PyMethodDef clear_outcome_classifier_method();
PyMethodDef clear_claim_classifier_method();
PyMethodDef set_claim_classifier_method();
PyMethodDef set_claim_rules_enabled_method();
PyMethodDef set_outcome_classifier_method();

}  // namespace vesk::py
