#include "store/runtime_config.h"

namespace vesk {

RuntimeConfig::RuntimeConfig(std::filesystem::path store_path)
    : store_path_(std::move(store_path)),
      taxonomy_(lock_order::kTaxonomy, tag_taxonomy_default()),
      trust_(lock_order::kTrust, trust_config_default()),
      maintenance_(lock_order::kMaintenanceConfig, maintenance_config_default()),
      breaker_(CircuitBreakerConfig{}) {}

}  // namespace vesk
