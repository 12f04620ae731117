#include "index/embedding_text.h"

#include <cmath>
#include <cstring>
#include <utility>

#include "base/utf8.h"
#include "model/json_codec.h"
#include "model/json_number.h"
#include "model/json_scan.h"
#include "model/json_struct.h"
#include "model/json_writer.h"

namespace vesk {

namespace {

struct LogFrame {
  std::string id;
  std::vector<float> v;
};

// The map the reader fills with the members of a stretch of the snapshot:
// each member becomes the next put of the run.
struct MembersInto {
  VectorRun* run;
  size_t mark;
  void clear() { run->truncate(mark); }
  void insert_or_assign(std::string id, std::vector<float> v) { run->add(id, v); }
};

}  // namespace

template <>
struct JsonCodec<LogFrame> : JsonStructCodec<LogFrame> {
  static const JsonStruct<LogFrame>& fields() {
    static const JsonStruct<LogFrame> s("struct LogFrame",
                                        {json_field<&LogFrame::id>("id"), json_field<&LogFrame::v>("v")});
    return s;
  }
};

template <>
struct JsonCodec<MembersInto> : json_detail::TextKeyMapCodec<MembersInto, std::vector<float>> {};

namespace {

bool is_space(char c) { return c == ' ' || c == '\n' || c == '\t' || c == '\r'; }

// The fast path. Each step takes only the compact form and returns false on
// anything else, leaving the text to the reader.

// A string without escapes at p (its opening quote).
bool scan_plain_string(const char*& p, const char* end, std::string_view& out) {
  if (p == end || *p != '"') return false;
  const char* s = p + 1;
  const char* q = s + json_scan_plain(s, 0, static_cast<size_t>(end - s));
  if (q == end || *q != '"') return false;
  out = std::string_view(s, static_cast<size_t>(q - s));
  if (!utf8_valid(out)) return false;
  p = q + 1;
  return true;
}

// A nonempty array of numbers at p, its elements pushed to the run.
bool scan_vector(const char*& p, const char* end, VectorRun& out) {
  if (p == end || *p != '[') return false;
  ++p;
  for (;;) {
    float x;
    const char* q = scan_json_f32(p, end, x);
    if (!q || q == end) return false;
    out.push_value(x);
    p = q + 1;
    if (*q == ']') return true;
    if (*q != ',') return false;
  }
}

bool scan_snapshot_members(std::string_view stretch, bool first, bool last, VectorRun& out) {
  const char* p = stretch.data();
  const char* const end = p + stretch.size();
  auto only_space_left = [&] {
    while (p != end && is_space(*p)) ++p;
    return p == end;
  };
  if (first) {
    while (p != end && is_space(*p)) ++p;
    if (p == end || *p++ != '{') return false;
    if (p != end && *p == '}') {
      ++p;
      return last && only_space_left();
    }
  }
  for (;;) {
    std::string_view id;
    if (!scan_plain_string(p, end, id) || p == end || *p++ != ':' || !scan_vector(p, end, out)) return false;
    out.close(id);
    if (p == end) return !last;
    const char c = *p++;
    if (c == '}') return last && only_space_left();
    if (c != ',') return false;
  }
}

bool scan_log_frame(std::string_view text, VectorRun& out) {
  constexpr std::string_view kHead = "{\"id\":", kMiddle = ",\"v\":";
  if (text.substr(0, kHead.size()) != kHead) return false;
  const char* p = text.data() + kHead.size();
  const char* const end = text.data() + text.size();
  std::string_view id;
  if (!scan_plain_string(p, end, id)) return false;
  if (std::string_view(p, static_cast<size_t>(end - p)).substr(0, kMiddle.size()) != kMiddle) return false;
  p += kMiddle.size();
  if (!scan_vector(p, end, out) || end - p != 1 || *p != '}') return false;
  out.close(id);
  return true;
}

}  // namespace

void VectorRun::close(std::string_view id) {
  ids_.append(id);
  id_ends_.push_back(ids_.size());
  value_ends_.push_back(values_.size());
}

void VectorRun::add(std::string_view id, std::span<const float> v) {
  values_.insert(values_.end(), v.begin(), v.end());
  close(id);
}

void VectorRun::truncate(size_t n) {
  id_ends_.resize(std::min(n, id_ends_.size()));
  value_ends_.resize(id_ends_.size());
  ids_.resize(id_ends_.empty() ? 0 : id_ends_.back());
  values_.resize(value_ends_.empty() ? 0 : value_ends_.back());
}

bool read_snapshot_members(std::string_view stretch, bool first, bool last, VectorRun& out) {
  const size_t mark = out.size();
  if (scan_snapshot_members(stretch, first, last, out)) return true;
  out.truncate(mark);
  std::string braced;
  std::string_view doc = stretch;
  if (!first || !last) {
    braced.reserve(stretch.size() + 2);
    if (!first) braced += '{';
    braced.append(stretch);
    if (!last) braced += '}';
    doc = braced;
  }
  JsonReader reader(doc);
  MembersInto members{&out, mark};
  if (JsonCodec<MembersInto>::read(reader, members) && reader.end()) return true;
  out.truncate(mark);
  return false;
}

bool read_log_frame(std::string_view text, VectorRun& out) {
  const size_t mark = out.size();
  if (scan_log_frame(text, out)) return true;
  out.truncate(mark);
  JsonReader reader(text);
  LogFrame frame;
  if (!JsonCodec<LogFrame>::read(reader, frame) || !reader.end()) return false;
  out.add(frame.id, frame.v);
  return true;
}

void append_snapshot_members(const EmbeddingMatrix& m, size_t begin, size_t end,
                             std::optional<std::string_view> skip, std::string& out) {
  std::vector<float> row(m.dim());
  bool any = false;
  for (size_t r = begin; r < end; ++r) {
    if (skip && m.id(r) == *skip) continue;
    if (any) out += ',';
    any = true;
    JsonWriter::append_json_string(out, m.id(r));
    out += ":[";
    m.copy_row(r, row.data());
    // The numbers are written straight into room made for the longest.
    const size_t at = out.size();
    out.resize(at + row.size() * (kJsonF32MaxChars + 1) + kJsonF32Room);
    char* w = out.data() + at;
    for (size_t i = 0; i < row.size(); ++i) {
      if (i) *w++ = ',';
      if (std::isfinite(row[i])) {
        w = write_json_f32(w, row[i]);
      } else {
        std::memcpy(w, "null", 4);
        w += 4;
      }
    }
    *w++ = ']';
    out.resize(static_cast<size_t>(w - out.data()));
  }
}

}  // namespace vesk
