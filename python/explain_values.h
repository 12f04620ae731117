// Python forms of the explained recall's values: a signal contribution as
// the dict a score trace's five signal slots hold.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include "binding/convert.h"
#include "recall/score_trace.h"

namespace vesk::py {

// A new dict {"raw_score": float, "rank": int, "rrf_share": float}, keys in
// that order; null with the Python error set when building it fails (the
// half-built dict is released).
PyObject* signal_contribution_dict(const SignalContribution& contribution);

template <>
struct ToPy<SignalContribution> {
  static PyObject* convert(const SignalContribution& c) { return signal_contribution_dict(c); }
};

}  // namespace vesk::py
