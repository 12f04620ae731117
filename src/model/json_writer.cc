#include "model/json_writer.h"

#include <charconv>
#include <cmath>
#include <cstring>

#include "model/json_number.h"
#include "model/json_scan.h"

namespace vesk {

namespace {

// 0: copied as is; otherwise the character after the backslash ('u' for \u00XX).
constexpr unsigned char kEscape[256] = {
    'u', 'u', 'u', 'u', 'u', 'u', 'u', 'u', 'b', 't', 'n', 'u', 'f', 'r', 'u', 'u',  // 0x00
    'u', 'u', 'u', 'u', 'u', 'u', 'u', 'u', 'u', 'u', 'u', 'u', 'u', 'u', 'u', 'u',  // 0x10
    0,   0,   '"', 0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,    // 0x20
    0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,    // 0x30
    0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,    // 0x40
    0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   '\\', 0,  0,   0,    // 0x50
};

}  // namespace

void JsonWriter::append_json_string(std::string& out, std::string_view s) {
  static const char* hex = "0123456789abcdef";
  out.push_back('"');
  const char* p = s.data();
  const char* end = p + s.size();
  const char* run = p;
  for (;;) {
    p = s.data() + json_scan_plain(s.data(), static_cast<size_t>(p - s.data()), s.size());
    if (p == end) break;
    unsigned char c = static_cast<unsigned char>(*p);
    unsigned char e = kEscape[c];
    out.append(run, p);
    if (e == 'u') {
      char u[6] = {'\\', 'u', '0', '0', hex[c >> 4], hex[c & 15]};
      out.append(u, 6);
    } else {
      char two[2] = {'\\', static_cast<char>(e)};
      out.append(two, 2);
    }
    run = ++p;
  }
  out.append(run, end);
  out.push_back('"');
}

void JsonWriter::newline_indent() {
  out_.push_back('\n');
  out_.append(2 * nonempty_.size(), ' ');
}

void JsonWriter::before_value() {
  if (after_key_) {
    after_key_ = false;
    return;
  }
  if (nonempty_.empty()) return;
  if (nonempty_.back()) out_.push_back(',');
  nonempty_.back() = true;
  if (pretty_) newline_indent();
}

void JsonWriter::key(std::string_view k) {
  if (nonempty_.back()) out_.push_back(',');
  nonempty_.back() = true;
  if (pretty_) newline_indent();
  append_json_string(out_, k);
  if (pretty_)
    out_.append(": ");
  else
    out_.push_back(':');
  after_key_ = true;
}

namespace {

// The longest key or text value the member fast paths take.
constexpr size_t kShortText = 64;

bool short_plain(std::string_view s) {
  return s.size() <= kShortText && json_scan_plain(s.data(), 0, s.size()) == s.size();
}

}  // namespace

char* JsonWriter::member_head(char* p, std::string_view k) {
  if (nonempty_.back()) *p++ = ',';
  nonempty_.back() = true;
  *p++ = '"';
  std::memcpy(p, k.data(), k.size());
  p += k.size();
  *p++ = '"';
  *p++ = ':';
  return p;
}

void JsonWriter::f32_member(std::string_view k, float v) {
  if (pretty_ || !std::isfinite(v) || !short_plain(k)) {
    key(k);
    f32(v);
    return;
  }
  char buf[kShortText + 4 + kJsonF32Room];
  char* p = write_json_f32(member_head(buf, k), v);
  out_.append(buf, static_cast<size_t>(p - buf));
}

void JsonWriter::string_member(std::string_view k, std::string_view v) {
  if (pretty_ || !short_plain(k) || !short_plain(v)) {
    key(k);
    string(v);
    return;
  }
  char buf[2 * kShortText + 6];
  char* p = member_head(buf, k);
  *p++ = '"';
  std::memcpy(p, v.data(), v.size());
  p += v.size();
  *p++ = '"';
  out_.append(buf, static_cast<size_t>(p - buf));
}

void JsonWriter::open(char c) {
  before_value();
  out_.push_back(c);
  nonempty_.push_back(false);
}

void JsonWriter::close(char c) {
  bool had = nonempty_.back();
  nonempty_.pop_back();
  if (pretty_ && had) newline_indent();
  out_.push_back(c);
}

void JsonWriter::u64(uint64_t v) {
  before_value();
  char buf[24];
  auto r = std::to_chars(buf, buf + sizeof buf, v);
  out_.append(buf, r.ptr);
}

void JsonWriter::i64(int64_t v) {
  before_value();
  char buf[24];
  auto r = std::to_chars(buf, buf + sizeof buf, v);
  out_.append(buf, r.ptr);
}

void JsonWriter::non_finite() { out_.append(non_finite_zero_ ? "0.0" : "null"); }

void JsonWriter::f64(double v) {
  before_value();
  if (std::isfinite(v))
    append_json_f64(out_, v);
  else
    non_finite();
}

void JsonWriter::f32(float v) {
  before_value();
  if (std::isfinite(v))
    append_json_f32(out_, v);
  else
    non_finite();
}

}  // namespace vesk
