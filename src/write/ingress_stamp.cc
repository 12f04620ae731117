#include "write/ingress_stamp.h"

#include <charconv>
#include <utility>

#include "model/unicode_text.h"

namespace vesk {

std::string_view source_type_for_channel(std::string_view channel) {
  std::string_view trimmed = trim_unicode_white_space(channel);
  if (trimmed.empty()) return "retrieved";
  std::string c(trimmed);
  for (char& ch : c) ch = ascii_lower(ch);
  if (c == "user" || c == "voice" || c == "system" || c == "desktop" || c == "telegram" || c.starts_with("user-")) {
    return "recorded";
  }
  if (c == "agent" || c.starts_with("agent-")) return "inferred";
  return "retrieved";
}

std::string provenance_source(std::optional<std::string_view> channel) {
  if (!channel) return "agent";
  if (*channel == "voice" || *channel == "desktop" || *channel == "telegram") return "user-" + std::string(*channel);
  return std::string(*channel);
}

std::string format_trust_score(float trust) {
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, trust, std::chars_format::fixed, 2);
  return std::string(buf, r.ptr);
}

namespace {

// Writes the stamped value; a differing earlier value moves to "claimed_" + key.
void stamp(StringMap& metadata, const std::string& key, std::string value) {
  auto it = metadata.find(key);
  if (it == metadata.end()) {
    metadata.emplace(key, std::move(value));
    return;
  }
  if (it->second == value) return;
  std::string claimed = std::exchange(it->second, std::move(value));
  metadata.insert_or_assign("claimed_" + key, std::move(claimed));
}

bool any_in(const std::vector<std::string>& tags, const StringSet& set) {
  for (const std::string& t : tags) {
    if (set.contains(t)) return true;
  }
  return false;
}

}  // namespace

void stamp_provenance_metadata(StringMap& metadata, std::optional<std::string_view> channel,
                               const std::vector<std::string>& tags, const TagTaxonomy& taxonomy,
                               const TrustConfig& trust, UtcInstant now) {
  std::string source = provenance_source(channel);
  auto entry = trust.source_trust.find(source);
  float score = entry == trust.source_trust.end() ? 0.5f : entry->second;
  bool verified = source.starts_with("user-");

  static const std::string kSource = "source", kVerified = "verified", kTrust = "trust_score",
                           kVolatility = "volatility", kTimestamp = "timestamp";
  stamp(metadata, kSource, std::move(source));
  stamp(metadata, kVerified, verified ? "true" : "false");
  stamp(metadata, kTrust, format_trust_score(score));

  if (!metadata.contains(kVolatility)) {
    const char* v = any_in(tags, taxonomy.stable_tags)     ? "stable"
                    : any_in(tags, taxonomy.volatile_tags) ? "volatile"
                                                           : "moderate";
    metadata.emplace(kVolatility, v);
  }

  auto ts = metadata.find(kTimestamp);
  if (ts == metadata.end()) {
    metadata.emplace(kTimestamp, format_rfc3339_utc(now));
  } else if (auto given = parse_rfc3339(ts->second); given && *given > now) {
    ts->second = format_rfc3339_utc(now);
  }
}

}  // namespace vesk
