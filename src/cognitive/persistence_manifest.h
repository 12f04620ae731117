// PersistenceManifest: the format version of each persisted surface, kept in
// "persistence_manifest.json" in the store directory.
//
// The file is pretty JSON (two-space indentation, one member per line, no
// newline after the last brace) and is never sealed, also in an encrypted
// store. The current manifest is these eleven lines:
//
//   {
//     "schema_version": 1,
//     "surfaces": {
//       "belief": 1,
//       "causal": 1,
//       "concept": 1,
//       "maintenance_trends": 1,
//       "policy": 1,
//       "recall_replay": 1,
//       "reflection_summaries": 1
//     }
//   }
//
// Reading: both keys are required, a key given twice is refused, other keys
// are skipped; the positional form [schema_version, surfaces] is accepted
// too. Versions are JSON integers from 0 to 2^32 - 1; a surface named twice
// keeps its later version. Surfaces are kept and written in ascending byte
// order of their names.
//
// The versions drive no conversion of any other file: every open normalises
// the manifest to the current versions and writes it back.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "cognitive/startup_validation.h"
#include "model/json_struct.h"
#include "base/env.h"

namespace vesk {

inline constexpr char kPersistenceManifestFile[] = "persistence_manifest.json";
inline constexpr char kPersistenceManifestSurface[] = "persistence_manifest";

struct PersistenceManifest {
  uint32_t schema_version = 0;
  std::map<std::string, uint32_t> surfaces;  // surface name -> format version

  bool operator==(const PersistenceManifest&) const = default;
};

template <>
struct JsonCodec<PersistenceManifest> : JsonStructCodec<PersistenceManifest> {
  static const JsonStruct<PersistenceManifest>& fields();
};

// Schema 1 with the seven surfaces "belief", "causal", "concept",
// "maintenance_trends", "policy", "recall_replay" and "reflection_summaries",
// each at version 1. The topology and the manifest have no entry.
PersistenceManifest current_persistence_manifest();

// The manifest as the file holds it.
std::string persistence_manifest_json(const PersistenceManifest& manifest);

// Reads "persistence_manifest.json" in `dir`, normalises it to the current
// versions and writes the result back in place. Never fails.
//
// Events (surface "persistence_manifest", path of the file):
//   - missing file: "missing_fallback"; unreadable or not UTF-8:
//     "load_error_fallback" with the read error; only white space:
//     "empty_fallback"; not a manifest: "load_error_fallback" with the
//     parser's message. Each continues from the current manifest, so it is
//     followed by "loaded".
//   - versions equal to the current ones: "loaded".
//   - otherwise "version_mismatch", listing each change as "schema_version
//     {old} -> {new}" and "{surface} {old} -> {new}" (absent counts as 0).
// Surfaces the current manifest does not know keep their stored versions.
//
// The rewrite opens the file for writing (creating or truncating it), writes
// and closes it: no temporary file and no forced sync, since the file is
// rebuilt at every open anyway. A failure to rewrite is ignored; an open that
// cannot write the file must still open the store.
PersistenceManifest load_persistence_manifest(const fs::path& dir, std::vector<StartupValidationEvent>& events,
                                              Env& env);

}  // namespace vesk
