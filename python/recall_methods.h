// Method-table rows of the recall settings that the pipeline reads: the trust
// model and the fusion mode. Their bodies are in recall_methods.cc.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

namespace vesk::py {

PyMethodDef set_trust_config_method();
PyMethodDef set_recall_fusion_mode_method();

}  // namespace vesk::py
