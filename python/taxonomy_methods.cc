// The tag taxonomy, the synonym files and the namespaces of the records held.
// None of these releases the interpreter lock; only load_synonyms fails
// (OSError).
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "config_classes.h"
#include "vesk_object.h"

namespace vesk::py {
namespace {

// The caller's copy replaces the store's taxonomy; the recall caches stay:
// later stores, maintenance runs and recalls read the new sets.
void set_taxonomy(Vesk& self, TagTaxonomy taxonomy) { self.set_taxonomy(std::move(taxonomy)); }
constexpr Method kSetTaxonomy{"Vesk", "set_taxonomy($self, taxonomy)", set_taxonomy};

// A copy: changing it changes nothing in the store.
TagTaxonomy get_taxonomy(Vesk& self) { return self.taxonomy(); }
constexpr Method kGetTaxonomy{"Vesk", "get_taxonomy($self)", get_taxonomy};

Result<uint64_t> load_synonyms(Vesk& self, std::string path) { return self.load_synonyms(path); }
constexpr Method kLoadSynonyms{"Vesk", "load_synonyms($self, path)", load_synonyms};

bool has_synonyms(Vesk& self) { return self.has_synonyms(); }
constexpr Method kHasSynonyms{"Vesk", "has_synonyms($self)", has_synonyms};

std::vector<std::string> list_namespaces(Vesk& self) { return self.list_namespaces(); }
constexpr Method kListNamespaces{"Vesk", "list_namespaces($self)", list_namespaces};

}  // namespace

MethodRows taxonomy_methods() {
  return {bind<kSetTaxonomy>(), bind<kGetTaxonomy>(), bind<kLoadSynonyms>(), bind<kHasSynonyms>(),
          bind<kListNamespaces>()};
}

}  // namespace vesk::py
