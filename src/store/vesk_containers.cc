// Capturing the open store into containers: the sequence around the writers
// of exchange/capsule/container_writer.h; and the store's retention
// scheduler slot.
#include <memory>
#include <utility>

#include "exchange/capsule/container_lock.h"
#include "exchange/capsule/signing_key.h"
#include "store/vesk.h"

namespace vesk {

namespace {

// The store's files on disk made current: pending writes flushed, then the
// SDR index saved. Each takes and releases the store's own locks, before any
// container lock is taken.
Status prepare_capture(Vesk& store, SdrIndex& sdr_index) {
  VESK_RETURN_IF_ERROR(store.flush().as(ErrorKind::OS));
  return sdr_index.save().as(ErrorKind::OS);
}

// The parsed key, or null when none is given; the key wipes its secret bytes
// when it dies.
Result<std::unique_ptr<ContainerSigningKey>> parse_optional_key(std::optional<std::string_view> text) {
  if (!text) return std::unique_ptr<ContainerSigningKey>();
  return parse_signing_key_hex(*text);
}

}  // namespace

Result<ContainerExportReport> Vesk::export_container(const fs::path& output_path,
                                                     std::optional<std::string_view> signing_key) {
  VESK_RETURN_IF_ERROR(prepare_capture(*this, *indexes_.sdr_index));
  Result<std::unique_ptr<ContainerSigningKey>> key = parse_optional_key(signing_key);
  if (!key.ok()) return key.status().as(ErrorKind::OS);
  Result<ContainerExportReport> report = [&]() -> Result<ContainerExportReport> {
    auto mutation = ContainerMutation::begin(output_path, env_);
    if (!mutation.ok()) return mutation.status();
    return export_container_file(path_, output_path, key->get(), env_);
  }();
  return report;
}

Result<ContainerWriteReport> Vesk::append_container(const fs::path& container_path,
                                                    std::optional<std::string_view> signing_key) {
  VESK_RETURN_IF_ERROR(prepare_capture(*this, *indexes_.sdr_index));
  Result<std::unique_ptr<ContainerSigningKey>> key = parse_optional_key(signing_key);
  if (!key.ok()) return key.status().as(ErrorKind::OS);
  Result<ContainerWriteReport> report = [&]() -> Result<ContainerWriteReport> {
    auto mutation = ContainerMutation::begin(container_path, env_);
    if (!mutation.ok()) return mutation.status();
    return append_container_generation(path_, container_path, key->get(), env_);
  }();
  return report;
}

Result<std::pair<ContainerWriteReport, RetentionApplyReport>> Vesk::append_container_with_retention(
    const fs::path& container_path, std::optional<std::string_view> signing_key, const RetentionPolicy& policy) {
  VESK_RETURN_IF_ERROR(prepare_capture(*this, *indexes_.sdr_index));
  Result<std::unique_ptr<ContainerSigningKey>> key = parse_optional_key(signing_key);
  if (!key.ok()) return key.status().as(ErrorKind::OS);
  auto mutation = ContainerMutation::begin(container_path, env_);
  if (!mutation.ok()) return mutation.status();
  Result<ContainerWriteReport> appended = append_container_generation(path_, container_path, key->get(), env_);
  if (!appended.ok()) return appended.status();
  Result<RetentionApplyReport> retention = apply_retention(container_path, policy, env_);
  if (!retention.ok()) return retention.status();
  return std::pair(std::move(appended).value(), std::move(retention).value());
}

Result<RetentionSchedulerStatus> Vesk::start_container_retention_scheduler(const fs::path& container_path,
                                                                           uint64_t interval_seconds,
                                                                           const RetentionPolicy& policy,
                                                                           SchedulerClock& clock) {
  Result<std::unique_ptr<RetentionScheduler>> started =
      RetentionScheduler::start(container_path, interval_seconds, policy, env_, clock);
  if (!started.ok()) return started.status();
  RetentionSchedulerStatus status = (*started)->status();
  auto slot = maintenance_.retention_scheduler.write();
  // The new thread already runs; the old one is stopped while the slot is
  // held, so no start, stop or status call sees neither.
  if (*slot) (*slot)->stop();
  *slot = std::move(started).value();
  return status;
}

bool Vesk::stop_container_retention_scheduler() {
  auto slot = maintenance_.retention_scheduler.write();
  std::unique_ptr<RetentionScheduler> scheduler = std::move(*slot);
  if (!scheduler) return false;
  scheduler->stop();
  return true;
}

std::optional<RetentionSchedulerStatus> Vesk::container_retention_scheduler_status() const {
  auto slot = maintenance_.retention_scheduler.read();
  if (!*slot) return std::nullopt;
  return (*slot)->status();
}

}  // namespace vesk
