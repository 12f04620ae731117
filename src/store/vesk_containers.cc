// Capturing the open store into containers: the sequence around the writers
// of exchange/capsule/container_writer.h.
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

}  // namespace vesk
