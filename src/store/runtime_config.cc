#include "store/runtime_config.h"

namespace vesk {

RuntimeConfig::RuntimeConfig(std::filesystem::path store_path)
    : store_path_(std::move(store_path)),
      taxonomy_(tag_taxonomy_default()),
      trust_(trust_config_default()),
      maintenance_(maintenance_config_default()),
      breaker_(CircuitBreakerConfig{}) {}

}  // namespace vesk
