// Unlocking (or creating) the store key from the key file and a password.
#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

#include "base/status.h"
#include "storage/crypto.h"
#include "base/env.h"

namespace vesk {

// The first step of opening a store, after its directory exists.
//  - No "memory.key", no password: a plain store (null key).
//  - No "memory.key", a password: the directory must be empty; a new data key
//    is drawn, wrapped and written to "memory.key" (forced to stable storage).
//    A key file that could not be written or forced completely is removed, so
//    the directory stays openable.
//  - "memory.key" present: a password is required and must unlock it.
// All failures are OS errors with the exact texts of the key file's contract.
Result<StoreKey> open_store_key(const fs::path& dir, std::optional<std::string_view> password,
                                Env& env);

}  // namespace vesk
