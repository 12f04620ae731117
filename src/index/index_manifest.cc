#include "index/index_manifest.h"

#include <unordered_map>

#include "model/json_codec.h"
#include "model/json_struct.h"

namespace vesk {
namespace {

using IdMap = std::vector<std::pair<std::string, uint32_t>>;

// The id map is an object kept in file order; a repeated id keeps its first
// place and its last number, as an object read into a map would.
bool read_id_map(JsonReader& r, IndexManifest& m) {
  if (!r.begin_map()) return false;
  IdMap& out = m.id_map;
  out.clear();
  std::unordered_map<std::string, size_t> seen;
  bool ok = true, has = false;
  std::string_view key;
  while ((ok = r.next_key(has, key)) && has) {
    std::string id(key);  // the key view does not survive reading the value
    uint32_t doc = 0;
    if (!(ok = r.object_colon() && r.read_u32(doc))) break;
    auto [it, fresh] = seen.try_emplace(id, out.size());
    if (fresh)
      out.emplace_back(std::move(id), doc);
    else
      out[it->second].second = doc;
  }
  return r.end_map(ok);
}

void write_id_map(JsonWriter& w, const IndexManifest& m) {
  w.begin_object();
  for (const auto& [id, doc] : m.id_map) {
    w.key(id);
    w.u64(doc);
  }
  w.end_object();
}

const JsonStruct<IndexManifest>& manifest_fields() {
  static const JsonStruct<IndexManifest> s("struct IndexManifest",
                                           {json_field<&IndexManifest::next_doc_id>("next_doc_id"),
                                            json_field_fn<IndexManifest>("id_map", read_id_map, write_id_map)});
  return s;
}

}  // namespace

std::string encode_index_manifest(const IndexManifest& m) {
  std::string out;
  JsonWriter w(out);
  json_write_struct(w, m, manifest_fields());
  return out;
}

Result<IndexManifest> parse_index_manifest(std::string_view json) {
  JsonReader r(json);
  IndexManifest m;
  if (!json_read_struct_object(r, m, manifest_fields()) || !r.end())
    return Status::Runtime("index manifest: " + r.status().message());
  return m;
}

}  // namespace vesk
