// The maintenance cycle, its configuration and the background worker slot.
// run_maintenance and the stand-alone passes (reflect, decay,
// decay_by_route_state) release the interpreter lock for their whole run;
// the others hold it throughout. stop_background and is_background_running sit
// with the lifecycle methods (vesk_object.cc).
#include <cstdint>
#include <optional>
#include <span>
#include <utility>

#include "binding/dict_builder.h"
#include "binding/errors.h"
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

// The evidence as a dict, its entries in the evidence's own order.
PyObject* evidence_dict(const Insight& in) {
  PyRef dict = PyRef::steal(PyDict_New());
  if (!dict) return nullptr;
  for (const auto& [key, value] : in.evidence) {
    PyRef k = PyRef::steal(to_py(key)), v = PyRef::steal(to_py(value));
    if (!k || !v || PyDict_SetItem(dict.get(), k.get(), v.get()) < 0) return nullptr;
  }
  return dict.release();
}

PyObject* insight_dict(const Insight& in) {
  return DictBuilder()
      .add("insight_type", in.insight_type)
      .add("severity", severity_name(in.severity))
      .add("phase", phase_name(in.phase))
      .add("record_ids", in.record_ids)
      .add("description", in.description)
      .add_with("evidence", [&] { return evidence_dict(in); })
      .finish();
}

// Holds the interpreter lock throughout: the dicts are made under the record
// map's read lock. A dict or list that cannot be made ends the call with the
// host's error once the lock is let go; no partial result is returned.
PyObject* insights(Vesk& self, std::optional<uint8_t> phase) {
  PyObject* list = nullptr;
  const Status run = self.insights(
      phase, [&](std::span<const Insight> found) { list = dict_list(found, insight_dict); });
  if (!run.ok()) return raise(run);
  return list;
}
constexpr Method kInsights{"Vesk",
                           "insights($self, phase=None)\n--\n\n"
                           "Run all insight detectors (phase 0 + 1 + 2) and return list of dicts.",
                           insights};

}  // namespace

MethodRows maintenance_methods() {
  return {bind<kRunMaintenance>(), bind<kStartBackground>(), bind<kConfigureMaintenance>(),
          bind<kReflect>(),        bind<kDecay>(),          bind<kDecayByRouteState>(),
          bind<kInsights>()};
}

}  // namespace vesk::py
