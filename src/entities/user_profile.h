// The user profile: what the agent knows about its user, as the metadata
// map of one record (tagged "user-profile", level Identity, pinned) whose
// content is a readable rendering of that map, so that ordinary recall finds
// it like any other memory. The same record anchors the family graph
// (entities/family_graph.h).
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "base/string_hash.h"

namespace vesk {

inline constexpr std::string_view kProfileTag = "user-profile";

// The keys rendered first, in this order (exact case).
inline constexpr std::array<std::string_view, 16> kKnownProfileKeys = {
    "name",     "full_name", "age",      "birthday",   "gender",     "location", "city",  "country",
    "timezone", "language",  "languages", "occupation", "company",   "email",    "phone", "bio"};

// "User Profile:", then one line "  {key}: {value}" per entry with a
// non-empty value (blanks are not empty): the known keys in their order,
// then every other key in byte order. Lines joined by "\n", none at the end.
std::string render_user_profile(const StringMap& fields);

}  // namespace vesk
