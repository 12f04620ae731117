#include "binding/native.h"

namespace vesk::py::detail {

NativeClassSpec::NativeClassSpec(destructor dealloc, newfunc construct, std::initializer_list<Attribute> attrs,
                                 std::initializer_list<PyType_Slot> extra) {
  getset.reserve(attrs.size() + 1);
  for (const Attribute& a : attrs) {
    // The closure carries the name, for the argument prefix of a setter.
    getset.push_back({a.name, a.get, a.set, a.doc, const_cast<char*>(a.name)});
  }
  getset.push_back({});
  slots.push_back({Py_tp_dealloc, reinterpret_cast<void*>(dealloc)});
  if (attrs.size() > 0) slots.push_back({Py_tp_getset, getset.data()});
  if (construct) slots.push_back({Py_tp_new, reinterpret_cast<void*>(construct)});
  slots.insert(slots.end(), extra.begin(), extra.end());
  slots.push_back({0, nullptr});
}

}  // namespace vesk::py::detail
