#include "record_class.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "binding/enums.h"
#include "enum_classes.h"

namespace vesk::py {

float record_epistemic_health(const Record& r) {
  float s = std::log(static_cast<float>(r.support_mass) + 1.0f);
  float c = std::log(static_cast<float>(r.conflict_mass) + 1.0f);
  float ratio = s + c > 0.0f ? s / (s + c) : 0.5f;
  return (1.0f + r.volatility * -0.5f) * (ratio * r.confidence);
}

std::string record_repr(const Record& r) {
  std::string out = "Record(id='";
  out += r.id;
  out += "', level=";
  out += level_display_name(r.level);
  char strength[64];
  std::snprintf(strength, sizeof strength, ", strength=%.2f", static_cast<double>(r.strength));
  out += strength;
  if (r.namespace_ != "default") {
    out += ", ns='";
    out += r.namespace_;
    out += "'";
  }
  // The first 40 characters: cut before the 41st lead byte.
  size_t end = 0, chars = 0;
  while (end < r.content.size()) {
    if ((static_cast<unsigned char>(r.content[end]) & 0xC0) != 0x80 && chars++ == 40) break;
    ++end;
  }
  out += ", content='";
  out.append(r.content, 0, end);
  out += "...')";
  return out;
}

namespace {

float importance(const Record& r) { return record_importance(r); }
float epistemic_health(const Record& r) { return record_epistemic_health(r); }

PyObject* repr(PyObject* self) {
  return call_frame([&] { return to_py(record_repr(native_value<Record>(self))); });
}

}  // namespace

ClassObject& NativeClass<Record>::object() {
  static NativeClassObject<Record> cls{
      "vesk._core.Record",
      "A single cognitive memory record.",
      nullptr,
      {
          field<&Record::id>("id"),
          field<&Record::content>("content"),
          field<&Record::level>("level"),
          field<&Record::pinned>("pinned"),
          field<&Record::strength>("strength"),
          field<&Record::activation_count>("activation_count"),
          field<&Record::created_at>("created_at"),
          field<&Record::last_activated>("last_activated"),
          field<&Record::valid_from>("valid_from"),
          field<&Record::valid_until>("valid_until"),
          field<&Record::superseded_at>("superseded_at"),
          field<&Record::tags>("tags"),
          field<&Record::connections>("connections"),
          field<&Record::connection_types>("connection_types"),
          field<&Record::content_type>("content_type"),
          field<&Record::metadata>("metadata"),
          field<&Record::vesk_id>("vesk_id"),
          field<&Record::caused_by_id>("caused_by_id"),
          field<&Record::namespace_>("namespace"),
          field<&Record::source_type>("source_type"),
          field<&Record::semantic_type>("semantic_type"),
          field<&Record::activation_velocity>("activation_velocity"),
          field<&Record::confidence>("confidence"),
          field<&Record::support_mass>("support_mass"),
          field<&Record::conflict_mass>("conflict_mass"),
          field<&Record::volatility>("volatility"),
          computed<&epistemic_health>("epistemic_health"),
          computed<&importance>("importance"),
      },
      {{Py_tp_repr, reinterpret_cast<void*>(&repr)}}};
  return cls;
}

}  // namespace vesk::py
