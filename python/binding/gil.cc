#include "binding/gil.h"

#include <atomic>
#include <mutex>
#include <vector>

namespace vesk::py {
namespace {

std::mutex g_deferred_mu;
std::vector<PyObject*> g_deferred;           // guarded by g_deferred_mu
std::atomic<bool> g_has_deferred{false};     // lets the common path skip the mutex

}  // namespace

void flush_deferred_decrefs() {
  if (!g_has_deferred.load(std::memory_order_acquire)) return;
  std::vector<PyObject*> objects;
  {
    std::lock_guard<std::mutex> lock(g_deferred_mu);
    objects.swap(g_deferred);
    g_has_deferred.store(false, std::memory_order_release);
  }
  // Decrements run outside the mutex: a destructor may drop further objects.
  for (PyObject* o : objects) Py_DECREF(o);
}

void decref_anywhere(PyObject* o) {
  if (!o) return;
  // After finalisation the object is gone with its interpreter: leave it.
  if (!Py_IsInitialized()) return;
  if (PyGILState_Check()) {
    Py_DECREF(o);
    return;
  }
  std::lock_guard<std::mutex> lock(g_deferred_mu);
  g_deferred.push_back(o);
  g_has_deferred.store(true, std::memory_order_release);
}

SharedPyObject share(PyObject* o) {
  return SharedPyObject(Py_NewRef(o), decref_anywhere);
}

}  // namespace vesk::py
