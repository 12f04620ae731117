// index_manifest.json: the SDR index's id map and next document number.
//
//   {"next_doc_id":N,"id_map":{"<record id>":doc,...}}
//
// Written compactly, "next_doc_id" first, the id map in the order given. A
// reader takes the members in any order, skips members it does not know,
// requires both, and refuses a member given twice, the positional array form,
// numbers outside the unsigned 32-bit range and anything but white space
// after the object.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/status.h"

namespace vesk {

struct IndexManifest {
  uint32_t next_doc_id = 0;
  // In file order. A record id given twice keeps its last number.
  std::vector<std::pair<std::string, uint32_t>> id_map;
};

std::string encode_index_manifest(const IndexManifest& m);
Result<IndexManifest> parse_index_manifest(std::string_view json);

}  // namespace vesk
