// _binding_probe: a test-only module that drives the binding layer through
// each conversion, result form, error family, fault, lock release and class
// helper, independently of the module's own surface. It also hands out a
// value of the module's classes that no store operation produces yet.
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <atomic>
#include <chrono>
#include <map>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "binding/call.h"
#include "binding/classes.h"
#include "binding/native.h"
#include "model/record.h"
#include "value_classes.h"

namespace vesk::py {

// A native value in a class without a constructor.
struct Widget {
  int64_t value = 0;
};
struct WidgetObject {
  PyObject_HEAD
  Widget widget;
};

void widget_dealloc(PyObject* self) {
  PyTypeObject* type = Py_TYPE(self);
  type->tp_free(self);
  Py_DECREF(type);
}

extern PyMethodDef widget_methods[];
PyType_Slot widget_slots[] = {{Py_tp_dealloc, reinterpret_cast<void*>(&widget_dealloc)},
                              {Py_tp_methods, widget_methods},
                              {0, nullptr}};
ClassObject widget_class{"_binding_probe.Widget", "A native value held by a Python object.", sizeof(WidgetObject),
                         0, widget_slots};

template <>
struct PyClass<Widget> {
  static Widget* unwrap(PyObject* self) {
    PyTypeObject* type = widget_class.get();
    if (!type) return nullptr;
    if (!PyObject_TypeCheck(self, type)) {
      conversion_error(self, "Widget");
      return nullptr;
    }
    return &reinterpret_cast<WidgetObject*>(self)->widget;
  }
};

// A read-only value class with one attribute of each kind, and a nested
// class that is never registered (built when the first one is handed out).
struct Part {
  std::string label;
};
struct Report {
  uint64_t count = 0;
  float ratio32 = 0;
  std::string name;
  std::vector<std::string> items;
  std::optional<std::string> note;
  std::map<std::string, uint64_t> counts;
  Part part;
  std::vector<Part> parts;
};

template <>
struct NativeClass<Part> {
  static ClassObject& object() {
    static ValueClass<Part> cls{"_binding_probe.Part", nullptr, {field<&Part::label>("label")}};
    return cls;
  }
};

uint64_t twice_count(const Report& r) { return 2 * r.count; }

template <>
struct NativeClass<Report> {
  static ClassObject& object() {
    static ValueClass<Report> cls{"_binding_probe.Report", "A report.",
                                  {
                                      field<&Report::count>("count", "How many."),
                                      field<&Report::ratio32>("ratio32"),
                                      field<&Report::name>("name"),
                                      field<&Report::items>("items"),
                                      field<&Report::note>("note"),
                                      field<&Report::counts>("counts"),
                                      field<&Report::part>("part"),
                                      field<&Report::parts>("parts"),
                                      computed<&twice_count>("twice_count", "Twice the count."),
                                  }};
    return cls;
  }
};

namespace {

Report make_report(uint64_t count, std::optional<std::string> note) {
  return Report{count, 0.9f, "r", {"a", "b"}, std::move(note), {{"x", 1}}, Part{"p"}, {Part{"q"}, Part{"r"}}};
}
constexpr Method kMakeReport{nullptr, "make_report(count, note=None)", make_report};

std::string report_name(Report report) { return report.name; }
constexpr Method kReportName{nullptr, "report_name(report)", report_name};

int64_t widget_value(const Widget& self) { return self.value; }
constexpr Method kWidgetValue{"Widget", "value($self)", widget_value};

int64_t widget_add(Widget& self, int64_t x) { return self.value += x; }
constexpr Method kWidgetAdd{"Widget", "add($self, x)\n--\n\nAdd x to the value.", widget_add};

int64_t widget_twice(int64_t x) { return 2 * x; }
constexpr Method kWidgetTwice{"Widget", "twice(x)", widget_twice};

PyObject* make_widget(int64_t value) {
  PyTypeObject* type = widget_class.get();
  if (!type) return nullptr;
  PyObject* o = type->tp_alloc(type, 0);
  if (o) reinterpret_cast<WidgetObject*>(o)->widget.value = value;
  return o;
}
constexpr Method kMakeWidget{nullptr, "make_widget(value)", make_widget};

// A maintenance report with one feedback entry, wrapped by the module's own
// class tables: until a store runs maintenance, the only way Python code
// reaches the classes the module never registers.
MaintenanceReport maintenance_report() {
  MaintenanceReport report;
  report.feedback.entries.emplace_back();
  return report;
}
constexpr Method kMaintenanceReport{nullptr, "maintenance_report()", maintenance_report};

// ---- Arguments and results ----

std::string echo_text(std::string value) { return value; }
constexpr Method kEchoText{nullptr, "echo_text(value)", echo_text};

// A flag that defaults to on: only an explicit False turns it off.
bool echo_flag(std::optional<bool> flag) { return flag.value_or(true); }
constexpr Method kEchoFlag{nullptr, "echo_flag(flag=None)", echo_flag};

double echo_real(double value) { return value; }
constexpr Method kEchoReal{nullptr, "echo_real(value)", echo_real};

float echo_real32(float value) { return value; }
constexpr Method kEchoReal32{nullptr, "echo_real32(value)", echo_real32};

std::vector<std::optional<int64_t>> echo_ints(std::optional<int8_t> i8, std::optional<uint8_t> u8,
                                              std::optional<int32_t> i32, std::optional<uint32_t> u32,
                                              std::optional<int64_t> i64) {
  return {i8, u8, i32, u32, i64};
}
constexpr Method kEchoInts{nullptr, "echo_ints(i8=None, u8=None, i32=None, u32=None, i64=None)", echo_ints};

uint64_t echo_u64(uint64_t value) { return value; }
constexpr Method kEchoU64{nullptr, "echo_u64(value)", echo_u64};

std::vector<std::string> echo_texts(std::vector<std::string> items) { return items; }
constexpr Method kEchoTexts{nullptr, "echo_texts(items)", echo_texts};

std::vector<double> echo_reals(std::vector<double> items) { return items; }
constexpr Method kEchoReals{nullptr, "echo_reals(items)", echo_reals};

// Metadata in, a dict in the (sorted) order of a std::map out.
std::map<std::string, std::string> echo_metadata(StringMap metadata) { return {metadata.begin(), metadata.end()}; }
constexpr Method kEchoMetadata{nullptr, "echo_metadata(metadata)", echo_metadata};

// `a` shows that other arguments keep the prefix the namespace error lacks.
std::optional<std::vector<std::string>> echo_namespace(int64_t a, NamespaceFilter ns) { return ns.names; }
constexpr Method kEchoNamespace{nullptr, "echo_namespace(a, namespace=None)", echo_namespace};

// ---- Failures ----

Result<std::string> fail(std::optional<int32_t> kind, std::string message) {
  if (!kind) return std::string("ok");
  return Status::Error(static_cast<ErrorKind>(*kind), message);
}
constexpr Method kFail{nullptr, "fail(kind, message)", fail};

void throw_exception(std::string what) {
  if (what == "alloc") throw std::bad_alloc();
  if (what == "int") throw 42;
  throw std::runtime_error(what);
}
constexpr Method kThrow{nullptr, "throw_exception(what)", throw_exception};

// ---- The interpreter lock ----

std::atomic<bool> signalled{false};

// Waits, without the lock, until another Python thread calls signal().
bool wait_for_signal(double timeout_seconds) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeout_seconds);
  while (!signalled.exchange(false)) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}
constexpr Method kWaitForSignal{nullptr, "wait_for_signal(timeout_seconds)", wait_for_signal, Gil::Released};

void signal_waiter() { signalled = true; }
constexpr Method kSignal{nullptr, "signal()", signal_waiter};

// Shares `o` and lets a native thread without the lock drop the share.
void drop_on_native_thread(PyObject* o) {
  SharedPyObject shared = share(o);
  std::thread([s = std::move(shared)]() mutable { s.reset(); }).join();
}
constexpr Method kDropOnNativeThread{nullptr, "drop_on_native_thread(o)", drop_on_native_thread};

void noop() {}
constexpr Method kNoop{nullptr, "noop()", noop};

// Registers `noop` into another module, to test the __all__ rules.
PyObject* register_noop(PyObject* module);
constexpr Method kRegisterNoop{nullptr, "register_noop(module)", register_noop};

PyMethodDef functions[] = {
    bind<kMakeWidget>(),   bind<kEchoText>(),     bind<kEchoFlag>(),     bind<kEchoReal>(),
    bind<kEchoReal32>(),   bind<kEchoInts>(),     bind<kEchoU64>(),      bind<kEchoTexts>(),
    bind<kEchoReals>(),    bind<kEchoMetadata>(), bind<kEchoNamespace>(), bind<kFail>(),
    bind<kThrow>(),        bind<kWaitForSignal>(), bind<kSignal>(),     bind<kDropOnNativeThread>(),
    bind<kNoop>(),         bind<kRegisterNoop>(),     bind<kMakeReport>(),  bind<kReportName>(),
    bind<kMaintenanceReport>(),
};
PyMethodDef noop_def = bind<kNoop>();

PyObject* register_noop(PyObject* module) {
  if (register_function(module, &noop_def) < 0) return nullptr;
  return Py_NewRef(Py_None);
}

PyModuleDef probe_def = {PyModuleDef_HEAD_INIT, "_binding_probe", "", 0, nullptr, nullptr, nullptr, nullptr, nullptr};

PyObject* create_probe() {
  PyRef module = PyRef::steal(PyModule_Create(&probe_def));
  if (!module) return nullptr;
  if (register_class(module.get(), widget_class.get()) < 0) return nullptr;
  if (register_class(module.get(), NativeClass<Report>::object().get()) < 0) return nullptr;
  for (PyMethodDef& def : functions) {
    if (register_function(module.get(), &def) < 0) return nullptr;
  }
  return module.release();
}

}  // namespace

PyMethodDef widget_methods[] = {bind<kWidgetValue>(), bind<kWidgetAdd>(), bind<kWidgetTwice>(), {}};

}  // namespace vesk::py

PyMODINIT_FUNC PyInit__binding_probe(void) { return vesk::py::call_frame(vesk::py::create_probe); }
