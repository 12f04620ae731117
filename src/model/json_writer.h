// JsonWriter: appends JSON text to one growable byte buffer.
//
// Compact by default: no whitespace between tokens, "," between members and
// ":" between key and value. The pretty style puts one member or element per
// line, indented by two blanks per level, with ": " after keys; empty
// containers stay "[]" and "{}".
//
// Strings get the minimal escaping: '"' and '\' are preceded by '\'; 0x08,
// 0x09, 0x0A, 0x0C and 0x0D become \b \t \n \f \r; every other byte below 0x20
// becomes \u00XX (lower-case hex); everything else, non-ASCII and 0x7F
// included, is copied as is, and '/' is not escaped.
//
// Floats follow json_number.h. A NaN or infinite float has no JSON number:
// by default it is written as null, which every reader of ours refuses where
// a float is due. A writer made with JsonNonFinite::Zero writes 0.0 instead,
// for files that must always read back whole (the persisted surfaces of the
// cognitive layers); the record forms keep null.
// Members are written in the order the caller gives them. The writer cannot
// fail: it only appends to memory.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vesk {

enum class JsonStyle : uint8_t { Compact, Pretty };
// What f32() and f64() write for a NaN or an infinity.
enum class JsonNonFinite : uint8_t { Null, Zero };

class JsonWriter {
 public:
  explicit JsonWriter(std::string& out, JsonStyle style = JsonStyle::Compact,
                      JsonNonFinite non_finite = JsonNonFinite::Null)
      : out_(out), pretty_(style == JsonStyle::Pretty), non_finite_zero_(non_finite == JsonNonFinite::Zero) {}

  void begin_object() { open('{'); }
  void end_object() { close('}'); }
  void begin_array() { open('['); }
  void end_array() { close(']'); }
  // The key of the next object member.
  void key(std::string_view k);

  void null() { before_value(); out_.append("null"); }
  void boolean(bool b) { before_value(); out_.append(b ? "true" : "false"); }
  void u64(uint64_t v);
  void i64(int64_t v);
  void f64(double v);
  void f32(float v);
  void string(std::string_view s) { before_value(); append_json_string(out_, s); }
  // A value that is already JSON text (written verbatim).
  void raw(std::string_view json) { before_value(); out_.append(json); }

  // An object member, the same text as key(k) and then f32(v) or string(v),
  // appended at once when the texts are short and need no escaping: the
  // writers of link maps, where a record's text is mostly such members.
  void f32_member(std::string_view k, float v);
  void string_member(std::string_view k, std::string_view v);

  std::string& buffer() { return out_; }

  // Appends s as a quoted, escaped JSON string.
  static void append_json_string(std::string& out, std::string_view s);

 private:
  void open(char c);
  void close(char c);
  void before_value();
  void newline_indent();
  void non_finite();
  // Writes ',' when due and '"k":' at p; returns the end. k is plain.
  char* member_head(char* p, std::string_view k);

  std::string& out_;
  bool pretty_;
  bool non_finite_zero_;
  bool after_key_ = false;
  // One entry per open container: whether it already holds a member.
  std::vector<bool> nonempty_;
};

}  // namespace vesk
