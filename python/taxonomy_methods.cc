#include "taxonomy_methods.h"

#include <utility>

#include "base/env.h"

namespace vesk::py::taxonomy {

void set_taxonomy(RuntimeConfig& config, TagTaxonomy taxonomy) { config.set_taxonomy(std::move(taxonomy)); }

TagTaxonomy get_taxonomy(const RuntimeConfig& config) { return config.taxonomy(); }

Result<uint64_t> load_synonyms(SynonymMap& synonyms, const std::string& path) {
  return synonyms.load(Env::Default(), path);
}

bool has_synonyms(const SynonymMap& synonyms) { return !synonyms.empty(); }

}  // namespace vesk::py::taxonomy
