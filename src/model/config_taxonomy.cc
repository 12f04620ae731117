#include "model/config_taxonomy.h"

namespace vesk {

TagTaxonomy tag_taxonomy_default() { return TagTaxonomy{}; }

}  // namespace vesk
