// Enumeration classes: a C++ enum as a Python class whose members are class
// attributes holding instances of the class.
//
//   ClassObject& NativeClass<OutcomeKind>::object() {
//     static EnumClass<OutcomeKind> cls{"vesk._core.OutcomeKind", "Externally observed result ...",
//                                       {{"Helpful", 0}, {"Unhelpful", 1}, {"Inconclusive", 2}}};
//     return cls;
//   }
//
// Behaviour of every enumeration:
// - members are made once, when the class object is built, and stay the
//   same objects; values handed out later are new instances equal to them;
// - repr "Class.Member" (with a display function: "Class." + display name),
//   str the same (with a display function: the display name alone);
// - int(member) is its value; there is no __index__ and no __bool__, so every
//   member is true, value 0 included;
// - == and != against an instance of the same class compare values, and
//   against anything the host reads as an integer of type `Wide` compare
//   with the value; everything else is NotImplemented, so ordering raises
//   TypeError and foreign objects are simply unequal;
// - defining equality, the class is unhashable;
// - no constructor ("No constructor defined for {name}").
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "binding/native.h"

namespace vesk::py {

struct EnumMember {
  const char* name;
  int64_t value;
};

template <class E, class Wide = int64_t>
class EnumClass : public NativeClassObject<E> {
 public:
  using Display = std::string_view (*)(E);

  EnumClass(const char* qualname, const char* doc, std::vector<EnumMember> members, Display display = nullptr,
            std::initializer_list<Attribute> attrs = {})
      : NativeClassObject<E>(qualname, doc, nullptr, attrs,
                             {{Py_tp_repr, reinterpret_cast<void*>(&repr)},
                              {Py_tp_str, reinterpret_cast<void*>(&str)},
                              {Py_tp_richcompare, reinterpret_cast<void*>(&richcompare)},
                              {Py_tp_hash, reinterpret_cast<void*>(&PyObject_HashNotImplemented)},
                              {Py_nb_int, reinterpret_cast<void*>(&to_int)}}),
        members_(std::move(members)),
        display_(display) {}

 protected:
  int finish(PyTypeObject* type) override {
    PyRef dict = PyRef::steal(PyType_GetDict(type));
    if (!dict) return -1;
    for (const EnumMember& m : members_) {
      PyRef member = PyRef::steal(wrap_as<E>(type, static_cast<E>(m.value)));
      if (!member || PyDict_SetItemString(dict.get(), m.name, member.get()) < 0) return -1;
    }
    PyType_Modified(type);
    return 0;
  }

 private:
  static const EnumClass& self_class() { return static_cast<const EnumClass&>(NativeClass<E>::object()); }
  static int64_t value_of(PyObject* self) { return static_cast<int64_t>(native_value<E>(self)); }

  static std::string member_text(PyObject* self, bool with_class) {
    const EnumClass& cls = self_class();
    E value = native_value<E>(self);
    std::string text = with_class ? std::string(short_class_name(Py_TYPE(self))) + "." : std::string();
    if (cls.display_) return text + std::string(cls.display_(value));
    for (const EnumMember& m : cls.members_) {
      if (m.value == static_cast<int64_t>(value)) return text + m.name;
    }
    return text + std::to_string(static_cast<int64_t>(value));  // not a member: its number
  }

  static PyObject* repr(PyObject* self) {
    return call_frame([&] { return to_py(member_text(self, true)); });
  }
  static PyObject* str(PyObject* self) {
    return call_frame([&] { return to_py(member_text(self, self_class().display_ == nullptr)); });
  }
  static PyObject* to_int(PyObject* self) { return PyLong_FromLongLong(value_of(self)); }

  static PyObject* richcompare(PyObject* self, PyObject* other, int op) {
    return call_frame([&]() -> PyObject* {
      PyTypeObject* type = NativeClass<E>::object().get();
      if (!type) return nullptr;
      if (!PyObject_TypeCheck(self, type) || (op != Py_EQ && op != Py_NE)) Py_RETURN_NOTIMPLEMENTED;
      int64_t mine = value_of(self), theirs;
      if (PyObject_TypeCheck(other, type)) {
        theirs = value_of(other);
      } else {
        Wide wide{};
        if (!FromPy<Wide>::convert(other, wide)) {  // not an integer of the width: not comparable
          PyErr_Clear();
          Py_RETURN_NOTIMPLEMENTED;
        }
        theirs = static_cast<int64_t>(wide);
      }
      return to_py((mine == theirs) == (op == Py_EQ));
    });
  }

  std::vector<EnumMember> members_;
  Display display_;
};

}  // namespace vesk::py
