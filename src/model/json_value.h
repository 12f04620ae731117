// JsonValue: a JSON document held in memory, for the few places whose shape
// is not fixed. Objects keep their members in insertion order; setting a key
// that is already present replaces its value in place. Numbers keep their
// kind: a non-negative integer, a negative integer or a float.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "model/json_codec.h"

namespace vesk {

class JsonValue;

class JsonObject {
 public:
  using Entry = std::pair<std::string, JsonValue>;

  size_t size() const { return entries_.size(); }
  bool empty() const { return entries_.empty(); }
  auto begin() const { return entries_.begin(); }
  auto end() const { return entries_.end(); }

  const JsonValue* find(std::string_view key) const;
  JsonValue* find(std::string_view key);
  // Replaces the value of a present key in place, or appends the member.
  void set(std::string key, JsonValue value);
  // Appends a member without looking for the key: for builders whose keys
  // are distinct by construction.
  void append(std::string key, JsonValue value);
  void reserve(size_t n);
  // The value under key, appending a null member when absent.
  JsonValue& operator[](std::string_view key);

  bool operator==(const JsonObject& o) const;

 private:
  std::vector<Entry> entries_;
};

class JsonValue {
 public:
  enum class Kind : uint8_t { Null, Bool, UInt, Int, Float, String, Array, Object };
  using Array = std::vector<JsonValue>;

  JsonValue() = default;
  JsonValue(std::nullptr_t) {}
  JsonValue(bool b) : v_(b) {}
  JsonValue(int i) : JsonValue(static_cast<int64_t>(i)) {}
  JsonValue(unsigned u) : v_(static_cast<uint64_t>(u)) {}
  JsonValue(uint64_t u) : v_(u) {}
  // A negative integer is kept as such; a non-negative one as unsigned.
  JsonValue(int64_t i) {
    if (i < 0)
      v_ = i;
    else
      v_ = static_cast<uint64_t>(i);
  }
  JsonValue(double d) : v_(d) {}
  JsonValue(const char* s) : v_(std::string(s)) {}
  JsonValue(std::string_view s) : v_(std::string(s)) {}
  JsonValue(std::string s) : v_(std::move(s)) {}
  JsonValue(Array a) : v_(std::move(a)) {}
  JsonValue(JsonObject o) : v_(std::move(o)) {}

  Kind kind() const { return static_cast<Kind>(v_.index()); }
  bool is_null() const { return kind() == Kind::Null; }
  bool is_number() const { return kind() == Kind::UInt || kind() == Kind::Int || kind() == Kind::Float; }

  bool as_bool() const { return std::get<bool>(v_); }
  uint64_t as_u64() const { return std::get<uint64_t>(v_); }
  int64_t as_i64() const { return std::get<int64_t>(v_); }
  // Any number as a 64-bit float.
  double as_f64() const;
  const std::string& as_string() const { return std::get<std::string>(v_); }
  const Array& as_array() const { return std::get<Array>(v_); }
  Array& as_array() { return std::get<Array>(v_); }
  const JsonObject& as_object() const { return std::get<JsonObject>(v_); }
  JsonObject& as_object() { return std::get<JsonObject>(v_); }

  bool operator==(const JsonValue& o) const { return v_ == o.v_; }

 private:
  std::variant<std::monostate, bool, uint64_t, int64_t, double, std::string, Array, JsonObject> v_;
};

inline void JsonObject::append(std::string key, JsonValue value) {
  entries_.emplace_back(std::move(key), std::move(value));
}
inline void JsonObject::reserve(size_t n) { entries_.reserve(n); }

template <>
struct JsonCodec<JsonValue> {
  static bool read(JsonReader& r, JsonValue& v);
  static void write(JsonWriter& w, const JsonValue& v);
};

}  // namespace vesk
