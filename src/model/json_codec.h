// JsonCodec<T>: how a C++ type is written to and read from JSON.
//
// Every persisted form is a JsonCodec specialisation with two static members:
//   static bool read(JsonReader&, T&);        // false: the error is in the reader
//   static void write(JsonWriter&, const T&);
// This header gives the codecs of the building blocks: bool, the integer
// widths (refusing out-of-range values with "invalid value: integer `n`,
// expected u32" and the like), float and double (any JSON number; written in
// the shortest form of their own width, non-finite as the writer's
// JsonNonFinite says), std::string, std::optional (null or absent = none; an
// optional float holding a NaN or an infinity is written as none, so that it
// reads back as absent rather than as a made-up number), std::vector (a JSON
// array; reading replaces the whole content, as it does for maps and sets),
// std::pair (an array of two) and text-keyed maps, hashed or ordered (a JSON
// object; a repeated key keeps its last value; an ordered map is written in
// ascending byte order of its keys). Structures use json_struct.h.
#pragma once

#include <cmath>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "base/compact_string.h"
#include "model/connection_map.h"
#include "model/json_reader.h"
#include "model/json_writer.h"
#include "base/status.h"

namespace vesk {

template <typename T, typename = void>
struct JsonCodec;

template <typename T>
bool json_read(JsonReader& r, T& v) {
  return JsonCodec<T>::read(r, v);
}
template <typename T>
void json_write(JsonWriter& w, const T& v) {
  JsonCodec<T>::write(w, v);
}

// A whole document holding one T; only whitespace may follow it.
template <typename T>
Result<T> json_parse(std::string_view text) {
  JsonReader r(text);
  T v{};
  if (!JsonCodec<T>::read(r, v) || !r.end()) return r.status();
  return v;
}

template <typename T>
std::string json_to_string(const T& v, JsonStyle style = JsonStyle::Compact,
                           JsonNonFinite non_finite = JsonNonFinite::Null) {
  std::string out;
  JsonWriter w(out, style, non_finite);
  JsonCodec<T>::write(w, v);
  return out;
}

template <>
struct JsonCodec<bool> {
  static bool read(JsonReader& r, bool& v) { return r.read_bool(v); }
  static void write(JsonWriter& w, const bool& v) { w.boolean(v); }
};
template <>
struct JsonCodec<uint64_t> {
  static bool read(JsonReader& r, uint64_t& v) { return r.read_u64(v); }
  static void write(JsonWriter& w, const uint64_t& v) { w.u64(v); }
};
template <>
struct JsonCodec<uint32_t> {
  static bool read(JsonReader& r, uint32_t& v) { return r.read_u32(v); }
  static void write(JsonWriter& w, const uint32_t& v) { w.u64(v); }
};
template <>
struct JsonCodec<uint16_t> {
  static bool read(JsonReader& r, uint16_t& v) { return r.read_u16(v); }
  static void write(JsonWriter& w, const uint16_t& v) { w.u64(v); }
};
template <>
struct JsonCodec<uint8_t> {
  static bool read(JsonReader& r, uint8_t& v) { return r.read_u8(v); }
  static void write(JsonWriter& w, const uint8_t& v) { w.u64(v); }
};
template <>
struct JsonCodec<int64_t> {
  static bool read(JsonReader& r, int64_t& v) { return r.read_i64(v); }
  static void write(JsonWriter& w, const int64_t& v) { w.i64(v); }
};
template <>
struct JsonCodec<int32_t> {
  static bool read(JsonReader& r, int32_t& v) { return r.read_i32(v); }
  static void write(JsonWriter& w, const int32_t& v) { w.i64(v); }
};
template <>
struct JsonCodec<double> {
  static bool read(JsonReader& r, double& v) { return r.read_f64(v); }
  static void write(JsonWriter& w, const double& v) { w.f64(v); }
};
template <>
struct JsonCodec<float> {
  static bool read(JsonReader& r, float& v) { return r.read_f32(v); }
  static void write(JsonWriter& w, const float& v) { w.f32(v); }
};
template <>
struct JsonCodec<std::string> {
  static bool read(JsonReader& r, std::string& v) { return r.read_string(v); }
  static void write(JsonWriter& w, const std::string& v) { w.string(v); }
};

template <>
struct JsonCodec<CompactString> {
  static bool read(JsonReader& r, CompactString& v) {
    std::string s;
    if (!r.read_string(s)) return false;
    v = s;
    return true;
  }
  static void write(JsonWriter& w, const CompactString& v) { w.string(v.view()); }
};

template <typename T>
struct JsonCodec<std::optional<T>> {
  static bool read(JsonReader& r, std::optional<T>& v) {
    bool was_null = false;
    if (!r.read_null(was_null)) return false;
    if (was_null) {
      v.reset();
      return true;
    }
    return JsonCodec<T>::read(r, v.emplace());
  }
  static void write(JsonWriter& w, const std::optional<T>& v) {
    if constexpr (std::is_floating_point_v<T>) {
      if (v && !std::isfinite(*v)) return w.null();
    }
    if (v)
      JsonCodec<T>::write(w, *v);
    else
      w.null();
  }
};

template <typename T>
struct JsonCodec<std::vector<T>> {
  static bool read(JsonReader& r, std::vector<T>& v) {
    if (!r.begin_seq()) return false;
    v.clear();
    bool ok = true, has = false;
    while ((ok = r.next_element(has)) && has) {
      if (!(ok = JsonCodec<T>::read(r, v.emplace_back()))) break;
    }
    return r.end_seq(ok);
  }
  static void write(JsonWriter& w, const std::vector<T>& v) {
    w.begin_array();
    for (const auto& e : v) JsonCodec<T>::write(w, e);
    w.end_array();
  }
};

template <typename A, typename B>
struct JsonCodec<std::pair<A, B>> {
  static bool read(JsonReader& r, std::pair<A, B>& v) {
    static constexpr std::string_view kExpecting = "a tuple of size 2";
    if (!r.begin_seq(kExpecting)) return false;
    bool has = false;
    bool ok = r.next_element(has) && (has || r.fail_invalid_length(0, kExpecting)) && JsonCodec<A>::read(r, v.first) &&
              r.next_element(has) && (has || r.fail_invalid_length(1, kExpecting)) && JsonCodec<B>::read(r, v.second);
    return r.end_seq(ok);
  }
  static void write(JsonWriter& w, const std::pair<A, B>& v) {
    w.begin_array();
    JsonCodec<A>::write(w, v.first);
    JsonCodec<B>::write(w, v.second);
    w.end_array();
  }
};

namespace json_detail {

// Objects with text keys, for any map type with insert_or_assign.
template <typename Map, typename V>
struct TextKeyMapCodec {
  static bool read(JsonReader& r, Map& m) {
    if (!r.begin_map()) return false;
    m.clear();
    bool ok = true, has = false;
    std::string_view key;
    while ((ok = r.next_key(has, key)) && has) {
      std::string k(key);  // the key view does not survive reading the value
      V value{};
      if (!(ok = r.object_colon() && JsonCodec<V>::read(r, value))) break;
      m.insert_or_assign(std::move(k), std::move(value));
    }
    return r.end_map(ok);
  }
  static void write(JsonWriter& w, const Map& m) {
    w.begin_object();
    for (const auto& [k, v] : m) {
      // Link maps and metadata, most of a record's text, take the writer's
      // one-append members.
      if constexpr (std::is_same_v<V, float>) {
        w.f32_member(k, v);
      } else if constexpr (std::is_same_v<V, std::string>) {
        w.string_member(k, v);
      } else if constexpr (std::is_same_v<V, CompactString>) {
        w.string_member(k, v.view());
      } else {
        w.key(k);
        JsonCodec<V>::write(w, v);
      }
    }
    w.end_object();
  }
};

}  // namespace json_detail

template <typename V, typename H, typename E, typename A>
struct JsonCodec<std::unordered_map<std::string, V, H, E, A>>
    : json_detail::TextKeyMapCodec<std::unordered_map<std::string, V, H, E, A>, V> {};

// A record's connections: the capacity left over from reading is given back,
// since a store holds one such map per record.
template <typename V>
struct JsonCodec<ConnectionMap<V>> {
  static bool read(JsonReader& r, ConnectionMap<V>& m) {
    const bool ok = json_detail::TextKeyMapCodec<ConnectionMap<V>, V>::read(r, m);
    m.shrink_to_fit();
    return ok;
  }
  static void write(JsonWriter& w, const ConnectionMap<V>& m) {
    json_detail::TextKeyMapCodec<ConnectionMap<V>, V>::write(w, m);
  }
};

template <typename V, typename C, typename A>
struct JsonCodec<std::map<std::string, V, C, A>> : json_detail::TextKeyMapCodec<std::map<std::string, V, C, A>, V> {};

// Text sets are JSON arrays.
template <typename H, typename E, typename A>
struct JsonCodec<std::unordered_set<std::string, H, E, A>> {
  using Set = std::unordered_set<std::string, H, E, A>;
  static bool read(JsonReader& r, Set& s) {
    if (!r.begin_seq()) return false;
    s.clear();
    bool ok = true, has = false;
    while ((ok = r.next_element(has)) && has) {
      std::string e;
      if (!(ok = r.read_string(e))) break;
      s.insert(std::move(e));
    }
    return r.end_seq(ok);
  }
  static void write(JsonWriter& w, const Set& s) {
    w.begin_array();
    for (const auto& e : s) w.string(e);
    w.end_array();
  }
};

}  // namespace vesk
