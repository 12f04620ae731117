// The road of every call from Python into the system.
//
// A method or module function is declared by one constexpr `Method` beside
// its body: the owning class (null for a module function), the docstring
// that starts with the text signature, the body, and whether the body runs
// with the interpreter lock released. Everything else is derived from the
// signature at compile time: the parameter names and order, how many are
// required, and the calling convention (a signature with "$self" is an
// instance method, without it a static method of the class; no parameters
// besides self means a no-argument call).
//
//   Result<std::string> snapshot(Vesk& self, std::string label) { ... }
//   constexpr Method kSnapshot{"Vesk", "snapshot($self, label)", snapshot};
//   ...
//   PyMethodDef methods[] = {bind<kSnapshot>(), ..., {}};
//
// The generated entry stub extracts the arguments (TypeErrors worded as the
// host's own), converts `self` and then each argument in parameter order
// with FromPy<parameter type> (the first failure ends the call), runs the
// body, optionally without the interpreter lock, and converts its result
// with ToPy<result type>: a failed Status or Result raises its exception.
// A parameter left out is the default value of its C++ type (std::nullopt
// for an optional); std::optional<T> also takes None as "not given".
//
// A body may take a request struct as its last parameter instead of one
// parameter per argument: every signature parameter from that point on is
// then converted into the struct's field of the same name, through the
// struct's one field table (RequestFields, below). Methods that take the same
// arguments (store, update, store_image, process) share the table, so a field
// converts, defaults and words its errors the same way in each.
//
//   template <> struct RequestFields<StoreRequest> {
//     static constexpr auto kFields = std::tuple{request_field<&StoreRequest::content>("content"), ...};
//   };
//   Result<std::string> store(Vesk& self, StoreRequest request);
//   constexpr Method kStore{"Vesk", "store($self, content, level=None, ...)", store};
//
// A constructor is bound the same way from the class docstring (bind_new).
//
// Bodies receive `self` as `T&` for a class with a PyClass<T>
// specialisation (see below) or as the raw `PyObject*`.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <array>
#include <cstddef>
#include <exception>
#include <new>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>

#include "binding/convert.h"
#include "binding/errors.h"
#include "binding/gil.h"

namespace vesk::py {

// ---- Signatures ------------------------------------------------------------

inline constexpr int kMaxParams = 16;

struct Signature {
  std::string_view cls;   // owning class, empty for a module function
  std::string_view name;
  std::array<std::string_view, kMaxParams> params{};
  int count = 0;          // parameters besides self
  int required = 0;       // the leading `required` parameters have no default
  bool takes_self = false;
};

namespace detail {
constexpr std::string_view trim(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}
// Reached only in a malformed signature: makes its constant evaluation fail.
inline void bad_signature(const char*) {}
}  // namespace detail

// Parses "name($self, a, b=None)" at the head of a docstring.
consteval Signature parse_signature(const char* cls, std::string_view doc) {
  Signature sig;
  sig.cls = cls ? std::string_view(cls) : std::string_view();
  size_t open = doc.find('('), close = doc.find(')');
  if (open == std::string_view::npos || open == 0 || close == std::string_view::npos || close < open) {
    detail::bad_signature("a docstring must start with name(parameters)");
  }
  std::string_view rest = doc.substr(close + 1);
  if (!rest.empty() && !rest.starts_with("\n--\n\n")) detail::bad_signature("the signature must end the first line");
  sig.name = doc.substr(0, open);
  std::string_view list = doc.substr(open + 1, close - open - 1);
  bool first = true, seen_default = false;
  while (!detail::trim(list).empty()) {
    size_t comma = list.find(',');
    std::string_view token = detail::trim(list.substr(0, comma));
    list = comma == std::string_view::npos ? std::string_view() : list.substr(comma + 1);
    if (token == "$self") {
      if (!first) detail::bad_signature("$self must come first");
      sig.takes_self = true;
    } else if (token != "/") {
      if (token.empty() || token.starts_with("*")) detail::bad_signature("no empty, * or ** parameters");
      size_t eq = token.find('=');
      if (eq == std::string_view::npos) {
        if (seen_default) detail::bad_signature("a required parameter after an optional one");
        ++sig.required;
      } else {
        seen_default = true;
        token = detail::trim(token.substr(0, eq));
      }
      if (sig.count == kMaxParams) detail::bad_signature("too many parameters");
      sig.params[static_cast<size_t>(sig.count++)] = token;
    }
    first = false;
  }
  return sig;
}

// Fills one slot per parameter (borrowed; null when not given) from a
// vectorcall, or sets the host-worded TypeError and returns false.
bool extract_arguments(const Signature& sig, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames,
                       PyObject** slots);
// The same from a positional tuple and a keyword dict (may be null), as the
// new-object slot receives them.
bool extract_arguments(const Signature& sig, PyObject* args, PyObject* kwargs, PyObject** slots);

// Turns a constructor body's result into the new instance of `type`.
// Specialised by binding/native.h for native values (T and Result<T>).
template <class R>
struct NewInstance;

// ---- The shared call frame ---------------------------------------------------

// Runs a body that returns a new reference or null with an exception set.
// No C++ exception crosses into the interpreter: running out of memory is a
// MemoryError, anything else a RuntimeError with the exception's text.
template <class F>
PyObject* call_frame(F&& body) noexcept {
  flush_deferred_decrefs();
  try {
    PyObject* result = std::forward<F>(body)();
    if (!result && !PyErr_Occurred()) PyErr_SetString(PyExc_SystemError, "error return without exception set");
    return result;
  } catch (const std::bad_alloc&) {
    PyErr_NoMemory();
  } catch (const std::exception& e) {
    raise_internal_fault(e.what());
  } catch (...) {
    raise_internal_fault({});
  }
  return nullptr;
}

// ---- Classes as `self` ---------------------------------------------------------

// Specialised by each class of the module whose bodies take `T& self`:
//   static T* unwrap(PyObject* self);  // null with TypeError
//       "'{}' object cannot be converted to '{}'" for a foreign object
template <class T>
struct PyClass;

template <class P>
struct SelfArg;
template <>
struct SelfArg<PyObject*> {
  using Storage = PyObject*;
  static bool convert(PyObject* self, Storage& out) {
    out = self;
    return true;
  }
  static PyObject* get(Storage s) { return s; }
};
template <class T>
struct SelfArg<T&> {
  using Storage = T*;
  static bool convert(PyObject* self, Storage& out) {
    out = PyClass<std::remove_const_t<T>>::unwrap(self);
    return out != nullptr;
  }
  static T& get(Storage s) { return *s; }
};

// ---- Request structs ------------------------------------------------------------

// One field of a request struct, under the parameter name that fills it.
template <auto Member>
struct RequestField {
  static constexpr auto member = Member;
  std::string_view name;
};
template <auto Member>
constexpr RequestField<Member> request_field(std::string_view name) {
  return {name};
}

// Specialised per request struct: `static constexpr auto kFields` is a tuple
// of request_field entries.
template <class T>
struct RequestFields;

template <class T>
concept RequestStruct = requires { RequestFields<T>::kFields; };

namespace detail {

template <class T>
constexpr auto request_field_names() {
  return std::apply([](const auto&... f) { return std::array<std::string_view, sizeof...(f)>{f.name...}; },
                    RequestFields<T>::kFields);
}

// The index of the field named `name`, or the field count when none is.
template <class T>
constexpr size_t request_field_index(std::string_view name) {
  constexpr auto names = request_field_names<T>();
  for (size_t i = 0; i < names.size(); ++i)
    if (names[i] == name) return i;
  return names.size();
}

}  // namespace detail

// ---- Binding a body ------------------------------------------------------------

enum class Gil : bool { Held, Released };

template <class F>
struct Method {
  const char* cls;  // owning class; null for a module function
  const char* doc;  // "name(parameters)", optionally "\n--\n\n" and the docstring
  F body;
  Gil gil = Gil::Held;
};
template <class F>
Method(const char*, const char*, F) -> Method<F>;
template <class F>
Method(const char*, const char*, F, Gil) -> Method<F>;

namespace detail {

template <class F>
struct FunctionTraits;
template <class R, class... A>
struct FunctionTraits<R (*)(A...)> {
  using Result = R;
  using Args = std::tuple<A...>;
  static constexpr size_t arity = sizeof...(A);
};

template <class P>
using ArgStorage = std::remove_cvref_t<P>;

template <class P>
bool convert_argument(PyObject* slot, std::string_view param, ArgStorage<P>& out) {
  using T = ArgStorage<P>;
  if (!slot) return true;  // not given: the default stays
  if (FromPy<T>::convert(slot, out)) return true;
  if constexpr (prefixes_type_errors<T>()) prefix_type_error(param);
  return false;
}

template <class P>
decltype(auto) pass_argument(ArgStorage<P>& value) {
  if constexpr (std::is_lvalue_reference_v<P>) {
    return static_cast<P>(value);
  } else {
    return std::move(value);
  }
}

}  // namespace detail

template <const auto& M>
class Bound {
  using Body = decltype(M.body);
  using Traits = detail::FunctionTraits<Body>;
  using Result = typename Traits::Result;
  static constexpr Signature sig = parse_signature(M.cls, M.doc);
  static constexpr size_t kFirst = sig.takes_self ? 1 : 0;
  static constexpr size_t kCount = static_cast<size_t>(sig.count);
  template <size_t I>
  using Param = std::tuple_element_t<I, typename Traits::Args>;

  // A request struct as the last parameter takes every signature parameter
  // from its position on.
  static constexpr bool kTakesRequest = [] {
    if constexpr (Traits::arity > kFirst) {
      return RequestStruct<detail::ArgStorage<Param<Traits::arity - 1>>>;
    } else {
      return false;
    }
  }();
  // Body parameters besides self, and those converted one per signature
  // parameter.
  static constexpr size_t kBody = Traits::arity - kFirst;
  static constexpr size_t kPlain = kBody - (kTakesRequest ? 1 : 0);

  static_assert(kTakesRequest ? kCount >= kPlain : Traits::arity == kCount + kFirst,
                "the body's parameters must match the text signature");
  static_assert(sig.cls.empty() ? !sig.takes_self : true, "a module function has no $self");

  template <size_t... I>
  static constexpr bool touches_python(std::index_sequence<I...>) {
    return (std::is_same_v<detail::ArgStorage<Param<I>>, PyObject*> || ...) || std::is_same_v<Result, PyObject*>;
  }
  static_assert(M.gil == Gil::Held || !touches_python(std::make_index_sequence<Traits::arity>{}),
                "a body that runs without the interpreter lock takes and returns no Python object");

  // The body's own name as a C string (the signature's name is not NUL-terminated).
  static constexpr auto kName = [] {
    std::array<char, sig.name.size() + 1> name{};
    for (size_t i = 0; i < sig.name.size(); ++i) name[i] = sig.name[i];
    return name;
  }();

  template <bool kTakesSelf, class = void>
  struct SelfStorage {
    using type = std::nullptr_t;
  };
  template <class V>
  struct SelfStorage<true, V> {
    using type = typename SelfArg<Param<0>>::Storage;
  };

  // Converts `self` and the arguments, runs the body and hands its result to
  // `out`, which makes the Python object.
  template <class Out, size_t... I>
  static PyObject* convert_and_run(PyObject* self, PyObject* const* slots, Out&& out, std::index_sequence<I...>) {
    typename SelfStorage<sig.takes_self>::type self_value{};
    if constexpr (sig.takes_self) {
      if (!SelfArg<Param<0>>::convert(self, self_value)) return nullptr;
    }
    std::tuple<detail::ArgStorage<Param<I + kFirst>>...> values{};
    if constexpr (kTakesRequest) {
      if (!convert_plain(slots, values, std::make_index_sequence<kPlain>{})) return nullptr;
      if (!convert_request(slots, std::get<kPlain>(values), std::make_index_sequence<kCount - kPlain>{})) {
        return nullptr;
      }
    } else if (!convert_plain(slots, values, std::make_index_sequence<kPlain>{})) {
      return nullptr;
    }

    auto run = [&]() -> Result {
      if constexpr (sig.takes_self) {
        return M.body(SelfArg<Param<0>>::get(self_value),
                      detail::pass_argument<Param<I + kFirst>>(std::get<I>(values))...);
      } else {
        return M.body(detail::pass_argument<Param<I + kFirst>>(std::get<I>(values))...);
      }
    };
    if constexpr (std::is_void_v<Result>) {
      if constexpr (M.gil == Gil::Released) {
        without_gil(run);
      } else {
        run();
      }
      return Py_NewRef(Py_None);
    } else if constexpr (M.gil == Gil::Released) {
      return out(without_gil(run));
    } else {
      return out(run());
    }
  }

  template <class Values, size_t... I>
  static bool convert_plain(PyObject* const* slots, Values& values, std::index_sequence<I...>) {
    return (detail::convert_argument<Param<I + kFirst>>(slots[I], sig.params[I], std::get<I>(values)) && ...);
  }

  // Slot S (a signature parameter after the plain ones) into the request's
  // field of the same name.
  template <size_t S, class Request>
  static bool convert_field(PyObject* slot, Request& request) {
    constexpr size_t f = detail::request_field_index<Request>(sig.params[S]);
    static_assert(f < std::tuple_size_v<decltype(RequestFields<Request>::kFields)>,
                  "every parameter after the plain ones must name a field of the request struct");
    constexpr auto member = std::remove_cvref_t<decltype(std::get<f>(RequestFields<Request>::kFields))>::member;
    using Field = std::remove_cvref_t<decltype(request.*member)>;
    return detail::convert_argument<Field>(slot, sig.params[S], request.*member);
  }
  template <class Request, size_t... J>
  static bool convert_request(PyObject* const* slots, Request& request, std::index_sequence<J...>) {
    return (convert_field<J + kPlain>(slots[J + kPlain], request) && ...);
  }

  static constexpr auto result_to_py = [](const auto& r) { return to_py<std::remove_cvref_t<decltype(r)>>(r); };

  static PyObject* fast(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return call_frame([&]() -> PyObject* {
      std::array<PyObject*, kCount> slots{};
      if (!extract_arguments(sig, args, nargs, kwnames, slots.data())) return nullptr;
      return convert_and_run(self, slots.data(), result_to_py, std::make_index_sequence<kBody>{});
    });
  }

  static PyObject* no_args(PyObject* self, PyObject*) {
    return call_frame([&] { return convert_and_run(self, nullptr, result_to_py, std::index_sequence<>{}); });
  }

  static PyObject* construct(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
    static_assert(!sig.takes_self && sig.name == sig.cls, "a constructor is declared by its class docstring");
    return call_frame([&]() -> PyObject* {
      std::array<PyObject*, kCount> slots{};
      if (!extract_arguments(sig, args, kwargs, slots.data())) return nullptr;
      auto out = [type](Result&& r) { return NewInstance<std::remove_cvref_t<Result>>::make(type, std::move(r)); };
      return convert_and_run(nullptr, slots.data(), out, std::make_index_sequence<kBody>{});
    });
  }

 public:
  static newfunc new_slot() { return &construct; }

  // The host takes a text signature only when "\n--\n\n" follows it; a
  // method without docstring text gets the separator here, so its signature
  // still shows (inspect.signature, IDEs) while its __doc__ stays empty.
  static const char* doc() {
    static const std::string text = [] {
      std::string d = M.doc;
      if (d.find("\n--\n\n") == std::string::npos) d += "\n--\n\n";
      return d;
    }();
    return text.c_str();
  }

  static PyMethodDef def() {
    int flags = sig.cls.empty() || sig.takes_self ? 0 : METH_STATIC;
    if constexpr (sig.count == 0 && !sig.cls.empty()) {  // a module function always takes keywords
      return PyMethodDef{kName.data(), &no_args, flags | METH_NOARGS, doc()};
    } else {
      return PyMethodDef{kName.data(), reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(&fast)),
                         flags | METH_FASTCALL | METH_KEYWORDS, doc()};
    }
  }
};

// The method-table row of a Method.
template <const auto& M>
PyMethodDef bind() {
  return Bound<M>::def();
}

// The new-object slot of a class from a Method whose owner is the class and
// whose docstring is the class docstring ("Name(parameters)\n--\n\n..."):
// arguments are extracted and converted as for any method, messages name
// "Name.__new__()", and the body's native value becomes the new instance.
//
//   ArchivalRule new_rule(std::string tag, uint32_t max_age_days, uint64_t keep_recent);
//   constexpr Method kNewRule{"ArchivalRule", kArchivalRuleDoc, new_rule};
//   ... bind_new<kNewRule>() ...
template <const auto& M>
newfunc bind_new() {
  return Bound<M>::new_slot();
}

}  // namespace vesk::py
