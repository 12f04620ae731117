#include "model/config_trust.h"

namespace vesk {

TrustConfig trust_config_default() { return TrustConfig{}; }

}  // namespace vesk
