#include "model/json_value.h"

namespace vesk {

const JsonValue* JsonObject::find(std::string_view key) const {
  for (const auto& e : entries_)
    if (e.first == key) return &e.second;
  return nullptr;
}

JsonValue* JsonObject::find(std::string_view key) {
  for (auto& e : entries_)
    if (e.first == key) return &e.second;
  return nullptr;
}

void JsonObject::set(std::string key, JsonValue value) {
  if (JsonValue* v = find(key)) {
    *v = std::move(value);
    return;
  }
  entries_.emplace_back(std::move(key), std::move(value));
}

JsonValue& JsonObject::operator[](std::string_view key) {
  if (JsonValue* v = find(key)) return *v;
  entries_.emplace_back(std::string(key), JsonValue());
  return entries_.back().second;
}

bool JsonObject::operator==(const JsonObject& o) const { return entries_ == o.entries_; }

double JsonValue::as_f64() const {
  switch (kind()) {
    case Kind::UInt: return static_cast<double>(std::get<uint64_t>(v_));
    case Kind::Int: return static_cast<double>(std::get<int64_t>(v_));
    default: return std::get<double>(v_);
  }
}

bool JsonCodec<JsonValue>::read(JsonReader& r, JsonValue& v) {
  switch (r.peek_char()) {
    case 'n':
      v = JsonValue();
      return r.read_unit();
    case 't':
    case 'f': {
      bool b = false;
      if (!r.read_bool(b)) return false;
      v = JsonValue(b);
      return true;
    }
    case '"': {
      std::string s;
      if (!r.read_string(s)) return false;
      v = JsonValue(std::move(s));
      return true;
    }
    case '[': {
      JsonValue::Array a;
      if (!r.begin_seq()) return false;
      bool ok = true, has = false;
      while ((ok = r.next_element(has)) && has)
        if (!(ok = read(r, a.emplace_back()))) break;
      if (!r.end_seq(ok)) return false;
      v = JsonValue(std::move(a));
      return true;
    }
    case '{': {
      JsonObject o;
      if (!r.begin_map()) return false;
      bool ok = true, has = false;
      std::string_view key;
      while ((ok = r.next_key(has, key)) && has) {
        std::string k(key);
        JsonValue member;
        if (!(ok = r.object_colon() && read(r, member))) break;
        o.set(std::move(k), std::move(member));
      }
      if (!r.end_map(ok)) return false;
      v = JsonValue(std::move(o));
      return true;
    }
    default: {
      const int c = r.peek_char();
      if (c == '-' || (c >= '0' && c <= '9')) {
        JsonNumber n;
        if (!r.read_number(n, "any valid JSON value")) return false;
        switch (n.kind) {
          case JsonNumber::Kind::U64: v = JsonValue(n.u); break;
          case JsonNumber::Kind::I64: v = JsonValue(n.i); break;
          case JsonNumber::Kind::F64: v = JsonValue(n.f); break;
        }
        return true;
      }
      // Not a value: the skipper reports the end of input or "expected value".
      return r.skip_value();
    }
  }
}

void JsonCodec<JsonValue>::write(JsonWriter& w, const JsonValue& v) {
  switch (v.kind()) {
    case JsonValue::Kind::Null: w.null(); break;
    case JsonValue::Kind::Bool: w.boolean(v.as_bool()); break;
    case JsonValue::Kind::UInt: w.u64(v.as_u64()); break;
    case JsonValue::Kind::Int: w.i64(v.as_i64()); break;
    case JsonValue::Kind::Float: w.f64(v.as_f64()); break;
    case JsonValue::Kind::String: w.string(v.as_string()); break;
    case JsonValue::Kind::Array:
      w.begin_array();
      for (const auto& e : v.as_array()) write(w, e);
      w.end_array();
      break;
    case JsonValue::Kind::Object:
      w.begin_object();
      for (const auto& [k, m] : v.as_object()) {
        w.key(k);
        write(w, m);
      }
      w.end_object();
      break;
  }
}

}  // namespace vesk
