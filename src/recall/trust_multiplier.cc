#include "recall/trust_multiplier.h"

#include <charconv>
#include <cmath>
#include <system_error>

#include "base/rfc3339.h"

namespace vesk {
namespace {

constexpr float kDefaultBaseTrust = 0.5f;
constexpr float kDefaultAuthority = 0.85f;
constexpr double kUnknownStampAge = 1209600.0;  // 14 days, in seconds

float source_type_factor(std::string_view source_type) {
  if (source_type == "recorded") return 1.0f;
  if (source_type == "retrieved") return 0.9f;
  if (source_type == "inferred") return 0.85f;
  if (source_type == "generated") return 0.8f;
  return 0.9f;
}

const std::string* find(const StringMap& metadata, std::string_view key) {
  auto it = metadata.find(key);
  return it == metadata.end() ? nullptr : &it->second;
}

// The stamp of the record in whole UTC seconds, or none when unknown.
std::optional<long long> stamp_seconds(const StringMap& metadata) {
  const std::string* text = find(metadata, "timestamp");
  if (!text) text = find(metadata, "created_at");
  if (!text) return std::nullopt;
  std::optional<UtcInstant> t = parse_rfc3339(*text);
  if (!t) return std::nullopt;
  return t->seconds;
}

}  // namespace

std::optional<float> parse_finite_f32(std::string_view text) {
  // from_chars takes no leading '+'; a decimal reader of floats does.
  if (!text.empty() && text.front() == '+') {
    text.remove_prefix(1);
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) return std::nullopt;
  }
  if (text.empty()) return std::nullopt;
  const char* end = text.data() + text.size();
  float f = 0.0f;
  auto [ptr, ec] = std::from_chars(text.data(), end, f);
  if (ec == std::errc::result_out_of_range && ptr == end) {
    // Too large or too small for a float: read it wider and narrow, so a
    // tiny value becomes 0 (or a subnormal) and a huge one infinite.
    double d = 0.0;
    auto [dptr, dec] = std::from_chars(text.data(), end, d);
    if (dptr != end) return std::nullopt;
    if (dec == std::errc::result_out_of_range) return std::nullopt;  // beyond even a double
    f = static_cast<float>(d);
  } else if (ec != std::errc() || ptr != end) {
    return std::nullopt;
  }
  if (!std::isfinite(f)) return std::nullopt;
  return f;
}

float recency_boost(const TrustConfig& trust, std::optional<long long> stamp_secs, double now) {
  const double stamp = stamp_secs ? static_cast<double>(*stamp_secs) : now - kUnknownStampAge;
  double age_hours = (now - stamp) / 3600.0;
  if (age_hours < 0.0) age_hours = 0.0;
  // Without a half-life there is no span to fall over: no boost (rather than
  // the infinity or NaN a division by zero would give).
  if (trust.recency_half_life_days == 0.0f) return 0.0f;
  const float days_fraction = static_cast<float>(std::floor(age_hours) / -24.0) / trust.recency_half_life_days;
  const float boost = (days_fraction + 1.0f) * trust.recency_boost_max;
  // A boost below 0 is 0; so is a NaN one (NaN age or model values).
  return boost > 0.0f ? boost : 0.0f;
}

float trust_multiplier(const StringMap& metadata, const TrustConfig& trust, std::string_view source_type, double now) {
  float base = kDefaultBaseTrust;
  if (const std::string* text = find(metadata, "trust_score"))
    if (std::optional<float> v = parse_finite_f32(*text)) base = *v;

  float authority = kDefaultAuthority;
  const std::string* source = find(metadata, "source");
  auto it = trust.source_authority.find(source ? std::string_view(*source) : std::string_view());
  if (it != trust.source_authority.end()) authority = it->second;

  const float boost = recency_boost(trust, stamp_seconds(metadata), now);
  const float value = authority * (base + boost) * source_type_factor(source_type);
  if (!(value >= kTrustFloor)) return kTrustFloor;  // smaller, or NaN
  if (value > kTrustCeiling) return kTrustCeiling;
  return value;
}

}  // namespace vesk
