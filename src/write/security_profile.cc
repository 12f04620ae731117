#include "write/security_profile.h"

#include <array>
#include <string>

#include "model/debug_text.h"

namespace vesk {

std::string_view security_profile_name(SecurityProfile profile) {
  return profile == SecurityProfile::Strict ? "strict" : "balanced";
}

Result<SecurityProfile> parse_security_profile(std::string_view text) {
  if (text == "balanced") return SecurityProfile::Balanced;
  if (text == "strict") return SecurityProfile::Strict;
  static constexpr std::array<std::string_view, 2> kNames{"balanced", "strict"};
  return Status::Value("unknown security profile " + quote_debug(text) + "; expected one of " +
                       quote_debug_list(kNames));
}

std::string_view write_authority_name(WriteAuthority authority) {
  return authority == WriteAuthority::TrustedCapture ? "TrustedCapture" : "External";
}

}  // namespace vesk
