// Structures in JSON: one field table per persisted form drives both the
// writer and the reader.
//
//   struct Patch { std::string id; StringMap metadata; };
//   template <> struct JsonCodec<Patch> : JsonStructCodec<Patch> {
//     static const JsonStruct<Patch>& fields() {
//       static const JsonStruct<Patch> s("struct Patch", {
//           json_field<&Patch::id>("i"),
//           json_field<&Patch::metadata>("m", kJsonDefault | kJsonOmitEmpty)});
//       return s;
//     }
//   };
//
// Writing: an object with the fields in table order (a kJsonOmitEmpty field is
// left out when it is none or empty).
//
// Reading accepts two forms:
//   - an object: members in any order; a key is compared byte for byte with
//     the field names; members not in the table are skipped whole; a field
//     given twice fails with "duplicate field `name`" (positioned right after
//     the repeated key); when the object closes, the first absent field that
//     is required, in table order, fails with "missing field `name`". Absent
//     kJsonDefault fields keep the value the target already holds (read into a
//     default-constructed T, that is the type's default); an absent
//     std::optional field is none.
//   - an array of the field values in table order: the values may stop early
//     only before kJsonDefault fields; a missing value of any other field
//     (std::optional ones included) fails with "invalid length {index},
//     expected {struct Name} with {N} elements"; a value beyond the last field
//     fails with "trailing characters".
// Anything else fails with "invalid type: {found}, expected struct Name".
#pragma once

#include <cstring>
#include <initializer_list>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "model/json_codec.h"

namespace vesk {

inline constexpr unsigned kJsonRequired = 0;
inline constexpr unsigned kJsonDefault = 1;    // may be absent; keeps the default
inline constexpr unsigned kJsonOmitEmpty = 2;  // written only when present / not empty

template <typename T>
struct JsonField {
  std::string_view name;
  bool has_default = false;
  bool optional = false;  // a std::optional member: absent from an object means none
  bool (*read)(JsonReader&, T&) = nullptr;
  void (*write)(JsonWriter&, const T&) = nullptr;
  bool (*omit)(const T&) = nullptr;  // when set and true, the writer leaves the member out
};

namespace json_detail {

template <typename M>
struct MemberOf;
template <typename C, typename V>
struct MemberOf<V C::*> {
  using Class = C;
  using Value = V;
};

template <typename V>
struct IsOptional : std::false_type {};
template <typename V>
struct IsOptional<std::optional<V>> : std::true_type {};

template <typename V>
bool is_empty_value(const V& v) {
  if constexpr (IsOptional<V>::value)
    return !v.has_value();
  else if constexpr (requires { v.empty(); })
    return v.empty();
  else
    return false;
}

}  // namespace json_detail

// A field stored in a data member, read and written with the member's codec.
template <auto Member>
JsonField<typename json_detail::MemberOf<decltype(Member)>::Class> json_field(std::string_view name,
                                                                              unsigned flags = kJsonRequired) {
  using C = typename json_detail::MemberOf<decltype(Member)>::Class;
  using V = typename json_detail::MemberOf<decltype(Member)>::Value;
  JsonField<C> f;
  f.name = name;
  f.has_default = (flags & kJsonDefault) != 0;
  f.optional = json_detail::IsOptional<V>::value;
  f.read = [](JsonReader& r, C& o) { return JsonCodec<V>::read(r, o.*Member); };
  f.write = [](JsonWriter& w, const C& o) { JsonCodec<V>::write(w, o.*Member); };
  if (flags & kJsonOmitEmpty) f.omit = [](const C& o) { return json_detail::is_empty_value(o.*Member); };
  return f;
}

// A field with its own read and write functions.
template <typename T>
JsonField<T> json_field_fn(std::string_view name, bool (*read)(JsonReader&, T&), void (*write)(JsonWriter&, const T&),
                           unsigned flags = kJsonRequired, bool optional = false) {
  JsonField<T> f;
  f.name = name;
  f.has_default = (flags & kJsonDefault) != 0;
  f.optional = optional;
  f.read = read;
  f.write = write;
  return f;
}

template <typename T>
struct JsonStruct {
  // expecting: how type errors name the structure ("struct Record",
  // "struct variant AuditAction::Store").
  JsonStruct(std::string_view expecting_text, std::initializer_list<JsonField<T>> list)
      : expecting(expecting_text), fields(list) {
    expecting_elements = expecting + " with " + std::to_string(fields.size()) +
                         (fields.size() == 1 ? " element" : " elements");
  }
  std::string expecting;
  std::string expecting_elements;
  std::vector<JsonField<T>> fields;

  // Index of the field named key, or -1; the search starts at hint because
  // members usually come in table order.
  int find(std::string_view key, size_t hint) const {
    const size_t n = fields.size();
    for (size_t k = 0; k < n; ++k) {
      size_t i = hint + k;
      if (i >= n) i -= n;
      const std::string_view name = fields[i].name;
      if (name.size() == key.size() && std::memcmp(name.data(), key.data(), key.size()) == 0) return static_cast<int>(i);
    }
    return -1;
  }
};

namespace json_detail {

template <typename T>
bool read_members(JsonReader& r, T& out, const JsonStruct<T>& s) {
  std::vector<bool> seen_big;
  uint64_t seen = 0;
  const size_t n = s.fields.size();
  if (n > 64) seen_big.assign(n, false);
  size_t hint = 0;
  for (;;) {
    bool has = false;
    std::string_view key;
    if (!r.next_key(has, key)) return false;
    if (!has) break;
    const int idx = s.find(key, hint);
    if (idx < 0) {
      if (!r.object_colon() || !r.skip_value()) return false;
      continue;
    }
    const size_t i = static_cast<size_t>(idx);
    const bool dup = n > 64 ? seen_big[i] : ((seen >> i) & 1) != 0;
    if (dup) return r.fail_duplicate_field(s.fields[i].name);
    if (n > 64)
      seen_big[i] = true;
    else
      seen |= uint64_t{1} << i;
    if (!r.object_colon() || !s.fields[i].read(r, out)) return false;
    hint = i + 1;
  }
  for (size_t i = 0; i < n; ++i) {
    const bool was = n > 64 ? seen_big[i] : ((seen >> i) & 1) != 0;
    const JsonField<T>& f = s.fields[i];
    if (!was && !f.has_default && !f.optional) return r.fail_missing_field(f.name);
  }
  return true;
}

template <typename T>
bool read_positional(JsonReader& r, T& out, const JsonStruct<T>& s) {
  for (size_t i = 0; i < s.fields.size(); ++i) {
    bool has = false;
    if (!r.next_element(has)) return false;
    if (!has) {
      if (s.fields[i].has_default) continue;
      return r.fail_invalid_length(i, s.expecting_elements);
    }
    if (!s.fields[i].read(r, out)) return false;
  }
  return true;
}

}  // namespace json_detail

// Reads a structure into out, which must hold the defaults of the absent
// fields (normally a default-constructed T).
template <typename T>
bool json_read_struct(JsonReader& r, T& out, const JsonStruct<T>& s) {
  bool array_form = false;
  if (!r.begin_struct(s.expecting, array_form)) return false;
  const bool ok = array_form ? json_detail::read_positional(r, out, s) : json_detail::read_members(r, out, s);
  return r.end_struct(array_form, ok);
}

// Reads a structure from the object form only, for files whose layout has no
// positional array form; an array fails as any other wrong type does.
template <typename T>
bool json_read_struct_object(JsonReader& r, T& out, const JsonStruct<T>& s) {
  if (!r.begin_map(s.expecting)) return false;
  return r.end_map(json_detail::read_members(r, out, s));
}

template <typename T>
void json_write_struct(JsonWriter& w, const T& v, const JsonStruct<T>& s) {
  w.begin_object();
  for (const auto& f : s.fields) {
    if (f.omit && f.omit(v)) continue;
    w.key(f.name);
    f.write(w, v);
  }
  w.end_object();
}

// Base of the codec of a structure whose JsonCodec<T> provides
// `static const JsonStruct<T>& fields()`.
template <typename T>
struct JsonStructCodec {
  static bool read(JsonReader& r, T& v) { return json_read_struct(r, v, JsonCodec<T>::fields()); }
  static void write(JsonWriter& w, const T& v) { json_write_struct(w, v, JsonCodec<T>::fields()); }
};

// Enumerations without content, written as their names: "Name", and read from
// "Name" or {"Name":null}.
template <typename E>
struct JsonUnitEnum {
  std::vector<std::string_view> names;
  std::vector<E> values;

  bool read(JsonReader& r, E& out) const {
    size_t i = 0;
    if (!r.read_unit_variant(names, i)) return false;
    out = values[i];
    return true;
  }
  void write(JsonWriter& w, E v) const {
    for (size_t i = 0; i < values.size(); ++i)
      if (values[i] == v) return w.string(names[i]);
    w.null();
  }
};

// The codec of an enumeration whose values are 0, 1, 2, ... in the order of
// `Names` (a static array of string_view): written as its name, read from
// "Name" or {"Name":null} with the name matched exactly.
template <typename E, const auto& Names>
struct JsonIndexedEnumCodec {
  static bool read(JsonReader& r, E& v) {
    size_t i = 0;
    if (!r.read_unit_variant(Names, i)) return false;
    v = static_cast<E>(i);
    return true;
  }
  static void write(JsonWriter& w, const E& v) {
    const auto i = static_cast<size_t>(v);
    if (i < std::size(Names)) return w.string(Names[i]);
    w.null();
  }
};

}  // namespace vesk
