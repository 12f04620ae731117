#include "storage/labelled_snapshot.h"

#include <utility>

#include "model/record_json.h"
#include "model/unicode_text.h"
#include "storage/atomic_file.h"
#include "storage/labelled_snapshot_format.h"
#include "storage/snapshot_files.h"

namespace vesk {

Status check_snapshot_label(std::string_view label) {
  size_t chars = 0;
  bool allowed = true;
  for (size_t i = 0; i < label.size();) {
    const char32_t c = next_code_point(label, i);
    ++chars;
    allowed = allowed && (c == '-' || c == '_' || is_unicode_alphanumeric(c));
  }
  if (chars == 0 || chars > kMaxSnapshotLabelChars) return Status::Runtime(std::string(kSnapshotLabelLengthError));
  if (!allowed) return Status::Runtime(std::string(kSnapshotLabelCharsError));
  return Status::Ok();
}

std::string labelled_snapshot_json(const RecordMap& records) {
  std::string out = "[";
  bool first = true;
  for (const auto& [id, record] : records) {
    if (!first) out += ',';
    first = false;
    serialize_record(record, out);
  }
  out += ']';
  return out;
}

Result<std::vector<Record>> read_labelled_snapshot(const SecretKey* key, const fs::path& store_path,
                                                   std::string_view label, Env& env) {
  // The label goes into a file name unchecked (list_snapshots hands out
  // labels that break the rules); a separator would let it climb out of the
  // snapshot directory ("a/../b"), and the system would cut the path at a NUL.
  const bool names_a_file = label.find('/') == std::string_view::npos && label.find('\0') == std::string_view::npos;
  const fs::path path = names_a_file ? snapshot_path(store_path, label) : fs::path();
  if (!names_a_file || !env.exists(path)) {
    return Status::Runtime("Snapshot '" + std::string(label) + "' not found");
  }
  Result<std::string> text = read_sealed_text_file(key, path, env);
  if (!text.ok()) return text.status();
  return parse_record_list_json(*text);
}

RecordMap snapshot_records_by_id(std::vector<Record> entries) {
  RecordMap map;
  map.reserve(entries.size());
  for (Record& r : entries) {
    std::string id = r.id;
    map.insert_or_assign(std::move(id), std::move(r));
  }
  return map;
}

SnapshotDiff diff_snapshots(const RecordMap& a, const RecordMap& b) {
  SnapshotDiff d;
  for (const auto& [id, rb] : b) {
    if (!a.contains(id)) d.added.push_back(id);
  }
  for (const auto& [id, ra] : a) {
    const Record* rb = b.find_value(id);
    if (!rb) {
      d.removed.push_back(id);
    } else if (ra.content != rb->content || !(ra.strength == rb->strength) || ra.level != rb->level) {
      d.modified.push_back(id);
    }
  }
  return d;
}

}  // namespace vesk
