// Method-table rows of the text and structured recalls, the recall settings
// and hit counters, sessions and record history. Their bodies are in
// text_recall_methods.cc.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

namespace vesk::py {

PyMethodDef recall_method();
PyMethodDef recall_structured_method();
PyMethodDef history_method();
PyMethodDef end_session_method();
PyMethodDef recall_hit_stats_method();
PyMethodDef reset_recall_hit_stats_method();
PyMethodDef enable_full_cognitive_stack_method();
PyMethodDef disable_full_cognitive_stack_method();
PyMethodDef set_belief_rerank_mode_method();
PyMethodDef set_concept_surface_mode_method();
PyMethodDef set_causal_rerank_mode_method();
PyMethodDef set_policy_rerank_mode_method();
PyMethodDef set_context_dates_method();
PyMethodDef set_identity_block_enabled_method();

}  // namespace vesk::py
