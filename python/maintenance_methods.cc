// The maintenance cycle, its configuration and the background worker slot.
// run_maintenance and the stand-alone passes (reflect, decay,
// decay_by_route_state) release the interpreter lock for their whole run;
// the others hold it throughout. stop_background and is_background_running sit
// with the lifecycle methods (vesk_object.cc).
#include <cstdint>
#include <optional>
#include <utility>

#include "binding/py_ref.h"
#include "config_classes.h"
#include "value_classes.h"
#include "vesk_object.h"

namespace vesk::py {

// A count of seconds: any int from 0 to 2**64 - 1. A value outside that
// range, negative ones included, raises the one OverflowError of an integer
// out of its type's range.
struct Seconds {
  uint64_t value = 0;
};

template <>
struct FromPy<Seconds> {
  static bool convert(PyObject* o, Seconds& out) {
    PyRef index = PyRef::steal(PyNumber_Index(o));
    if (!index) return false;
    const unsigned long long v = PyLong_AsUnsignedLongLong(index.get());
    if (v == static_cast<unsigned long long>(-1) && PyErr_Occurred()) {
      if (!PyErr_ExceptionMatches(PyExc_OverflowError)) return false;
      PyErr_Clear();
      return integer_out_of_range();
    }
    out.value = v;
    return true;
  }
};

namespace {

MaintenanceReport run_maintenance(Vesk& self) { return self.run_maintenance(); }
constexpr Method kRunMaintenance{"Vesk", "run_maintenance($self)", run_maintenance, Gil::Released};

// The interval is checked and then not used: no worker thread runs cycles.
void start_background(Vesk& self, std::optional<Seconds>) { self.start_background(); }
constexpr Method kStartBackground{"Vesk", "start_background($self, interval_secs=None)", start_background};

// The store keeps its own copy: later changes to `config` do not reach it.
void configure_maintenance(Vesk& self, MaintenanceConfig config) { self.configure_maintenance(std::move(config)); }
constexpr Method kConfigureMaintenance{"Vesk", "configure_maintenance($self, config)", configure_maintenance};

// A dict of six counts built from a hash map: callers read it by key.
Result<StringKeyMap<uint64_t>> reflect(Vesk& self) { return self.reflect(); }
constexpr Method kReflect{"Vesk", "reflect($self)", reflect, Gil::Released};

// (decayed, archived)
Result<std::pair<uint64_t, uint64_t>> decay(Vesk& self) { return self.decay(); }
constexpr Method kDecay{"Vesk", "decay($self)", decay, Gil::Released};

// (decayed, demoted)
Result<std::pair<uint64_t, uint64_t>> decay_by_route_state(Vesk& self) { return self.decay_by_route_state(); }
constexpr Method kDecayByRouteState{
    "Vesk",
    "decay_by_route_state($self)\n--\n\n"
    "Route-state-stratified decay (demotion, not deletion). Reads each\n"
    "record's consequence route-state class instead of its access frequency:\n"
    "a refuted scar never field-decays, a never-confirmed candidate decays\n"
    "fastest regardless of how often it was accessed, and weak records are\n"
    "demoted to cold (trace kept) rather than deleted. Returns (decayed, demoted).",
    decay_by_route_state, Gil::Released};

}  // namespace

MethodRows maintenance_methods() {
  return {bind<kRunMaintenance>(), bind<kStartBackground>(), bind<kConfigureMaintenance>(),
          bind<kReflect>(),        bind<kDecay>(),          bind<kDecayByRouteState>()};
}

}  // namespace vesk::py
