// The module's plain functions: pure, no store, no lock release.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

namespace vesk::py {

extern PyMethodDef neighbor_mass_role_similarity_def;
extern PyMethodDef classify_causal_edge_def;
extern PyMethodDef world_fact_from_output_def;

}  // namespace vesk::py
