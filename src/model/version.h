#pragma once

namespace vesk {

// The library version, as the package reports it.
const char* version();

}  // namespace vesk
