#include "model/version.h"

namespace vesk {

const char* version() { return "0.1.0"; }

}  // namespace vesk
