// Source credibility: how far the store trusts a web source, rated by the
// host name of its address. Two tables are held by the store object: the
// default table of well-known public sites, built when a store opens, and
// the caller's per-store overrides (never persisted).
//
// source_credibility(url), a 32-bit rating in [0, 1]:
//   1. an empty url rates 0.5;
//   2. without a leading "http://" or "https://" (case-sensitive),
//      "https://" is put in front (so another scheme's name becomes the host);
//   3. the host is the text after the first "://", up to a second "://",
//      and of that the text before the first '/', '?' or '#';
//   4. lower-cased (full Unicode mapping), a leading "www." removed, and the
//      text from the first ':' on (a port) dropped;
//   5. the overrides, then the default table, are looked up by that host;
//   6. a host of three or more labels then tries its last two labels, in the
//      default table only; nothing else rates 0.5.
// User information before an '@' stays in the host and makes the lookups
// miss. The query and fragment end the host even without a '/' before them:
// otherwise "https://evil.example?x=.nature.com" would rate as the trusted
// host at its end.
#pragma once

#include <string>
#include <string_view>

#include "base/string_hash.h"

namespace vesk {

struct CredibilityTables {
  StringKeyMap<float> defaults;   // lower-case host, no "www." -> credibility
  StringKeyMap<float> overrides;  // empty at open
};

// The tables a store opens with: the 43 default hosts, no overrides.
CredibilityTables default_domain_credibility();

// The rating of `url` (above). The caller holds the tables' read lock.
float source_credibility(const CredibilityTables& tables, std::string_view url);

// The host under which an override of `domain` is kept: lower-cased by the
// full Unicode mapping, nothing trimmed or removed.
std::string credibility_override_key(std::string_view domain);

// `score` as a 32-bit float clamped into [0, 1] (infinities to the nearer
// bound). NaN has no place in the range: the caller refuses it first
// (kNanCredibilityMessage); given one anyway, this answers the rating of an
// unknown host (0.5) rather than let NaN into the tables.
float clamp_credibility(double score);

inline constexpr std::string_view kNanCredibilityMessage = "score must not be NaN";

}  // namespace vesk
