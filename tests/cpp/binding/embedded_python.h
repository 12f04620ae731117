// A test fixture with an interpreter of its own, for what Python code sees of
// values the module hands out when no store operation produces them yet.
//
// The interpreter starts once per process (isolated: no site, no
// environment) and is never finalised, because the module's class objects
// live for the process. The module itself is not imported: values built by
// hand in C++ are converted with the same class tables the module uses, bound
// to names, and short Python expressions are evaluated against them.
//
//   bind("r", report);
//   EXPECT_EQ(eval("r.decay is r.decay"), "False");
//   EXPECT_EQ(run("r.total_records = 0"), "AttributeError: ...");
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <gtest/gtest.h>

#include <string>

#include "binding/convert.h"
#include "binding/py_ref.h"

namespace vesk::py {

class EmbeddedPython : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (Py_IsInitialized()) return;
    PyConfig config;
    PyConfig_InitIsolatedConfig(&config);
    config.site_import = 0;
    PyStatus status = Py_InitializeFromConfig(&config);
    PyConfig_Clear(&config);
    ASSERT_FALSE(PyStatus_Exception(status)) << (status.err_msg ? status.err_msg : "");
  }

  void SetUp() override {
    names_ = PyRef::steal(PyDict_New());
    ASSERT_TRUE(names_);
    ASSERT_EQ(PyDict_SetItemString(names_.get(), "__builtins__", PyEval_GetBuiltins()), 0);
  }

  // Binds `name` to a new Python object converted from `value`.
  template <class T>
  void bind(const char* name, const T& value) {
    PyRef object = PyRef::steal(to_py(value));
    ASSERT_TRUE(object) << error();
    ASSERT_EQ(PyDict_SetItemString(names_.get(), name, object.get()), 0);
  }

  // The object bound to `name` (borrowed), or null.
  PyObject* object(const char* name) { return PyDict_GetItemString(names_.get(), name); }

  // The repr of the expression's value, or "Type: message" when it raises.
  std::string eval(const std::string& expression) { return evaluate(expression, Py_eval_input); }
  // Runs statements: "" when they succeed, else "Type: message".
  std::string run(const std::string& statements) {
    std::string r = evaluate(statements, Py_file_input);
    return r == "None" ? "" : r;
  }

 private:
  std::string evaluate(const std::string& code, int mode) {
    PyRef result = PyRef::steal(PyRun_String(code.c_str(), mode, names_.get(), names_.get()));
    if (!result) return error();
    PyRef text = PyRef::steal(PyObject_Repr(result.get()));
    return text ? PyUnicode_AsUTF8(text.get()) : error();
  }

  // The pending exception as "Type: message", cleared.
  static std::string error() {
    PyRef e = PyRef::steal(PyErr_GetRaisedException());
    if (!e) return "(no exception)";
    PyRef text = PyRef::steal(PyObject_Str(e.get()));
    std::string out = Py_TYPE(e.get())->tp_name;
    if (text) out += std::string(": ") + PyUnicode_AsUTF8(text.get());
    PyErr_Clear();
    return out;
  }

  PyRef names_;
};

}  // namespace vesk::py
