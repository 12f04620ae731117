// Ingress provenance: the source type a channel implies, and the provenance
// keys stamped into the metadata of every record the store builds.
//
// Stamped keys (all text): "source" (the source name), "verified" ("true"
// for a "user-" source), "trust_score" (the source's trust, two decimals),
// "volatility" (only when absent) and "timestamp" (RFC 3339 UTC, when absent
// or in the future). A caller's value of "source", "verified" or
// "trust_score" never survives under that key; when it differs from the
// stamp it is kept under "claimed_" + key.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/config_taxonomy.h"
#include "model/config_trust.h"
#include "base/rfc3339.h"
#include "base/string_hash.h"

namespace vesk {

// "recorded" for user and system channels ("user", "user-*", "voice",
// "system", "desktop", "telegram"), "inferred" for agents ("agent",
// "agent-*"), "retrieved" for anything else, the empty text included. The
// channel is trimmed of Unicode white space and ASCII-lower-cased first.
std::string_view source_type_for_channel(std::string_view channel);

// The source name a channel stamps: "agent" without one, "user-voice",
// "user-desktop" or "user-telegram" for the interactive channels (exact
// text), else the channel as given.
std::string provenance_source(std::optional<std::string_view> channel);

// The trust value with exactly two decimals ("0.50", "0.35").
std::string format_trust_score(float trust);

// Stamps the provenance keys into `metadata` (the map of a record being
// built) from the channel, the record's final tags and the configuration.
// `now` is the current time, read once by the caller.
void stamp_provenance_metadata(StringMap& metadata, std::optional<std::string_view> channel,
                               const std::vector<std::string>& tags, const TagTaxonomy& taxonomy,
                               const TrustConfig& trust, UtcInstant now);
}  // namespace vesk
