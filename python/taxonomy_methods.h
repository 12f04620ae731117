// Bodies of the store's tag taxonomy, synonym and namespace methods, written
// over the store parts they use, with their text signatures. The store class
// binds each with a one-line body and a row of its method table:
//
//   void set_taxonomy(Vesk& self, TagTaxonomy taxonomy) {
//     taxonomy::set_taxonomy(self.config, std::move(taxonomy));
//   }
//   constexpr Method kSetTaxonomy{"Vesk", taxonomy::kSetTaxonomySignature, set_taxonomy};
//
// `list_namespaces` is the core's list_namespaces (write/namespace_list.h)
// over the record map, under the records' read lock. None of these methods
// releases the interpreter lock; none fails except load_synonyms (OSError).
#pragma once

#include <cstdint>
#include <string>

#include "config_classes.h"
#include "store/runtime_config.h"
#include "base/status.h"
#include "write/synonyms.h"

namespace vesk::py::taxonomy {

inline constexpr char kSetTaxonomySignature[] = "set_taxonomy($self, taxonomy)";
inline constexpr char kGetTaxonomySignature[] = "get_taxonomy($self)";
inline constexpr char kLoadSynonymsSignature[] = "load_synonyms($self, path)";
inline constexpr char kHasSynonymsSignature[] = "has_synonyms($self)";
inline constexpr char kListNamespacesSignature[] = "list_namespaces($self)";

// Replaces the store's taxonomy with the caller's copy. The recall caches
// stay: later stores, maintenance runs and recalls read the new sets.
void set_taxonomy(RuntimeConfig& config, TagTaxonomy taxonomy);
// A copy of the store's taxonomy; changing it changes nothing in the store.
TagTaxonomy get_taxonomy(const RuntimeConfig& config);
// Merges the groups of the TOML file at `path`; the number of words read.
Result<uint64_t> load_synonyms(SynonymMap& synonyms, const std::string& path);
bool has_synonyms(const SynonymMap& synonyms);

}  // namespace vesk::py::taxonomy
