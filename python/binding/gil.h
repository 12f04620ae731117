// The interpreter lock around native work.
//
// A body may release the lock around an implementation that touches no Python
// object (`without_gil`). Native code that needs Python while the lock may be
// released (a Python callback called from a store operation or a worker
// thread) takes it for the call (`WithGil`). A reference that native code
// shares across threads may be dropped by a thread without the lock; the
// decrement is then queued and applied by the next thread that enters the
// module or takes the lock back (`decref_anywhere`, `SharedPyObject`).
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <memory>
#include <utility>

namespace vesk::py {

// Applies the queued reference decrements. Lock held.
void flush_deferred_decrefs();

// Drops one reference: at once when this thread holds the lock, else queued.
void decref_anywhere(PyObject* o);

// Runs `f` with the interpreter lock released and takes the lock back before
// returning or propagating an exception. `f` must touch no Python object.
template <class F>
decltype(auto) without_gil(F&& f) {
  struct Reacquire {
    PyThreadState* state;
    ~Reacquire() {
      PyEval_RestoreThread(state);
      flush_deferred_decrefs();
    }
  } reacquire{PyEval_SaveThread()};
  return std::forward<F>(f)();
}

// Holds the interpreter lock for a scope, from any thread, whether or not
// the thread already holds it.
class WithGil {
 public:
  WithGil() : state_(PyGILState_Ensure()) { flush_deferred_decrefs(); }
  ~WithGil() { PyGILState_Release(state_); }
  WithGil(const WithGil&) = delete;
  WithGil& operator=(const WithGil&) = delete;

 private:
  PyGILState_STATE state_;
};

// A Python object shared by native owners on any thread (e.g. a callback
// installed in a store): the last owner to let go drops the reference, with
// or without the lock.
using SharedPyObject = std::shared_ptr<PyObject>;
// Adds a reference to `o` (lock held) and shares it.
SharedPyObject share(PyObject* o);

}  // namespace vesk::py
