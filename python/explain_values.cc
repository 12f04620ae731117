#include "explain_values.h"

#include "binding/py_ref.h"

namespace vesk::py {

PyObject* signal_contribution_dict(const SignalContribution& contribution) {
  PyRef dict = PyRef::steal(PyDict_New());
  if (!dict) return nullptr;
  auto put = [&](const char* key, PyObject* value) {
    PyRef v = PyRef::steal(value);
    return v && PyDict_SetItemString(dict.get(), key, v.get()) == 0;
  };
  if (!put("raw_score", to_py(contribution.raw_score)) || !put("rank", to_py(contribution.rank)) ||
      !put("rrf_share", to_py(contribution.rrf_share))) {
    return nullptr;
  }
  return dict.release();
}

}  // namespace vesk::py
