// Removing one record from the labelled snapshot files of a store: the
// record itself, and every link another record of the file holds to it (a
// connection, its relation type, a causal parent).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/env.h"
#include "base/status.h"
#include "model/record.h"
#include "storage/crypto.h"

namespace vesk {

// Takes the record and the links to it out of `records`, keeping the order
// of the rest; true when anything changed.
bool remove_record_from_list(std::vector<Record>& records, std::string_view record_id);

// For each label in order: reads its file (unsealed with `key`), and when
// it names the record writes it back without (compact JSON, atomically,
// sealed with `key`). A file with nothing to change is not written. Returns
// the number of files written; the first read, parse or write error ends it,
// the files already written staying so.
Result<uint64_t> purge_record_from_snapshots(const SecretKey* key, const fs::path& store_path,
                                             const std::vector<std::string>& labels, std::string_view record_id,
                                             Env& env);

}  // namespace vesk
