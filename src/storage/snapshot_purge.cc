#include "storage/snapshot_purge.h"

#include "model/record_json.h"
#include "storage/atomic_file.h"
#include "storage/snapshot_files.h"

namespace vesk {

bool remove_record_from_list(std::vector<Record>& records, std::string_view record_id) {
  bool changed = std::erase_if(records, [&](const Record& r) { return r.id == record_id; }) > 0;
  for (Record& r : records) {
    changed = r.connections.erase(std::string(record_id)) > 0 || changed;
    changed = r.connection_types.erase(std::string(record_id)) > 0 || changed;
    if (r.caused_by_id && *r.caused_by_id == record_id) {
      r.caused_by_id.reset();
      changed = true;
    }
  }
  return changed;
}

Result<uint64_t> purge_record_from_snapshots(const SecretKey* key, const fs::path& store_path,
                                             const std::vector<std::string>& labels, std::string_view record_id,
                                             Env& env) {
  uint64_t rewritten = 0;
  for (const std::string& label : labels) {
    const fs::path path = snapshot_path(store_path, label);
    Result<std::string> text = read_sealed_text_file(key, path, env);
    if (!text.ok()) return text.status();
    Result<std::vector<Record>> records = parse_record_list_json(*text);
    if (!records.ok()) return records.status();
    if (!remove_record_from_list(*records, record_id)) continue;
    std::string json;
    serialize_record_array(*records, json);
    VESK_RETURN_IF_ERROR(write_file_atomic(key, path, json, env));
    ++rewritten;
  }
  return rewritten;
}

}  // namespace vesk
