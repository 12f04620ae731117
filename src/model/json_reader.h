// JsonReader: a pull reader over one JSON document held in memory.
//
// The reader walks the input once, without building a tree; typed reads fill
// the caller's fields straight from the input. It tracks only a byte offset;
// line and column are worked out when an error is reported.
//
// Errors. The first failure is kept and every later call returns false. The
// message is one of the fixed texts below, followed by " at line L column C"
// (line from 1, column = bytes before the position within its line). Syntax
// errors carry the position where they are found; errors raised about a whole
// value ("missing field", "duplicate field", "invalid length", custom errors
// of a codec) take the position the reader stands at once the enclosing value
// has been closed, or, for a duplicate field, right after its key.
//
// Typed reads skip leading whitespace (blank, tab, line feed, carriage
// return) and refuse a value of the wrong JSON type with
// "invalid type: {found}, expected {expected}"; found is null, boolean `b`,
// integer `n`, floating point `x`, string "s", map or sequence. A scalar found
// in the wrong place is consumed first, so the error points after it; a
// container is not, so the error points at its bracket.
//
// Nesting is limited: the 128th container open at once fails with
// "recursion limit exceeded" (at its bracket), also inside skipped values.
//
// Strings must be valid UTF-8 ("invalid unicode code point"); both the text
// and the byte flavour check, as the input of a C++ string_view carries no
// guarantee.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "base/status.h"

namespace vesk {

// A parsed JSON number: an unsigned or negative integer, or a float.
struct JsonNumber {
  enum class Kind : uint8_t { U64, I64, F64 } kind = Kind::U64;
  uint64_t u = 0;
  int64_t i = 0;
  double f = 0;
};

class JsonReader {
 public:
  static constexpr int kRecursionLimit = 128;

  explicit JsonReader(std::string_view text) : in_(text) {}
  // A reader of the one value that starts at byte `start` of a larger
  // document (after white space); its errors give their line and column in
  // the whole document.
  JsonReader(std::string_view text, size_t start) : in_(text), pos_(start) {}
  explicit JsonReader(std::span<const uint8_t> bytes)
      : in_(reinterpret_cast<const char*>(bytes.data()), bytes.size()) {}

  JsonReader(const JsonReader&) = delete;
  JsonReader& operator=(const JsonReader&) = delete;

  bool ok() const { return !failed_; }
  // Ok, or the error with its position.
  Status status() const;
  // The error text alone, without the position ("" when ok).
  const std::string& error_message() const { return err_msg_; }
  size_t offset() const { return pos_; }
  std::string_view input() const { return in_; }

  // Whole documents: only whitespace may follow ("trailing characters").
  bool end();
  // Skips whitespace and returns the next byte without consuming it, or -1 at
  // the end of the input.
  int peek_char() { return skip_ws(); }

  // ---- scalars -----------------------------------------------------------
  bool read_bool(bool& out);
  bool read_u64(uint64_t& out);
  bool read_u32(uint32_t& out);
  bool read_u16(uint16_t& out);
  bool read_u8(uint8_t& out);
  bool read_i64(int64_t& out);
  bool read_i32(int32_t& out);
  // Any JSON number, as a 64-bit float.
  bool read_f64(double& out);
  // Any JSON number narrowed to 32 bits; a value beyond the 32-bit range fails
  // with "number out of range" rather than becoming an infinity.
  bool read_f32(float& out);
  bool read_string(std::string& out);
  // A string as a view into the input, or into a scratch buffer when it held
  // escapes; valid until the next read.
  bool read_str(std::string_view& out);
  // null ("expected unit" otherwise).
  bool read_unit();
  // Consumes a null if one comes next, for optional values: was_null tells.
  bool read_null(bool& was_null);
  // Skips one value of any kind.
  bool skip_value();

  // ---- arrays: begin_seq, then while (next_element(has) && has) read one
  // element; then end_seq(ok) with ok = whether all reads succeeded.
  bool begin_seq(std::string_view expecting = "a sequence");
  bool next_element(bool& has);
  bool end_seq(bool ok);

  // ---- objects: begin_map, then while (next_key(has, key) && has) {
  // object_colon(); read the value }, then end_map(ok). The key view is valid
  // until the next read.
  bool begin_map(std::string_view expecting = "a map");
  bool next_key(bool& has, std::string_view& key);
  bool object_colon();
  bool end_map(bool ok);

  // ---- structures: an object, or an array of the field values in
  // declaration order. begin_struct tells which; end_struct(array_form, ok)
  // closes it (json_struct.h drives the members).
  bool begin_struct(std::string_view expecting, bool& array_form);
  bool end_struct(bool array_form, bool ok);

  // ---- enumerations: a variant is a string naming it, or an object with one
  // member whose key names it and whose value is the variant's content.
  // begin_enum reads the name and, in the object form, the ':'; the caller
  // then reads the content (read_unit() for a unit variant) and calls
  // end_enum. An unknown name fails with
  // "unknown variant `x`, expected one of `A`, `B`, ...".
  bool begin_enum(std::span<const std::string_view> names, size_t& index, bool& object_form);
  bool end_enum(bool object_form, bool ok);
  // A variant without content: "Name" or {"Name":null}.
  bool read_unit_variant(std::span<const std::string_view> names, size_t& index);

  // ---- errors raised by codecs about a whole value (positioned when the
  // enclosing value is closed).
  bool fail(std::string message);
  bool fail_invalid_type(std::string_view found, std::string_view expected);
  bool fail_invalid_value(std::string_view found, std::string_view expected);
  bool fail_invalid_length(size_t len, std::string_view expected);
  bool fail_missing_field(std::string_view name);
  bool fail_duplicate_field(std::string_view name);
  bool fail_unknown_variant(std::string_view name, std::span<const std::string_view> expected);

  // Number reading for codecs that take integers and floats apart.
  bool read_number(JsonNumber& out, std::string_view expecting);

 private:
  enum class Code : uint8_t;

  int peek() const { return pos_ < in_.size() ? static_cast<unsigned char>(in_[pos_]) : -1; }
  int skip_ws() {
    while (pos_ < in_.size()) {
      const unsigned char c = static_cast<unsigned char>(in_[pos_]);
      if (c != ' ' && c != '\n' && c != '\t' && c != '\r') return c;
      ++pos_;
    }
    return -1;
  }
  bool error_here(Code code);    // at the current position
  bool error_peek(Code code);    // one byte further (the byte looked at)
  bool error_at(size_t offset, std::string message);
  void fix_position();
  bool enter();
  int level() const { return kRecursionLimit - depth_left_; }
  void leave() { ++depth_left_; }
  bool parse_ident(const char* rest);
  // Reads a number; with convert false only checks its syntax (skipping).
  bool parse_number(JsonNumber& out, bool convert = true);
  bool parse_str(std::string_view& out);
  bool ignore_str();
  bool parse_escape();
  bool ignore_escape();
  bool decode_hex(uint16_t& out);
  bool peek_invalid_type(std::string_view expected);
  bool end_container(char close, bool ok);
  template <typename T>
  bool read_unsigned(T& out, uint64_t max, std::string_view name);
  template <typename T>
  bool read_signed(T& out, int64_t min, int64_t max, std::string_view name);
  bool read_identifier(std::span<const std::string_view> names, size_t& index);

  std::string_view in_;
  size_t pos_ = 0;
  int depth_left_ = kRecursionLimit;
  bool failed_ = false;
  bool positioned_ = false;
  size_t err_pos_ = 0;
  std::string err_msg_;
  std::string scratch_;
  // Per open container (indexed by depth): no member or element read yet.
  bool first_[kRecursionLimit + 1] = {};
};

// "one of `A`, `B`, `C`" / "`A` or `B`" / "`A`", as variant errors list names.
std::string json_one_of(std::span<const std::string_view> names);

}  // namespace vesk
