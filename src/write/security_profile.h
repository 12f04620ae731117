// The security profile of a store object and the write authority of a store
// call.
//
// The profile decides how thoroughly a plain delete removes a record: under
// "strict" it is a purge of the record's whole history. It is one atomic byte
// of the open store, never persisted; every store object starts "balanced".
//
// The authority separates the consequence-capture path, which alone may write
// the reserved consequence tags and metadata keys, from every other writer.
#pragma once

#include <cstdint>
#include <string_view>

#include "base/status.h"

namespace vesk {

enum class SecurityProfile : uint8_t { Balanced = 0, Strict = 1 };

enum class WriteAuthority : uint8_t { External = 0, TrustedCapture = 1 };

// "balanced" or "strict".
std::string_view security_profile_name(SecurityProfile profile);

// Exact, case-sensitive "balanced" or "strict"; anything else is a Value error
// `unknown security profile "x"; expected one of ["balanced", "strict"]`.
Result<SecurityProfile> parse_security_profile(std::string_view text);

// "External" or "TrustedCapture".
std::string_view write_authority_name(WriteAuthority authority);

}  // namespace vesk
