// Native classes: Python classes whose instances each hold one C++ value.
//
// Value classes (read-only results), configuration classes (settings a caller
// builds and changes) and enumerations (binding/enums.h) are all declared as
// a table of attributes over a C++ type. A class is declared once in a header
// of python/, so that every body can hand its values out or take them in:
//
//   template <> struct NativeClass<DecayReport> { static ClassObject& object(); };
//
// and defined once, beside its table, in a .cc of python/:
//
//   ClassObject& NativeClass<DecayReport>::object() {
//     static ValueClass<DecayReport> cls{"vesk._core.DecayReport", "Decay phase report.", {
//         field<&DecayReport::records_decayed>("records_decayed", "Records whose strength fell."),
//         field<&DecayReport::ids>("ids"),
//     }};
//     return cls;
//   }
//
// From then on:
// - ToPy<DecayReport> makes a new instance holding a copy of the value, so
//   results, list items and nested attributes of that type just work;
// - FromPy<DecayReport> copies the value out of an instance of the class (or
//   a subclass), else TypeError "'{}' object cannot be converted to
//   'DecayReport'";
// - method bodies of the class may take `DecayReport& self`.
//
// Attributes: `field<&T::m>` reads member m, `computed<&f>` calls
// `R f(const T&)`; both are read-only. `setting<&T::m>` also assigns: the
// new value converts with FromPy first (a TypeError prefixed "argument
// '{name}': ") and replaces the member only when that succeeded; deleting it
// raises AttributeError "can't delete attribute". Every read converts a copy
// of the member into new Python objects, so changing a returned list, dict or
// nested object never changes the value held.
//
// Instances have no instance dictionary, and compare and hash by identity
// unless the class adds slots of its own. A class without a constructor
// (ValueClass, EnumClass) raises TypeError "No constructor defined for {name}".
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <concepts>
#include <cstring>
#include <initializer_list>
#include <new>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "binding/call.h"
#include "binding/classes.h"
#include "binding/convert.h"

namespace vesk::py {

// The memory layout of an instance.
template <class T>
struct Native {
  PyObject_HEAD
  T value;
};

// Specialised (declared) for each C++ type that has a class of the module.
template <class T>
struct NativeClass;

template <class T>
concept Wrapped = requires {
  { NativeClass<T>::object() } -> std::convertible_to<ClassObject&>;
};

// The value held by an instance of T's class (the caller has checked the type).
template <class T>
T& native_value(PyObject* self) {
  return reinterpret_cast<Native<T>*>(self)->value;
}

// The class's own name from "module.Name".
inline const char* short_class_name(PyTypeObject* type) {
  const char* name = type->tp_name;
  const char* dot = std::strrchr(name, '.');
  return dot ? dot + 1 : name;
}

// A new instance of `type` (T's class) holding `value`.
template <class T, class V>
PyObject* wrap_as(PyTypeObject* type, V&& value) {
  PyObject* o = type->tp_alloc(type, 0);
  if (!o) return nullptr;
  try {
    ::new (static_cast<void*>(&native_value<T>(o))) T(std::forward<V>(value));
  } catch (...) {
    // The value was never built: free the memory without the destructor.
    type->tp_free(o);
    Py_DECREF(type);
    throw;
  }
  return o;
}

template <Wrapped T>
PyObject* wrap(const T& value) {
  PyTypeObject* type = NativeClass<T>::object().get();
  return type ? wrap_as<T>(type, value) : nullptr;
}

// The value inside an instance of T's class or of a subclass; null with the
// conversion TypeError for anything else.
template <Wrapped T>
T* unwrap(PyObject* o) {
  PyTypeObject* type = NativeClass<T>::object().get();
  if (!type) return nullptr;
  if (!PyObject_TypeCheck(o, type)) {
    conversion_error(o, short_class_name(type));
    return nullptr;
  }
  return &native_value<T>(o);
}

template <Wrapped T>
struct ToPy<T> {
  static PyObject* convert(const T& value) { return wrap(value); }
};

template <Wrapped T>
struct FromPy<T> {
  static bool convert(PyObject* o, T& out) {
    const T* value = unwrap<T>(o);
    if (!value) return false;
    out = *value;
    return true;
  }
};

template <Wrapped T>
struct PyClass<T> {
  static T* unwrap(PyObject* self) { return py::unwrap<T>(self); }
};

template <Wrapped T>
struct NewInstance<T> {
  static PyObject* make(PyTypeObject* type, T&& value) { return wrap_as<T>(type, std::move(value)); }
};
template <Wrapped T>
struct NewInstance<Result<T>> {
  static PyObject* make(PyTypeObject* type, Result<T>&& r) {
    if (!r.ok()) return raise(r.status());
    return wrap_as<T>(type, std::move(r).value());
  }
};

// ---- Attributes --------------------------------------------------------------

struct Attribute {
  const char* name;
  getter get;
  setter set;       // null: read-only
  const char* doc;  // null: no doc text
};

namespace detail {

template <class M>
struct MemberOf;
template <class T, class F>
struct MemberOf<F T::*> {
  using Owner = T;
  using Type = F;
};

template <class F>
struct ComputedOf;
template <class R, class A>
struct ComputedOf<R (*)(A)> {
  using Owner = std::remove_cvref_t<A>;
};

template <auto Member>
PyObject* get_field(PyObject* self, void*) {
  using Owner = typename MemberOf<decltype(Member)>::Owner;
  return call_frame([&] { return to_py(native_value<Owner>(self).*Member); });
}

template <auto Fn>
PyObject* get_computed(PyObject* self, void*) {
  using Owner = typename ComputedOf<decltype(Fn)>::Owner;
  return call_frame([&] {
    const auto value = Fn(native_value<Owner>(self));
    return to_py(value);
  });
}

// `closure` is the attribute's name, for the argument prefix.
template <auto Member>
int set_field(PyObject* self, PyObject* value, void* closure) {
  using Owner = typename MemberOf<decltype(Member)>::Owner;
  using Type = typename MemberOf<decltype(Member)>::Type;
  PyObject* done = call_frame([&]() -> PyObject* {
    if (!value) return set_error(PyExc_AttributeError, "can't delete attribute");
    // Convert the whole value before touching the member: a failed
    // assignment leaves it as it was.
    Type converted{};
    if (!FromPy<Type>::convert(value, converted)) {
      if constexpr (prefixes_type_errors<Type>()) prefix_type_error(static_cast<const char*>(closure));
      return nullptr;
    }
    native_value<Owner>(self).*Member = std::move(converted);
    return Py_NewRef(Py_None);
  });
  if (!done) return -1;
  Py_DECREF(done);
  return 0;
}

}  // namespace detail

// A read-only attribute reading member `Member`.
template <auto Member>
constexpr Attribute field(const char* name, const char* doc = nullptr) {
  return {name, &detail::get_field<Member>, nullptr, doc};
}
// A read-only attribute computed by `R Fn(const T&)`.
template <auto Fn>
constexpr Attribute computed(const char* name, const char* doc = nullptr) {
  return {name, &detail::get_computed<Fn>, nullptr, doc};
}
// A read-write attribute over member `Member`.
template <auto Member>
constexpr Attribute setting(const char* name, const char* doc = nullptr) {
  return {name, &detail::get_field<Member>, &detail::set_field<Member>, doc};
}

// ---- Class objects ---------------------------------------------------------------

namespace detail {

// The host's tables for one class; they must outlive the class object, which
// points into them.
struct NativeClassSpec {
  std::vector<PyGetSetDef> getset;
  std::vector<PyType_Slot> slots;
  NativeClassSpec(destructor dealloc, newfunc construct, std::initializer_list<Attribute> attrs,
                  std::initializer_list<PyType_Slot> extra);
};

}  // namespace detail

template <class T>
class NativeClassObject : private detail::NativeClassSpec, public ClassObject {
 public:
  // `construct` null: no constructor. `extra`: further slots (repr, comparison...).
  NativeClassObject(const char* qualname, const char* doc, newfunc construct, std::initializer_list<Attribute> attrs,
                    std::initializer_list<PyType_Slot> extra = {})
      : detail::NativeClassSpec(&dealloc, construct, attrs, extra),
        ClassObject(qualname, doc, static_cast<int>(sizeof(Native<T>)), 0, slots.data()) {}

 private:
  static void dealloc(PyObject* self) {
    PyTypeObject* type = Py_TYPE(self);
    native_value<T>(self).~T();
    type->tp_free(self);
    Py_DECREF(type);
  }
};

// A read-only result: `field` and `computed` attributes, no constructor.
template <class T>
class ValueClass : public NativeClassObject<T> {
 public:
  ValueClass(const char* qualname, const char* doc, std::initializer_list<Attribute> attrs)
      : NativeClassObject<T>(qualname, doc, nullptr, attrs) {}
};

// A setting: `setting` attributes and a constructor made by bind_new from a
// Method whose docstring is the class docstring.
template <class T>
class ConfigClass : public NativeClassObject<T> {
 public:
  ConfigClass(const char* qualname, const char* doc, newfunc construct, std::initializer_list<Attribute> attrs)
      : NativeClassObject<T>(qualname, doc, construct, attrs) {}
};

}  // namespace vesk::py
