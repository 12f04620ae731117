#include "model/json_reader.h"

#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstring>

#include "model/json_number.h"
#include "model/json_scan.h"
#include "base/utf8.h"

namespace vesk {

enum class JsonReader::Code : uint8_t {
  EofList,
  EofObject,
  EofString,
  EofValue,
  ExpectedColon,
  ExpectedListCommaOrEnd,
  ExpectedObjectCommaOrEnd,
  ExpectedSomeIdent,
  ExpectedSomeValue,
  InvalidEscape,
  InvalidNumber,
  NumberOutOfRange,
  InvalidUnicodeCodePoint,
  ControlCharacter,
  KeyMustBeAString,
  LoneLeadingSurrogate,
  TrailingComma,
  TrailingCharacters,
  UnexpectedEndOfHexEscape,
  RecursionLimitExceeded,
};

namespace {

const char* code_text(int code) {
  static const char* const kTexts[] = {
      "EOF while parsing a list",
      "EOF while parsing an object",
      "EOF while parsing a string",
      "EOF while parsing a value",
      "expected `:`",
      "expected `,` or `]`",
      "expected `,` or `}`",
      "expected ident",
      "expected value",
      "invalid escape",
      "invalid number",
      "number out of range",
      "invalid unicode code point",
      "control character (\\u0000-\\u001F) found while parsing a string",
      "key must be a string",
      "lone leading surrogate in hex escape",
      "trailing comma",
      "trailing characters",
      "unexpected end of hex escape",
      "recursion limit exceeded",
  };
  return kTexts[code];
}

bool is_digit(int c) { return c >= '0' && c <= '9'; }

void push_utf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// A text in double quotes with the escapes of a debug listing: \t \r \n \\ \"
// \0, and \u{hex} for other control characters.
std::string quoted_debug(std::string_view s) {
  std::string out = "\"";
  size_t i = 0;
  while (i < s.size()) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    switch (c) {
      case '\t': out += "\\t"; break;
      case '\r': out += "\\r"; break;
      case '\n': out += "\\n"; break;
      case '\\': out += "\\\\"; break;
      case '"': out += "\\\""; break;
      case 0: out += "\\0"; break;
      default:
        if (c < 0x20 || c == 0x7F) {
          char buf[16];
          std::snprintf(buf, sizeof buf, "\\u{%x}", c);
          out += buf;
        } else if (c == 0xC2 && i + 1 < s.size() && static_cast<unsigned char>(s[i + 1]) < 0xA0) {
          // C1 control characters U+0080..U+009F.
          char buf[16];
          std::snprintf(buf, sizeof buf, "\\u{%x}", static_cast<unsigned char>(s[i + 1]));
          out += buf;
          ++i;
        } else {
          out.push_back(static_cast<char>(c));
        }
    }
    ++i;
  }
  out.push_back('"');
  return out;
}

std::string number_found(const JsonNumber& n) {
  switch (n.kind) {
    case JsonNumber::Kind::U64: return "integer `" + std::to_string(n.u) + "`";
    case JsonNumber::Kind::I64: return "integer `" + std::to_string(n.i) + "`";
    case JsonNumber::Kind::F64: break;
  }
  return "floating point `" + display_f64(n.f) + "`";
}

// Whether the decimal text (which from_chars found out of range) is too large
// rather than too small: the position of its first significant digit plus its
// exponent.
bool decimal_overflows(std::string_view t) {
  size_t i = 0;
  if (i < t.size() && t[i] == '-') ++i;
  long mag = 0;
  bool seen_nonzero = false;
  for (; i < t.size() && is_digit(t[i]); ++i) {
    if (t[i] != '0') seen_nonzero = true;
    if (seen_nonzero) ++mag;
  }
  if (i < t.size() && t[i] == '.') {
    ++i;
    for (; i < t.size() && is_digit(t[i]); ++i) {
      if (seen_nonzero) break;
      if (t[i] != '0') {
        seen_nonzero = true;
        break;
      }
      --mag;
    }
    while (i < t.size() && is_digit(t[i])) ++i;
  }
  long exp = 0;
  if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
    ++i;
    bool neg = false;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) neg = t[i++] == '-';
    for (; i < t.size() && is_digit(t[i]); ++i)
      if (exp < 100000000) exp = exp * 10 + (t[i] - '0');
    if (neg) exp = -exp;
  }
  return mag + exp > 0;
}

}  // namespace

std::string json_one_of(std::span<const std::string_view> names) {
  std::string s;
  auto quoted = [&s](std::string_view name) {
    s.push_back('`');
    s.append(name);
    s.push_back('`');
  };
  if (names.size() <= 2) {
    for (size_t i = 0; i < names.size(); ++i) {
      if (i) s.append(" or ");
      quoted(names[i]);
    }
    return s;
  }
  s.append("one of ");
  for (size_t i = 0; i < names.size(); ++i) {
    if (i) s.append(", ");
    quoted(names[i]);
  }
  return s;
}

// ---- errors ------------------------------------------------------------------

Status JsonReader::status() const {
  if (!failed_) return Status::Ok();
  if (!positioned_) return Status::Runtime(err_msg_);
  size_t line = 1, line_start = 0;
  const size_t end = std::min(err_pos_, in_.size());
  for (size_t i = 0; i < end; ++i) {
    if (in_[i] == '\n') {
      ++line;
      line_start = i + 1;
    }
  }
  return Status::Runtime(err_msg_ + " at line " + std::to_string(line) + " column " + std::to_string(end - line_start));
}

bool JsonReader::error_at(size_t offset, std::string message) {
  if (failed_) return false;
  failed_ = true;
  positioned_ = true;
  err_pos_ = offset;
  err_msg_ = std::move(message);
  return false;
}

bool JsonReader::error_here(Code code) { return error_at(pos_, code_text(static_cast<int>(code))); }

bool JsonReader::error_peek(Code code) {
  return error_at(std::min(in_.size(), pos_ + 1), code_text(static_cast<int>(code)));
}

bool JsonReader::fail(std::string message) {
  if (failed_) return false;
  failed_ = true;
  positioned_ = false;
  err_msg_ = std::move(message);
  return false;
}

void JsonReader::fix_position() {
  if (failed_ && !positioned_) {
    positioned_ = true;
    err_pos_ = pos_;
  }
}

bool JsonReader::fail_invalid_type(std::string_view found, std::string_view expected) {
  return fail("invalid type: " + std::string(found) + ", expected " + std::string(expected));
}

bool JsonReader::fail_invalid_value(std::string_view found, std::string_view expected) {
  return fail("invalid value: " + std::string(found) + ", expected " + std::string(expected));
}

bool JsonReader::fail_invalid_length(size_t len, std::string_view expected) {
  return fail("invalid length " + std::to_string(len) + ", expected " + std::string(expected));
}

bool JsonReader::fail_missing_field(std::string_view name) { return fail("missing field `" + std::string(name) + "`"); }

bool JsonReader::fail_duplicate_field(std::string_view name) {
  return fail("duplicate field `" + std::string(name) + "`");
}

bool JsonReader::fail_unknown_variant(std::string_view name, std::span<const std::string_view> expected) {
  if (expected.empty()) return fail("unknown variant `" + std::string(name) + "`, there are no variants");
  return fail("unknown variant `" + std::string(name) + "`, expected " + json_one_of(expected));
}

// ---- low level -----------------------------------------------------------------

bool JsonReader::enter() {
  if (--depth_left_ == 0) return error_peek(Code::RecursionLimitExceeded);
  first_[level()] = true;
  return true;
}

bool JsonReader::end() {
  if (failed_) return false;
  if (skip_ws() >= 0) return error_peek(Code::TrailingCharacters);
  return true;
}

bool JsonReader::parse_ident(const char* rest) {
  for (; *rest; ++rest) {
    if (pos_ >= in_.size()) return error_here(Code::EofValue);
    if (in_[pos_++] != *rest) return error_here(Code::ExpectedSomeIdent);
  }
  return true;
}

bool JsonReader::parse_number(JsonNumber& out, bool convert) {
  const size_t start = pos_;
  bool positive = true;
  if (in_[pos_] == '-') {
    ++pos_;
    positive = false;
  }
  if (pos_ >= in_.size()) return error_here(Code::EofValue);
  const int first = static_cast<unsigned char>(in_[pos_++]);
  uint64_t sig = 0;
  bool is_float = false;
  if (first == '0') {
    if (is_digit(peek())) return error_peek(Code::InvalidNumber);
  } else if (first >= '1' && first <= '9') {
    sig = static_cast<uint64_t>(first - '0');
    while (is_digit(peek())) {
      uint64_t d = static_cast<uint64_t>(in_[pos_] - '0');
      if (!is_float && sig <= (UINT64_MAX - d) / 10)
        sig = sig * 10 + d;
      else
        is_float = true;  // beyond 64 bits: the value is read as a float
      ++pos_;
    }
  } else {
    return error_here(Code::InvalidNumber);
  }
  if (peek() == '.') {
    ++pos_;
    size_t n = 0;
    while (is_digit(peek())) {
      ++pos_;
      ++n;
    }
    if (n == 0) return error_peek(pos_ < in_.size() ? Code::InvalidNumber : Code::EofValue);
    is_float = true;
  }
  if (peek() == 'e' || peek() == 'E') {
    ++pos_;
    if (peek() == '+' || peek() == '-') ++pos_;
    if (pos_ >= in_.size()) return error_here(Code::EofValue);
    if (!is_digit(static_cast<unsigned char>(in_[pos_++]))) return error_here(Code::InvalidNumber);
    while (is_digit(peek())) ++pos_;
    is_float = true;
  }
  if (!convert) return true;
  if (!is_float) {
    if (positive) {
      out.kind = JsonNumber::Kind::U64;
      out.u = sig;
    } else if (sig == 0) {
      out.kind = JsonNumber::Kind::F64;  // -0 is a float
      out.f = -0.0;
    } else if (sig <= (uint64_t{1} << 63)) {
      out.kind = JsonNumber::Kind::I64;
      out.i = static_cast<int64_t>(0 - sig);
    } else {
      out.kind = JsonNumber::Kind::F64;
      out.f = -static_cast<double>(sig);
    }
    return true;
  }
  out.kind = JsonNumber::Kind::F64;
  const char* b = in_.data() + start;
  const char* e = in_.data() + pos_;
  double d = 0;
  auto r = std::from_chars(b, e, d);
  if (r.ec == std::errc::result_out_of_range || std::isinf(d)) {
    if (decimal_overflows(std::string_view(b, e - b))) return error_here(Code::NumberOutOfRange);
    d = positive ? 0.0 : -0.0;
  }
  out.f = d;
  return true;
}

bool JsonReader::decode_hex(uint16_t& out) {
  if (in_.size() - pos_ < 4) {
    pos_ = in_.size();
    return error_here(Code::EofString);
  }
  int v = 0;
  bool bad = false;
  for (int k = 0; k < 4; ++k) {
    int h = hex_value(in_[pos_ + k]);
    if (h < 0) bad = true;
    v = v * 16 + h;
  }
  pos_ += 4;
  if (bad) return error_here(Code::InvalidEscape);
  out = static_cast<uint16_t>(v);
  return true;
}

bool JsonReader::parse_escape() {
  if (pos_ >= in_.size()) return error_here(Code::EofString);
  char c = in_[pos_++];
  switch (c) {
    case '"': scratch_.push_back('"'); return true;
    case '\\': scratch_.push_back('\\'); return true;
    case '/': scratch_.push_back('/'); return true;
    case 'b': scratch_.push_back('\b'); return true;
    case 'f': scratch_.push_back('\f'); return true;
    case 'n': scratch_.push_back('\n'); return true;
    case 'r': scratch_.push_back('\r'); return true;
    case 't': scratch_.push_back('\t'); return true;
    case 'u': break;
    default: return error_here(Code::InvalidEscape);
  }
  uint16_t n1;
  if (!decode_hex(n1)) return false;
  if (n1 >= 0xDC00 && n1 <= 0xDFFF) return error_here(Code::LoneLeadingSurrogate);
  if (n1 < 0xD800 || n1 > 0xDBFF) {
    push_utf8(scratch_, n1);
    return true;
  }
  // A leading surrogate must be followed by \u and a trailing one.
  for (char want : {'\\', 'u'}) {
    if (pos_ >= in_.size()) return error_here(Code::EofString);
    if (in_[pos_++] != want) return error_here(Code::UnexpectedEndOfHexEscape);
  }
  uint16_t n2;
  if (!decode_hex(n2)) return false;
  if (n2 < 0xDC00 || n2 > 0xDFFF) return error_here(Code::LoneLeadingSurrogate);
  push_utf8(scratch_, ((static_cast<uint32_t>(n1 - 0xD800) << 10) | (n2 - 0xDC00)) + 0x10000);
  return true;
}

bool JsonReader::ignore_escape() {
  if (pos_ >= in_.size()) return error_here(Code::EofString);
  switch (in_[pos_++]) {
    case '"': case '\\': case '/': case 'b': case 'f': case 'n': case 'r': case 't': return true;
    case 'u': {
      uint16_t n;
      return decode_hex(n);
    }
    default: return error_here(Code::InvalidEscape);
  }
}

// The cursor stands after the opening quote.
bool JsonReader::parse_str(std::string_view& out) {
  const char* data = in_.data();
  const size_t len = in_.size();
  size_t start = pos_;
  bool copied = false;
  for (;;) {
    pos_ = json_scan_plain(data, pos_, len);
    if (pos_ == len) return error_here(Code::EofString);
    const char c = data[pos_];
    if (c == '"') {
      if (copied) {
        scratch_.append(data + start, pos_ - start);
        out = scratch_;
      } else {
        out = std::string_view(data + start, pos_ - start);
      }
      ++pos_;
      if (!utf8_valid(out)) return error_here(Code::InvalidUnicodeCodePoint);
      return true;
    }
    if (c == '\\') {
      if (!copied) {
        scratch_.clear();
        copied = true;
      }
      scratch_.append(data + start, pos_ - start);
      ++pos_;
      if (!parse_escape()) return false;
      start = pos_;
    } else {
      ++pos_;
      return error_here(Code::ControlCharacter);
    }
  }
}

bool JsonReader::ignore_str() {
  for (;;) {
    pos_ = json_scan_plain(in_.data(), pos_, in_.size());
    if (pos_ == in_.size()) return error_here(Code::EofString);
    const char c = in_[pos_];
    if (c == '"') {
      ++pos_;
      return true;
    }
    if (c != '\\') return error_here(Code::ControlCharacter);
    ++pos_;
    if (!ignore_escape()) return false;
  }
}

// A value of the wrong kind: consume it when it is a scalar, then report it.
bool JsonReader::peek_invalid_type(std::string_view expected) {
  std::string found;
  switch (peek()) {
    case 'n':
      ++pos_;
      if (!parse_ident("ull")) return false;
      found = "null";
      break;
    case 't':
      ++pos_;
      if (!parse_ident("rue")) return false;
      found = "boolean `true`";
      break;
    case 'f':
      ++pos_;
      if (!parse_ident("alse")) return false;
      found = "boolean `false`";
      break;
    case '-': case '0': case '1': case '2': case '3': case '4': case '5': case '6': case '7': case '8': case '9': {
      JsonNumber n;
      if (!parse_number(n)) return false;
      found = number_found(n);
      break;
    }
    case '"': {
      ++pos_;
      std::string_view s;
      if (!parse_str(s)) return false;
      found = "string " + quoted_debug(s);
      break;
    }
    case '[': found = "sequence"; break;
    case '{': found = "map"; break;
    default: return error_peek(Code::ExpectedSomeValue);
  }
  fail_invalid_type(found, expected);
  fix_position();
  return false;
}

// Closes an object or array. After a failure inside it, only moves the cursor
// the way a successful close would, so that errors without a position get the
// same one either way.
bool JsonReader::end_container(char close, bool ok) {
  const int c = skip_ws();
  if (!ok || failed_) {
    if (c == close) {
      ++pos_;
    } else if (close == ']' && c == ',') {
      ++pos_;
      skip_ws();
    }
    return false;
  }
  if (c == close) {
    ++pos_;
    return true;
  }
  if (close == ']') {
    if (c == ',') {
      ++pos_;
      return error_peek(skip_ws() == ']' ? Code::TrailingComma : Code::TrailingCharacters);
    }
    return error_peek(c >= 0 ? Code::TrailingCharacters : Code::EofList);
  }
  if (c == ',') return error_peek(Code::TrailingComma);
  return error_peek(c >= 0 ? Code::TrailingCharacters : Code::EofObject);
}

// ---- scalars ---------------------------------------------------------------------

bool JsonReader::read_number(JsonNumber& out, std::string_view expecting) {
  if (failed_) return false;
  const int c = skip_ws();
  if (c < 0) return error_peek(Code::EofValue);
  if (c == '-' || is_digit(c)) return parse_number(out);
  return peek_invalid_type(expecting);
}

template <typename T>
bool JsonReader::read_unsigned(T& out, uint64_t max, std::string_view name) {
  JsonNumber n;
  if (!read_number(n, name)) return false;
  switch (n.kind) {
    case JsonNumber::Kind::U64:
      if (n.u <= max) {
        out = static_cast<T>(n.u);
        return true;
      }
      fail_invalid_value(number_found(n), name);
      break;
    case JsonNumber::Kind::I64: fail_invalid_value(number_found(n), name); break;
    case JsonNumber::Kind::F64: fail_invalid_type(number_found(n), name); break;
  }
  fix_position();
  return false;
}

template <typename T>
bool JsonReader::read_signed(T& out, int64_t min, int64_t max, std::string_view name) {
  JsonNumber n;
  if (!read_number(n, name)) return false;
  switch (n.kind) {
    case JsonNumber::Kind::U64:
      if (n.u <= static_cast<uint64_t>(max)) {
        out = static_cast<T>(n.u);
        return true;
      }
      fail_invalid_value(number_found(n), name);
      break;
    case JsonNumber::Kind::I64:
      if (n.i >= min) {
        out = static_cast<T>(n.i);
        return true;
      }
      fail_invalid_value(number_found(n), name);
      break;
    case JsonNumber::Kind::F64: fail_invalid_type(number_found(n), name); break;
  }
  fix_position();
  return false;
}

bool JsonReader::read_u64(uint64_t& out) { return read_unsigned(out, UINT64_MAX, "u64"); }
bool JsonReader::read_i64(int64_t& out) { return read_signed(out, INT64_MIN, INT64_MAX, "i64"); }
bool JsonReader::read_u32(uint32_t& out) { return read_unsigned(out, UINT32_MAX, "u32"); }
bool JsonReader::read_u16(uint16_t& out) { return read_unsigned(out, UINT16_MAX, "u16"); }
bool JsonReader::read_u8(uint8_t& out) { return read_unsigned(out, UINT8_MAX, "u8"); }
bool JsonReader::read_i32(int32_t& out) { return read_signed(out, INT32_MIN, INT32_MAX, "i32"); }

bool JsonReader::read_f64(double& out) {
  JsonNumber n;
  if (!read_number(n, "f64")) return false;
  switch (n.kind) {
    case JsonNumber::Kind::U64: out = static_cast<double>(n.u); break;
    case JsonNumber::Kind::I64: out = static_cast<double>(n.i); break;
    case JsonNumber::Kind::F64: out = n.f; break;
  }
  return true;
}

bool JsonReader::read_f32(float& out) {
  if (failed_) return false;
  (void)skip_ws();  // read_number reports what is there; the text starts here
  const size_t start = pos_;
  JsonNumber n;
  if (!read_number(n, "f32")) return false;
  switch (n.kind) {
    case JsonNumber::Kind::U64: out = static_cast<float>(n.u); break;
    case JsonNumber::Kind::I64: out = static_cast<float>(n.i); break;
    case JsonNumber::Kind::F64:
      // Narrowing a value beyond the 32-bit range would give an infinity,
      // which no record may hold.
      if (std::fabs(n.f) > static_cast<double>(FLT_MAX)) {
        float f = static_cast<float>(n.f);
        if (std::isinf(f)) return error_here(Code::NumberOutOfRange);
      }
      out = narrow_decimal(n.f, in_.data() + start, in_.data() + pos_);
      break;
  }
  return true;
}

bool JsonReader::read_bool(bool& out) {
  if (failed_) return false;
  const int c = skip_ws();
  if (c < 0) return error_peek(Code::EofValue);
  if (c == 't') {
    ++pos_;
    out = true;
    return parse_ident("rue");
  }
  if (c == 'f') {
    ++pos_;
    out = false;
    return parse_ident("alse");
  }
  return peek_invalid_type("a boolean");
}

bool JsonReader::read_str(std::string_view& out) {
  if (failed_) return false;
  const int c = skip_ws();
  if (c < 0) return error_peek(Code::EofValue);
  if (c != '"') return peek_invalid_type("a string");
  ++pos_;
  return parse_str(out);
}

bool JsonReader::read_string(std::string& out) {
  std::string_view v;
  if (!read_str(v)) return false;
  out.assign(v.data(), v.size());
  return true;
}

bool JsonReader::read_unit() {
  if (failed_) return false;
  const int c = skip_ws();
  if (c < 0) return error_peek(Code::EofValue);
  if (c != 'n') return peek_invalid_type("unit");
  ++pos_;
  return parse_ident("ull");
}

bool JsonReader::read_null(bool& was_null) {
  if (failed_) return false;
  was_null = false;
  if (skip_ws() != 'n') return true;
  ++pos_;
  was_null = true;
  return parse_ident("ull");
}

bool JsonReader::skip_value() {
  if (failed_) return false;
  char frames[kRecursionLimit + 1];
  int open = 0;
  for (;;) {
    const int c = skip_ws();
    bool opened = false;
    switch (c) {
      case -1: return error_peek(Code::EofValue);
      case 'n': ++pos_; if (!parse_ident("ull")) return false; break;
      case 't': ++pos_; if (!parse_ident("rue")) return false; break;
      case 'f': ++pos_; if (!parse_ident("alse")) return false; break;
      case '"': ++pos_; if (!ignore_str()) return false; break;
      case '[': case '{':
        if (!enter()) return false;
        frames[open++] = static_cast<char>(c);
        ++pos_;
        opened = true;
        break;
      default: {
        if (c != '-' && !is_digit(c)) return error_peek(Code::ExpectedSomeValue);
        JsonNumber n;
        if (!parse_number(n, false)) return false;
      }
    }
    if (open == 0) return true;
    char frame = frames[open - 1];
    bool accept_comma = !opened;
    for (;;) {
      const int d = skip_ws();
      if (d == ',' && accept_comma) {
        ++pos_;
        break;
      }
      if ((d == ']' && frame == '[') || (d == '}' && frame == '{')) {
        ++pos_;
        leave();
        if (--open == 0) return true;
        frame = frames[open - 1];
        accept_comma = true;
        continue;
      }
      if (d < 0) return error_peek(frame == '[' ? Code::EofList : Code::EofObject);
      if (accept_comma)
        return error_peek(frame == '[' ? Code::ExpectedListCommaOrEnd : Code::ExpectedObjectCommaOrEnd);
      break;
    }
    if (frame == '{') {
      const int k = skip_ws();
      if (k != '"') return error_peek(k < 0 ? Code::EofValue : Code::KeyMustBeAString);
      ++pos_;
      if (!ignore_str()) return false;
      const int colon = skip_ws();
      if (colon != ':') return error_peek(colon < 0 ? Code::EofObject : Code::ExpectedColon);
      ++pos_;
    }
  }
}

// ---- containers ------------------------------------------------------------------

bool JsonReader::begin_seq(std::string_view expecting) {
  if (failed_) return false;
  const int c = skip_ws();
  if (c < 0) return error_peek(Code::EofValue);
  if (c != '[') return peek_invalid_type(expecting);
  if (!enter()) return false;
  ++pos_;
  return true;
}

bool JsonReader::next_element(bool& has) {
  has = false;
  if (failed_) return false;
  int c = skip_ws();
  if (c == ']') return true;
  bool& first = first_[level()];
  if (c == ',' && !first) {
    ++pos_;
    c = skip_ws();
  } else if (c >= 0) {
    if (!first) return error_peek(Code::ExpectedListCommaOrEnd);
    first = false;
  } else {
    return error_peek(Code::EofList);
  }
  if (c == ']') return error_peek(Code::TrailingComma);
  if (c < 0) return error_peek(Code::EofValue);
  has = true;
  return true;
}

bool JsonReader::end_seq(bool ok) {
  bool closed = end_container(']', ok);
  leave();
  fix_position();
  return closed;
}

bool JsonReader::begin_map(std::string_view expecting) {
  if (failed_) return false;
  const int c = skip_ws();
  if (c < 0) return error_peek(Code::EofValue);
  if (c != '{') return peek_invalid_type(expecting);
  if (!enter()) return false;
  ++pos_;
  return true;
}

bool JsonReader::next_key(bool& has, std::string_view& key) {
  has = false;
  if (failed_) return false;
  int c = skip_ws();
  if (c == '}') return true;
  bool& first = first_[level()];
  if (c == ',' && !first) {
    ++pos_;
    c = skip_ws();
  } else if (c >= 0) {
    if (!first) return error_peek(Code::ExpectedObjectCommaOrEnd);
    first = false;
  } else {
    return error_peek(Code::EofObject);
  }
  if (c == '"') {
    ++pos_;
    if (!parse_str(key)) return false;
    has = true;
    return true;
  }
  if (c == '}') return error_peek(Code::TrailingComma);
  return error_peek(c < 0 ? Code::EofValue : Code::KeyMustBeAString);
}

bool JsonReader::object_colon() {
  if (failed_) return false;
  const int c = skip_ws();
  if (c == ':') {
    ++pos_;
    return true;
  }
  return error_peek(c < 0 ? Code::EofObject : Code::ExpectedColon);
}

bool JsonReader::end_map(bool ok) {
  bool closed = end_container('}', ok);
  leave();
  fix_position();
  return closed;
}

bool JsonReader::begin_struct(std::string_view expecting, bool& array_form) {
  if (failed_) return false;
  const int c = skip_ws();
  if (c < 0) return error_peek(Code::EofValue);
  if (c != '[' && c != '{') return peek_invalid_type(expecting);
  if (!enter()) return false;
  array_form = (c == '[');
  ++pos_;
  return true;
}

bool JsonReader::end_struct(bool array_form, bool ok) {
  bool closed = end_container(array_form ? ']' : '}', ok);
  leave();
  fix_position();
  return closed;
}

// ---- enumerations ----------------------------------------------------------------

bool JsonReader::read_identifier(std::span<const std::string_view> names, size_t& index) {
  const int c = skip_ws();
  if (c < 0) return error_peek(Code::EofValue);
  if (c != '"') return peek_invalid_type("variant identifier");
  ++pos_;
  std::string_view s;
  if (!parse_str(s)) return false;
  for (size_t i = 0; i < names.size(); ++i) {
    if (names[i] == s) {
      index = i;
      return true;
    }
  }
  fail_unknown_variant(s, names);
  fix_position();
  return false;
}

bool JsonReader::begin_enum(std::span<const std::string_view> names, size_t& index, bool& object_form) {
  if (failed_) return false;
  const int c = skip_ws();
  object_form = false;
  if (c == '"') return read_identifier(names, index);
  if (c == '{') {
    if (!enter()) return false;
    ++pos_;
    object_form = true;
    return read_identifier(names, index) && object_colon();
  }
  return error_peek(c < 0 ? Code::EofValue : Code::ExpectedSomeValue);
}

bool JsonReader::end_enum(bool object_form, bool ok) {
  if (!ok || failed_) return false;
  if (!object_form) return true;
  leave();
  const int c = skip_ws();
  if (c == '}') {
    ++pos_;
    return true;
  }
  return error_here(c < 0 ? Code::EofObject : Code::ExpectedSomeValue);
}

bool JsonReader::read_unit_variant(std::span<const std::string_view> names, size_t& index) {
  bool object_form = false;
  if (!begin_enum(names, index, object_form)) return false;
  bool ok = !object_form || read_unit();
  return end_enum(object_form, ok);
}

}  // namespace vesk
