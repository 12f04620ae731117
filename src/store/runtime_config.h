// RuntimeConfig: the configuration block of one store object, built when the
// store is opened and dropped with it; nothing in it is written to disk, so a
// reopened store starts from the defaults again.
//
// Locking: the taxonomy, the trust model and the maintenance settings each sit
// behind their own reader-writer lock, and the circuit breaker has its own
// mutex, so a setter replacing one value never waits for readers of another.
// A value is replaced whole under its write lock, so a reader sees the old or
// the new value, never a mixture. No lock of the block is held while another
// of its locks is taken; the callbacks of read_* run under one read lock and
// must not call back into the block.
#pragma once

#include <filesystem>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <utility>

#include "model/config_maintenance.h"
#include "model/config_taxonomy.h"
#include "model/config_trust.h"
#include "reports/circuit_breaker.h"

namespace vesk {

class RuntimeConfig {
 public:
  explicit RuntimeConfig(std::filesystem::path store_path);
  RuntimeConfig(const RuntimeConfig&) = delete;
  RuntimeConfig& operator=(const RuntimeConfig&) = delete;

  const std::filesystem::path& store_path() const { return store_path_; }

  TagTaxonomy taxonomy() const {
    std::shared_lock lock(taxonomy_mu_);
    return taxonomy_;
  }
  void set_taxonomy(TagTaxonomy t) {
    std::unique_lock lock(taxonomy_mu_);
    taxonomy_ = std::move(t);
  }
  template <typename F>
  decltype(auto) read_taxonomy(F&& f) const {
    std::shared_lock lock(taxonomy_mu_);
    return std::forward<F>(f)(static_cast<const TagTaxonomy&>(taxonomy_));
  }

  TrustConfig trust() const {
    std::shared_lock lock(trust_mu_);
    return trust_;
  }
  void set_trust(TrustConfig t) {
    std::unique_lock lock(trust_mu_);
    trust_ = std::move(t);
  }
  // Replaces only the fusion mode (the caller has tested the mode).
  void set_fusion_mode(std::string mode) {
    std::unique_lock lock(trust_mu_);
    trust_.fusion_mode = std::move(mode);
  }
  template <typename F>
  decltype(auto) read_trust(F&& f) const {
    std::shared_lock lock(trust_mu_);
    return std::forward<F>(f)(static_cast<const TrustConfig&>(trust_));
  }

  MaintenanceConfig maintenance() const {
    std::shared_lock lock(maintenance_mu_);
    return maintenance_;
  }
  void set_maintenance(MaintenanceConfig m) {
    std::unique_lock lock(maintenance_mu_);
    maintenance_ = std::move(m);
  }

  // The breaker's limits never change after open.
  const CircuitBreakerConfig& breaker_config() const { return breaker_.config(); }
  CircuitBreaker& breaker() { return breaker_; }

 private:
  const std::filesystem::path store_path_;
  mutable std::shared_mutex taxonomy_mu_;
  TagTaxonomy taxonomy_;
  mutable std::shared_mutex trust_mu_;
  TrustConfig trust_;
  mutable std::shared_mutex maintenance_mu_;
  MaintenanceConfig maintenance_;
  CircuitBreaker breaker_;
};

// The block as a store opens with it: default taxonomy, trust model and
// maintenance settings, breaker limits 3 / 600 s / 600 s and no tool state.
inline RuntimeConfig runtime_config_new(std::filesystem::path store_path) {
  return RuntimeConfig(std::move(store_path));
}

}  // namespace vesk
