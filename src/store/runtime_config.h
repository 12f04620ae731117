// RuntimeConfig: the configuration block of one store object, built when the
// store is opened and dropped with it; nothing in it is written to disk, so a
// reopened store starts from the defaults again.
//
// Locking: the taxonomy, the trust model and the maintenance settings each sit
// behind their own reader-writer lock, and the circuit breaker has its own
// mutex, so a setter replacing one value never waits for readers of another.
// A value is replaced whole under its write lock, so a reader sees the old or
// the new value, never a mixture. Two of the block's locks may be held at
// once only in the order taxonomy -> trust model -> maintenance settings
// (store/lock_order.h): the store road reads the trust model inside its read
// of the taxonomy. The callbacks of read_* run under that read lock and may
// only take locks that come later in the order.
#pragma once

#include <filesystem>
#include <string>
#include <utility>

#include "base/guarded.h"
#include "model/config_maintenance.h"
#include "model/config_taxonomy.h"
#include "model/config_trust.h"
#include "reports/circuit_breaker.h"
#include "store/lock_order.h"

namespace vesk {

class RuntimeConfig {
 public:
  explicit RuntimeConfig(std::filesystem::path store_path);
  RuntimeConfig(const RuntimeConfig&) = delete;
  RuntimeConfig& operator=(const RuntimeConfig&) = delete;

  const std::filesystem::path& store_path() const { return store_path_; }

  TagTaxonomy taxonomy() const { return taxonomy_.copy(); }
  void set_taxonomy(TagTaxonomy t) { taxonomy_.set(std::move(t)); }
  template <typename F>
  decltype(auto) read_taxonomy(F&& f) const {
    auto t = taxonomy_.read();
    return std::forward<F>(f)(*t);
  }

  TrustConfig trust() const { return trust_.copy(); }
  void set_trust(TrustConfig t) { trust_.set(std::move(t)); }
  // Replaces only the fusion mode (the caller has tested the mode).
  void set_fusion_mode(std::string mode) { trust_.write()->fusion_mode = std::move(mode); }
  template <typename F>
  decltype(auto) read_trust(F&& f) const {
    auto t = trust_.read();
    return std::forward<F>(f)(*t);
  }

  MaintenanceConfig maintenance() const { return maintenance_.copy(); }
  void set_maintenance(MaintenanceConfig m) { maintenance_.set(std::move(m)); }

  // The breaker's limits never change after open.
  const CircuitBreakerConfig& breaker_config() const { return breaker_.config(); }
  CircuitBreaker& breaker() { return breaker_; }

 private:
  const std::filesystem::path store_path_;
  Guarded<TagTaxonomy> taxonomy_{lock_order::kTaxonomy};
  Guarded<TrustConfig> trust_{lock_order::kTrust};
  Guarded<MaintenanceConfig> maintenance_{lock_order::kMaintenanceConfig};
  CircuitBreaker breaker_;
};

// The block as a store opens with it: default taxonomy, trust model and
// maintenance settings, breaker limits 3 / 600 s / 600 s and no tool state.
inline RuntimeConfig runtime_config_new(std::filesystem::path store_path) {
  return RuntimeConfig(std::move(store_path));
}

}  // namespace vesk
