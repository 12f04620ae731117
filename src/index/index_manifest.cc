#include "index/index_manifest.h"

#include <charconv>
#include <unordered_map>

namespace vesk {
namespace {

void write_string(std::string& out, std::string_view s) {
  static const char* hex = "0123456789abcdef";
  out.push_back('"');
  for (char ch : s) {
    unsigned char c = static_cast<unsigned char>(ch);
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          out += "\\u00";
          out.push_back(hex[c >> 4]);
          out.push_back(hex[c & 15]);
        } else {
          out.push_back(ch);
        }
    }
  }
  out.push_back('"');
}

void write_u32(std::string& out, uint32_t v) {
  char buf[16];
  auto r = std::to_chars(buf, buf + sizeof buf, v);
  out.append(buf, r.ptr);
}

class Parser {
 public:
  explicit Parser(std::string_view s) : s_(s) {}

  Result<IndexManifest> manifest() {
    IndexManifest m;
    bool have_next = false, have_map = false;
    ws();
    if (!eat('{')) return fail("expected `{`");
    ws();
    if (!eat('}')) {
      for (;;) {
        std::string key;
        VESK_RETURN_IF_ERROR(string(key));
        ws();
        if (!eat(':')) return fail("expected `:`");
        ws();
        if (key == "next_doc_id") {
          if (have_next) return fail("duplicate field `next_doc_id`");
          have_next = true;
          VESK_RETURN_IF_ERROR(u32(m.next_doc_id));
        } else if (key == "id_map") {
          if (have_map) return fail("duplicate field `id_map`");
          have_map = true;
          VESK_RETURN_IF_ERROR(id_map(m.id_map));
        } else {
          VESK_RETURN_IF_ERROR(skip_value(0));
        }
        ws();
        if (eat(',')) {
          ws();
          continue;
        }
        if (eat('}')) break;
        return fail("expected `,` or `}`");
      }
    }
    ws();
    if (pos_ != s_.size()) return fail("trailing characters");
    if (!have_next) return fail("missing field `next_doc_id`");
    if (!have_map) return fail("missing field `id_map`");
    return m;
  }

 private:
  Status id_map(std::vector<std::pair<std::string, uint32_t>>& out) {
    if (!eat('{')) return fail("expected an object for `id_map`");
    std::unordered_map<std::string, size_t> seen;
    ws();
    if (eat('}')) return Status::Ok();
    for (;;) {
      std::string key;
      VESK_RETURN_IF_ERROR(string(key));
      ws();
      if (!eat(':')) return fail("expected `:`");
      ws();
      uint32_t v;
      VESK_RETURN_IF_ERROR(u32(v));
      auto [it, fresh] = seen.try_emplace(key, out.size());
      if (fresh) {
        out.emplace_back(std::move(key), v);
      } else {
        out[it->second].second = v;
      }
      ws();
      if (eat(',')) {
        ws();
        continue;
      }
      if (eat('}')) return Status::Ok();
      return fail("expected `,` or `}`");
    }
  }

  Status u32(uint32_t& v) {
    size_t start = pos_;
    while (pos_ < s_.size() && s_[pos_] >= '0' && s_[pos_] <= '9') ++pos_;
    if (pos_ == start) return fail("expected an unsigned integer");
    if (pos_ < s_.size() && (s_[pos_] == '.' || s_[pos_] == 'e' || s_[pos_] == 'E'))
      return fail("expected an unsigned integer");
    if (s_[start] == '0' && pos_ - start > 1) return fail("invalid number");
    auto r = std::from_chars(s_.data() + start, s_.data() + pos_, v);
    if (r.ec != std::errc()) return fail("number out of range for u32");
    return Status::Ok();
  }

  Status string(std::string& out) {
    if (!eat('"')) return fail("expected a string");
    for (;;) {
      if (pos_ >= s_.size()) return fail("unterminated string");
      unsigned char c = static_cast<unsigned char>(s_[pos_]);
      if (c == '"') {
        ++pos_;
        return Status::Ok();
      }
      if (c < 0x20) return fail("control character in string");
      if (c == '\\') {
        ++pos_;
        if (pos_ >= s_.size()) return fail("unterminated string");
        char e = s_[pos_++];
        switch (e) {
          case '"': out.push_back('"'); break;
          case '\\': out.push_back('\\'); break;
          case '/': out.push_back('/'); break;
          case 'b': out.push_back('\b'); break;
          case 'f': out.push_back('\f'); break;
          case 'n': out.push_back('\n'); break;
          case 'r': out.push_back('\r'); break;
          case 't': out.push_back('\t'); break;
          case 'u': {
            uint32_t cp = 0;
            VESK_RETURN_IF_ERROR(hex4(cp));
            if (cp >= 0xd800 && cp < 0xdc00) {
              uint32_t lo = 0;
              if (!(eat('\\') && eat('u'))) return fail("unpaired surrogate");
              VESK_RETURN_IF_ERROR(hex4(lo));
              if (lo < 0xdc00 || lo >= 0xe000) return fail("unpaired surrogate");
              cp = 0x10000 + ((cp - 0xd800) << 10) + (lo - 0xdc00);
            } else if (cp >= 0xdc00 && cp < 0xe000) {
              return fail("unpaired surrogate");
            }
            append_utf8(out, cp);
            break;
          }
          default: return fail("invalid escape");
        }
        continue;
      }
      // One UTF-8 scalar value, checked.
      size_t len = c < 0x80 ? 1 : (c >= 0xc2 && c < 0xe0) ? 2 : (c >= 0xe0 && c < 0xf0) ? 3 : (c >= 0xf0 && c < 0xf5) ? 4 : 0;
      if (len == 0 || pos_ + len > s_.size()) return fail("invalid UTF-8");
      uint32_t cp = len == 1 ? c : len == 2 ? (c & 0x1f) : len == 3 ? (c & 0x0f) : (c & 0x07);
      for (size_t k = 1; k < len; ++k) {
        unsigned char cc = static_cast<unsigned char>(s_[pos_ + k]);
        if ((cc & 0xc0) != 0x80) return fail("invalid UTF-8");
        cp = cp << 6 | (cc & 0x3f);
      }
      if ((len == 3 && (cp < 0x800 || (cp >= 0xd800 && cp < 0xe000))) || (len == 4 && (cp < 0x10000 || cp > 0x10ffff)))
        return fail("invalid UTF-8");
      out.append(s_.substr(pos_, len));
      pos_ += len;
    }
  }

  Status hex4(uint32_t& v) {
    if (s_.size() - pos_ < 4) return fail("invalid escape");
    v = 0;
    for (int i = 0; i < 4; ++i) {
      char h = s_[pos_++];
      int d = (h >= '0' && h <= '9') ? h - '0' : (h >= 'a' && h <= 'f') ? h - 'a' + 10 : (h >= 'A' && h <= 'F') ? h - 'A' + 10 : -1;
      if (d < 0) return fail("invalid escape");
      v = v << 4 | static_cast<uint32_t>(d);
    }
    return Status::Ok();
  }

  static void append_utf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xc0 | cp >> 6));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3f)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xe0 | cp >> 12));
      out.push_back(static_cast<char>(0x80 | (cp >> 6 & 0x3f)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3f)));
    } else {
      out.push_back(static_cast<char>(0xf0 | cp >> 18));
      out.push_back(static_cast<char>(0x80 | (cp >> 12 & 0x3f)));
      out.push_back(static_cast<char>(0x80 | (cp >> 6 & 0x3f)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3f)));
    }
  }

  // Skips any JSON value (members this reader does not know).
  Status skip_value(int depth) {
    if (depth > 128) return fail("nesting too deep");
    if (pos_ >= s_.size()) return fail("expected a value");
    char c = s_[pos_];
    if (c == '"') {
      std::string ignored;
      return string(ignored);
    }
    if (c == '{' || c == '[') {
      const char close = c == '{' ? '}' : ']';
      ++pos_;
      ws();
      if (eat(close)) return Status::Ok();
      for (;;) {
        if (c == '{') {
          std::string ignored;
          VESK_RETURN_IF_ERROR(string(ignored));
          ws();
          if (!eat(':')) return fail("expected `:`");
          ws();
        }
        VESK_RETURN_IF_ERROR(skip_value(depth + 1));
        ws();
        if (eat(',')) {
          ws();
          continue;
        }
        if (eat(close)) return Status::Ok();
        return fail("expected `,` or a closing bracket");
      }
    }
    for (std::string_view lit : {"true", "false", "null"}) {
      if (s_.substr(pos_, lit.size()) == lit) {
        pos_ += lit.size();
        return Status::Ok();
      }
    }
    // A number: -?(0|[1-9][0-9]*)(.[0-9]+)?([eE][+-]?[0-9]+)?
    size_t p = pos_;
    auto digits = [&] {
      size_t s = p;
      while (p < s_.size() && s_[p] >= '0' && s_[p] <= '9') ++p;
      return p - s;
    };
    if (p < s_.size() && s_[p] == '-') ++p;
    if (p < s_.size() && s_[p] == '0') {
      ++p;
    } else if (digits() == 0) {
      return fail("expected a value");
    }
    if (p < s_.size() && s_[p] == '.') {
      ++p;
      if (digits() == 0) return fail("invalid number");
    }
    if (p < s_.size() && (s_[p] == 'e' || s_[p] == 'E')) {
      ++p;
      if (p < s_.size() && (s_[p] == '+' || s_[p] == '-')) ++p;
      if (digits() == 0) return fail("invalid number");
    }
    pos_ = p;
    return Status::Ok();
  }

  void ws() {
    while (pos_ < s_.size() && (s_[pos_] == ' ' || s_[pos_] == '\n' || s_[pos_] == '\r' || s_[pos_] == '\t')) ++pos_;
  }
  bool eat(char c) {
    if (pos_ < s_.size() && s_[pos_] == c) {
      ++pos_;
      return true;
    }
    return false;
  }

  Status fail(const std::string& what) const {
    size_t line = 1, col = 1;
    for (size_t i = 0; i < pos_ && i < s_.size(); ++i) {
      if (s_[i] == '\n') {
        ++line;
        col = 1;
      } else {
        ++col;
      }
    }
    return Status::Runtime("index manifest: " + what + " at line " + std::to_string(line) + " column " +
                           std::to_string(col));
  }

  std::string_view s_;
  size_t pos_ = 0;
};

}  // namespace

std::string encode_index_manifest(const IndexManifest& m) {
  std::string out = "{\"next_doc_id\":";
  write_u32(out, m.next_doc_id);
  out += ",\"id_map\":{";
  bool first = true;
  for (const auto& [id, doc] : m.id_map) {
    if (!first) out.push_back(',');
    first = false;
    write_string(out, id);
    out.push_back(':');
    write_u32(out, doc);
  }
  out += "}}";
  return out;
}

Result<IndexManifest> parse_index_manifest(std::string_view json) { return Parser(json).manifest(); }

}  // namespace vesk
