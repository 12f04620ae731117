#include "vesk_object.h"

#include <new>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "write/security_profile.h"

namespace vesk::py {
namespace {

// ---- Construction ------------------------------------------------------------

constexpr char kVeskDoc[] = "Vesk(path, password=None, security=None)\n--\n\nUnified cognitive memory for AI agents.";

// The profile is checked before the directory is touched, so a refused
// profile creates and locks nothing.
Result<std::unique_ptr<Vesk>> new_vesk(std::string path, std::optional<std::string> password,
                                       std::optional<std::string> security) {
  std::optional<SecurityProfile> profile;
  if (security) {
    Result<SecurityProfile> parsed = parse_security_profile(*security);
    if (!parsed.ok()) return parsed.status();
    profile = *parsed;
  }
  std::optional<std::string_view> pw;
  if (password) pw = *password;
  Result<std::unique_ptr<Vesk>> opened = Vesk::open(path, pw);
  if (!opened.ok()) return opened.status().as(ErrorKind::OS);
  if (profile) (*opened)->set_security_profile(*profile);
  return opened;
}
constexpr Method kNewVesk{"Vesk", kVeskDoc, new_vesk};

// ---- Lifecycle -----------------------------------------------------------------

// Failures of the store's own operations reach Python as RuntimeError,
// whatever layer they came from.
Status runtime(Status s) { return s.as(ErrorKind::Runtime); }

PyObject* enter(PyObject* self) { return Py_NewRef(self); }
constexpr Method kEnter{"Vesk", "__enter__($self)", enter};

// Closes like close() and returns False, so an exception of the with-block
// propagates; a failed close raises in its place.
Result<bool> exit(Vesk& self, PyObject*, PyObject*, PyObject*) {
  VESK_RETURN_IF_ERROR(runtime(self.close()));
  return false;
}
constexpr Method kExit{"Vesk", "__exit__($self, _exc_type=None, _exc_val=None, _exc_tb=None)", exit};

Status close(Vesk& self) { return runtime(self.close()); }
constexpr Method kClose{"Vesk", "close($self)", close};

Status flush(Vesk& self) { return runtime(self.flush()); }
constexpr Method kFlush{"Vesk", "flush($self)", flush};

void stop_background(Vesk& self) { self.stop_background(); }
constexpr Method kStopBackground{"Vesk", "stop_background($self)", stop_background};

// ---- Status queries -------------------------------------------------------------

bool is_encrypted(Vesk& self) { return self.is_encrypted(); }
constexpr Method kIsEncrypted{"Vesk", "is_encrypted($self)", is_encrypted};

bool is_background_running(Vesk& self) { return self.is_background_running(); }
constexpr Method kIsBackgroundRunning{"Vesk", "is_background_running($self)", is_background_running};

// ---- Security profile -------------------------------------------------------------

Status set_security_profile(Vesk& self, std::string profile) { return self.set_security_profile(std::string_view(profile)); }
constexpr Method kSetSecurityProfile{
    "Vesk", "set_security_profile($self, profile)\n--\n\nChoose the security profile: \"balanced\" (default) or \"strict\".",
    set_security_profile};

PyObject* get_security_profile(PyObject* self, void*) {
  return call_frame([&]() -> PyObject* {
    Vesk* store = PyClass<Vesk>::unwrap(self);
    if (!store) return nullptr;
    return to_py(security_profile_name(store->security_profile()));
  });
}

PyGetSetDef vesk_getset[] = {
    {"security_profile", &get_security_profile, nullptr, "Current security profile name.", nullptr},
    {},
};

// ---- Object slots -------------------------------------------------------------------

PyObject* vesk_repr(PyObject* self) {
  return call_frame([&]() -> PyObject* {
    Vesk* store = PyClass<Vesk>::unwrap(self);
    if (!store) return nullptr;
    std::string text = "Vesk(path='" + store->path().string() + "', records=" + std::to_string(store->count()) +
                       ", encrypted=" + (store->is_encrypted() ? "true" : "false") + ")";
    return to_py(text);
  });
}

// A store dropped without close(): the store's destructor stops its
// background work and closes the record log (reporting a failure on
// standard error). Closing may wait on file I/O, so it runs without the
// interpreter lock.
void vesk_dealloc(PyObject* self) {
  PyTypeObject* type = Py_TYPE(self);
  std::unique_ptr<Vesk> store = std::move(reinterpret_cast<VeskObject*>(self)->store);
  reinterpret_cast<VeskObject*>(self)->store.~unique_ptr();
  if (store) without_gil([&] { store.reset(); });
  type->tp_free(self);
  Py_DECREF(type);
}

// Every family's rows, then the end marker; built once, when the class is
// first made.
PyMethodDef* vesk_methods() {
  static std::vector<PyMethodDef> table = [] {
    std::vector<PyMethodDef> rows;
    for (MethodRows family : {lifecycle_methods(), store_methods(), text_recall_methods(), recall_methods(),
                              classifier_methods(), embedding_methods(), record_access_methods(),
                              taxonomy_methods(), status_methods(), maintenance_methods(), audit_graph_methods(),
                              snapshot_methods(), container_methods(),
                              outcome_receipt_methods(), evidence_methods(), credibility_methods(),
                              connection_methods(), capsule_methods(), correction_log_methods(),
                              tier_recall_methods(), namespace_digest_methods(), statistics_methods(),
                              record_edit_methods(),
                              belief_methods(), record_admin_methods(), search_methods(),
                              removal_methods(), policy_report_methods(),
                              point_in_time_methods(), explain_recall_methods(),
                              correction_methods(),
                              consequence_methods(),
                              relation_methods(), entity_methods(),
                              family_methods(),
                              reflection_methods(), health_digest_methods(),
                              contradiction_review_methods(), research_methods(), project_methods(),
                              concept_methods(), structured_recall_methods()}) {
      rows.insert(rows.end(), family.begin(), family.end());
    }
    rows.push_back(PyMethodDef{});
    return rows;
  }();
  return table.data();
}

PyType_Slot vesk_slots[] = {
    {Py_tp_new, reinterpret_cast<void*>(bind_new<kNewVesk>())},
    {Py_tp_dealloc, reinterpret_cast<void*>(&vesk_dealloc)},
    {Py_tp_repr, reinterpret_cast<void*>(&vesk_repr)},
    {Py_tp_methods, vesk_methods()},
    {Py_tp_getset, vesk_getset},
    {0, nullptr},
};

}  // namespace

MethodRows lifecycle_methods() {
  return {bind<kEnter>(),        bind<kExit>(),
          bind<kClose>(),        bind<kFlush>(),
          bind<kStopBackground>(), bind<kIsEncrypted>(),
          bind<kIsBackgroundRunning>(), bind<kSetSecurityProfile>()};
}

ClassObject& vesk_class() {
  static ClassObject cls{"vesk._core.Vesk", kVeskDoc, static_cast<int>(sizeof(VeskObject)),
                         static_cast<unsigned>(Py_TPFLAGS_BASETYPE),
                         vesk_slots};
  return cls;
}

Vesk* PyClass<Vesk>::unwrap(PyObject* self) {
  PyTypeObject* type = vesk_class().get();
  if (!type) return nullptr;
  if (!PyObject_TypeCheck(self, type)) {
    conversion_error(self, "Vesk");
    return nullptr;
  }
  Vesk* store = reinterpret_cast<VeskObject*>(self)->store.get();
  if (!store) conversion_error(self, "Vesk");
  return store;
}

PyObject* NewInstance<Result<std::unique_ptr<Vesk>>>::make(PyTypeObject* type, Result<std::unique_ptr<Vesk>>&& opened) {
  if (!opened.ok()) return raise(opened.status());
  PyObject* o = type->tp_alloc(type, 0);
  if (!o) return nullptr;  // the opened store is dropped on the way out
  ::new (static_cast<void*>(&reinterpret_cast<VeskObject*>(o)->store)) std::unique_ptr<Vesk>(std::move(*opened));
  return o;
}

}  // namespace vesk::py
