// Source credibility tables: how far the store trusts a web source by its
// host name. The default table of well-known public sites is built when a
// store opens; overrides are set by the caller and never persisted.
#pragma once

#include "base/string_hash.h"

namespace vesk {

struct CredibilityTables {
  StringKeyMap<float> defaults;   // lower-case host, no "www." -> credibility
  StringKeyMap<float> overrides;  // empty at open
};

// The tables a store opens with: the 43 default hosts, no overrides.
CredibilityTables default_domain_credibility();

}  // namespace vesk
