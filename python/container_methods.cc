// Portable containers: capturing the open store into a container (export and
// append, signed or not, with retention or not), making signing keys,
// inspecting, listing, comparing, verifying, reading and importing container
// files and their generations and segments, holds, retention and
// compaction, authenticity checkpoints, and the store's retention
// scheduler. The capturing and scheduler methods are bound to the store;
// the others are static methods that work on paths alone and never touch an
// open store. Every method keeps the interpreter lock for its whole call,
// compression included. Every failure of an operation is a plain OSError
// carrying the operation's message alone.
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "binding/json_result.h"
#include "exchange/capsule/container_dict.h"
#include "exchange/capsule/container_file.h"
#include "exchange/capsule/container_import.h"
#include "exchange/capsule/container_imports.h"
#include "exchange/capsule/container_reader.h"
#include "exchange/capsule/container_verify.h"
#include "exchange/capsule/generation_diff.h"
#include "exchange/capsule/generation_holds.h"
#include "exchange/capsule/generation_listing.h"
#include "exchange/capsule/retention_dict.h"
#include "exchange/capsule/segment_access.h"
#include "exchange/capsule/signature_chain.h"
#include "exchange/capsule/signing_key.h"
#include "vesk_object.h"

namespace vesk::py {

// A flag whose default is on: left out it stays true; None is refused like
// any other non-bool.
struct FlagDefaultOn {
  bool value = true;
};
template <>
struct FromPy<FlagDefaultOn> {
  static bool convert(PyObject* o, FlagDefaultOn& out) { return FromPy<bool>::convert(o, out.value); }
};

// The retention arguments, by name: min_generations defaults to 1 (None is
// refused like any non-integer), the three limits to none.
template <>
struct RequestFields<RetentionPolicy> {
  static constexpr auto kFields = std::tuple{
      request_field<&RetentionPolicy::min_generations>("min_generations"),
      request_field<&RetentionPolicy::max_generations>("max_generations"),
      request_field<&RetentionPolicy::max_age_seconds>("max_age_seconds"),
      request_field<&RetentionPolicy::max_size_bytes>("max_size_bytes"),
  };
};

// The decoded bytes of one segment, handed to Python as one bytes object.
struct SegmentBytes {
  std::string data;
};
template <>
struct ToPy<SegmentBytes> {
  static PyObject* convert(const SegmentBytes& b) {
    return PyBytes_FromStringAndSize(b.data.data(), static_cast<Py_ssize_t>(b.data.size()));
  }
};

namespace {

Result<JsonObject> export_container(Vesk& self, std::string output_path) {
  Result<ContainerExportReport> report = self.export_container(output_path, std::nullopt);
  if (!report.ok()) return report.status().as(ErrorKind::OS);
  return container_export_report_to_dict(*report);
}
constexpr Method kExportContainer{"Vesk", "export_container($self, output_path)", export_container};

Result<JsonObject> export_signed_container(Vesk& self, std::string output_path, std::string signing_key) {
  Result<ContainerExportReport> report = self.export_container(output_path, signing_key);
  if (!report.ok()) return report.status().as(ErrorKind::OS);
  return container_export_report_to_dict(*report);
}
constexpr Method kExportSignedContainer{"Vesk", "export_signed_container($self, output_path, signing_key)",
                                        export_signed_container};

Result<JsonObject> append_container(Vesk& self, std::string container_path) {
  Result<ContainerWriteReport> report = self.append_container(container_path, std::nullopt);
  if (!report.ok()) return report.status().as(ErrorKind::OS);
  return container_write_report_to_dict(*report);
}
constexpr Method kAppendContainer{"Vesk", "append_container($self, container_path)", append_container};

Result<JsonObject> append_signed_container(Vesk& self, std::string container_path, std::string signing_key) {
  Result<ContainerWriteReport> report = self.append_container(container_path, signing_key);
  if (!report.ok()) return report.status().as(ErrorKind::OS);
  return container_write_report_to_dict(*report);
}
constexpr Method kAppendSignedContainer{"Vesk", "append_signed_container($self, container_path, signing_key)",
                                        append_signed_container};

Result<JsonObject> verify_container_authenticity(std::string container_path,
                                                 std::optional<std::string> trusted_public_key,
                                                 FlagDefaultOn require_all_signed) {
  Result<ContainerAuthenticityReport> report = verify_signature_chain(
      container_path, trusted_public_key ? std::optional<std::string_view>(*trusted_public_key) : std::nullopt,
      require_all_signed.value, Env::Default());
  if (!report.ok()) return report.status().as(ErrorKind::OS);
  return container_authenticity_report_to_dict(*report);
}
constexpr Method kVerifyContainerAuthenticity{
    "Vesk", "verify_container_authenticity(container_path, trusted_public_key=None, require_all_signed=True)",
    verify_container_authenticity};

Result<JsonObject> generate_container_signing_key() {
  Result<ContainerKeyPair> pair = vesk::generate_container_signing_key(Env::Default());
  if (!pair.ok()) return pair.status().as(ErrorKind::OS);
  JsonObject out;
  out.append("private_key", pair->private_key);
  out.append("public_key", pair->public_key);
  return out;
}
constexpr Method kGenerateContainerSigningKey{"Vesk", "generate_container_signing_key()",
                                              generate_container_signing_key};

Result<JsonObject> inspect_container(std::string container_path) {
  Result<CapsuleToc> toc = open_latest_generation(container_path, Env::Default());
  if (!toc.ok()) return toc.status().as(ErrorKind::OS);
  return container_manifest_to_dict(*toc);
}
constexpr Method kInspectContainer{"Vesk", "inspect_container(container_path)", inspect_container};

Result<JsonObject> verify_container(std::string container_path) {
  Result<CapsuleToc> toc = verify_latest_generation(container_path, Env::Default());
  if (!toc.ok()) return toc.status().as(ErrorKind::OS);
  return container_manifest_to_dict(*toc);
}
constexpr Method kVerifyContainer{"Vesk", "verify_container(container_path)", verify_container};

// Every segment of the latest generation is checked before anything is
// written; the import then reads and checks each one again as it restores it.
// Neither path reaches a file call when either holds a NUL byte.
Result<JsonObject> import_container(std::string container_path, std::string target_path) {
  for (const std::string* path : {&container_path, &target_path}) {
    if (Status s = check_path_argument(*path); !s.ok()) return s;
  }
  Result<CapsuleToc> toc = verify_latest_generation(container_path, Env::Default());
  if (!toc.ok()) return toc.status().as(ErrorKind::OS);
  Result<ContainerImportReport> report =
      import_container_segments(container_path, target_path, toc->segments, Env::Default());
  if (!report.ok()) return report.status().as(ErrorKind::OS);
  return container_import_report_to_dict(*report);
}
constexpr Method kImportContainer{"Vesk", "import_container(container_path, target_path)", import_container};

Result<JsonValue> list_container_generations(std::string container_path) {
  auto entries = vesk::list_container_generations(container_path, Env::Default());
  if (!entries.ok()) return entries.status().as(ErrorKind::OS);
  return JsonValue(container_generations_to_list(*entries));
}
constexpr Method kListContainerGenerations{"Vesk", "list_container_generations(container_path)",
                                           list_container_generations};

Result<JsonObject> inspect_container_generation(std::string container_path, uint64_t generation) {
  Result<CapsuleToc> toc = select_container_generation(container_path, generation, Env::Default());
  if (!toc.ok()) return toc.status().as(ErrorKind::OS);
  return container_manifest_to_dict(*toc);
}
constexpr Method kInspectContainerGeneration{"Vesk", "inspect_container_generation(container_path, generation)",
                                             inspect_container_generation};

Result<JsonObject> verify_container_generation(std::string container_path, uint64_t generation) {
  Result<CapsuleToc> toc = vesk::verify_container_generation(container_path, generation, Env::Default());
  if (!toc.ok()) return toc.status().as(ErrorKind::OS);
  return container_manifest_to_dict(*toc);
}
constexpr Method kVerifyContainerGeneration{"Vesk", "verify_container_generation(container_path, generation)",
                                            verify_container_generation};

Result<JsonObject> diff_container_generations(std::string container_path, uint64_t from_generation,
                                              uint64_t to_generation) {
  Result<GenerationDiff> diff =
      vesk::diff_container_generations(container_path, from_generation, to_generation, Env::Default());
  if (!diff.ok()) return diff.status().as(ErrorKind::OS);
  return generation_diff_to_dict(*diff);
}
constexpr Method kDiffContainerGenerations{
    "Vesk", "diff_container_generations(container_path, from_generation, to_generation)",
    diff_container_generations};

Result<JsonObject> verify_container_segments(std::string container_path, std::vector<std::string> names) {
  Result<SegmentVerification> checked =
      vesk::verify_container_segments(container_path, std::move(names), Env::Default());
  if (!checked.ok()) return checked.status().as(ErrorKind::OS);
  return segment_verification_to_dict(*checked);
}
constexpr Method kVerifyContainerSegments{"Vesk", "verify_container_segments(container_path, names)",
                                          verify_container_segments};

Result<SegmentBytes> read_segment(const std::string& path, std::optional<uint64_t> generation,
                                const std::string& name) {
  Result<std::string> bytes = vesk::read_container_segment(path, generation, name, Env::Default());
  if (!bytes.ok()) return bytes.status().as(ErrorKind::OS);
  return SegmentBytes{std::move(bytes).value()};
}

Result<SegmentBytes> read_container_segment(std::string container_path, std::string name) {
  return read_segment(container_path, std::nullopt, name);
}
constexpr Method kReadContainerSegment{"Vesk", "read_container_segment(container_path, name)",
                                       read_container_segment};

Result<SegmentBytes> read_container_segment_at_generation(std::string container_path, uint64_t generation,
                                                        std::string name) {
  return read_segment(container_path, generation, name);
}
constexpr Method kReadContainerSegmentAtGeneration{
    "Vesk", "read_container_segment_at_generation(container_path, generation, name)",
    read_container_segment_at_generation};

Result<JsonObject> import_result(Result<ContainerImportReport> report) {
  if (!report.ok()) return report.status().as(ErrorKind::OS);
  return container_import_report_to_dict(*report);
}

Result<JsonObject> import_container_generation(std::string container_path, std::string target_path,
                                               uint64_t generation) {
  return import_result(vesk::import_container_generation(container_path, target_path, generation, Env::Default()));
}
constexpr Method kImportContainerGeneration{
    "Vesk", "import_container_generation(container_path, target_path, generation)", import_container_generation};

Result<JsonObject> extract_container_segments(std::string container_path, std::string target_path,
                                              std::vector<std::string> names) {
  return import_result(
      vesk::extract_container_segments(container_path, target_path, std::move(names), Env::Default()));
}
constexpr Method kExtractContainerSegments{"Vesk", "extract_container_segments(container_path, target_path, names)",
                                           extract_container_segments};

Result<JsonObject> import_authenticated_container(std::string container_path, std::string target_path,
                                                  std::string trusted_public_key, FlagDefaultOn require_all_signed) {
  return import_result(vesk::import_authenticated_container(container_path, target_path, trusted_public_key,
                                                            require_all_signed.value, Env::Default()));
}
constexpr Method kImportAuthenticatedContainer{
    "Vesk",
    "import_authenticated_container(container_path, target_path, trusted_public_key, require_all_signed=True)",
    import_authenticated_container};

Result<JsonObject> append_with_retention(Vesk& self, const std::string& path, std::optional<std::string_view> key,
                                         const RetentionPolicy& policy) {
  auto done = self.append_container_with_retention(path, key, policy);
  if (!done.ok()) return done.status().as(ErrorKind::OS);
  return append_with_retention_to_dict(done->first, done->second);
}

Result<JsonObject> append_container_with_retention(Vesk& self, std::string container_path, RetentionPolicy policy) {
  return append_with_retention(self, container_path, std::nullopt, policy);
}
constexpr Method kAppendContainerWithRetention{
    "Vesk",
    "append_container_with_retention($self, container_path, min_generations=1, max_generations=None, "
    "max_age_seconds=None, max_size_bytes=None)",
    append_container_with_retention};

Result<JsonObject> append_signed_container_with_retention(Vesk& self, std::string container_path,
                                                          std::string signing_key, RetentionPolicy policy) {
  return append_with_retention(self, container_path, signing_key, policy);
}
constexpr Method kAppendSignedContainerWithRetention{
    "Vesk",
    "append_signed_container_with_retention($self, container_path, signing_key, min_generations=1, "
    "max_generations=None, max_age_seconds=None, max_size_bytes=None)",
    append_signed_container_with_retention};

Result<JsonObject> hold_result(Result<GenerationHoldReport> report) {
  if (!report.ok()) return report.status().as(ErrorKind::OS);
  return generation_hold_report_to_dict(*report);
}

Result<JsonObject> hold_container_generation(std::string container_path, uint64_t generation, std::string label) {
  return hold_result(change_generation_hold(container_path, generation, label, std::nullopt, Env::Default()));
}
constexpr Method kHoldContainerGeneration{"Vesk", "hold_container_generation(container_path, generation, label)",
                                          hold_container_generation};

Result<JsonObject> hold_signed_container_generation(std::string container_path, uint64_t generation,
                                                    std::string label, std::string signing_key) {
  return hold_result(change_generation_hold(container_path, generation, label, signing_key, Env::Default()));
}
constexpr Method kHoldSignedContainerGeneration{
    "Vesk", "hold_signed_container_generation(container_path, generation, label, signing_key)",
    hold_signed_container_generation};

Result<JsonObject> release_container_generation_hold(std::string container_path, uint64_t generation) {
  return hold_result(change_generation_hold(container_path, generation, std::nullopt, std::nullopt, Env::Default()));
}
constexpr Method kReleaseContainerGenerationHold{
    "Vesk", "release_container_generation_hold(container_path, generation)", release_container_generation_hold};

Result<JsonObject> release_signed_container_generation_hold(std::string container_path, uint64_t generation,
                                                            std::string signing_key) {
  return hold_result(change_generation_hold(container_path, generation, std::nullopt, signing_key, Env::Default()));
}
constexpr Method kReleaseSignedContainerGenerationHold{
    "Vesk", "release_signed_container_generation_hold(container_path, generation, signing_key)",
    release_signed_container_generation_hold};

Result<JsonObject> plan_container_retention(std::string container_path, RetentionPolicy policy) {
  Result<RetentionPlan> plan = plan_retention(container_path, policy, Env::Default());
  if (!plan.ok()) return plan.status().as(ErrorKind::OS);
  return retention_plan_to_dict(*plan);
}
constexpr Method kPlanContainerRetention{
    "Vesk",
    "plan_container_retention(container_path, min_generations=1, max_generations=None, max_age_seconds=None, "
    "max_size_bytes=None)",
    plan_container_retention};

Result<JsonObject> apply_container_retention(std::string container_path, RetentionPolicy policy) {
  Result<RetentionApplyReport> report = apply_container_retention_locked(container_path, policy, Env::Default());
  if (!report.ok()) return report.status().as(ErrorKind::OS);
  return retention_apply_report_to_dict(*report);
}
constexpr Method kApplyContainerRetention{
    "Vesk",
    "apply_container_retention(container_path, min_generations=1, max_generations=None, max_age_seconds=None, "
    "max_size_bytes=None)",
    apply_container_retention};

Result<JsonObject> compact_container(std::string container_path, uint64_t keep_last) {
  Result<CompactionReport> report = compact_container_locked(container_path, keep_last, Env::Default());
  if (!report.ok()) return report.status().as(ErrorKind::OS);
  return compaction_report_to_dict(*report);
}
constexpr Method kCompactContainer{"Vesk", "compact_container(container_path, keep_last)", compact_container};

Result<JsonObject> update_checkpoint(std::string container_path, std::string checkpoint_path,
                                     std::string trusted_public_key) {
  Result<CapsuleAuthenticityCheckpoint> written = vesk::update_container_authenticity_checkpoint(
      container_path, checkpoint_path, trusted_public_key, Env::Default());
  if (!written.ok()) return written.status().as(ErrorKind::OS);
  return authenticity_checkpoint_to_dict(*written);
}
constexpr Method kUpdateContainerAuthenticityCheckpoint{
    "Vesk", "update_container_authenticity_checkpoint(container_path, checkpoint_path, trusted_public_key)",
    update_checkpoint};

Result<JsonObject> verify_checkpoint(std::string container_path, std::string checkpoint_path) {
  Result<CheckpointComparison> compared =
      vesk::verify_container_authenticity_checkpoint(container_path, checkpoint_path, Env::Default());
  if (!compared.ok()) return compared.status().as(ErrorKind::OS);
  return checkpoint_comparison_to_dict(*compared);
}
constexpr Method kVerifyContainerAuthenticityCheckpoint{
    "Vesk", "verify_container_authenticity_checkpoint(container_path, checkpoint_path)", verify_checkpoint};

Result<JsonObject> start_container_retention_scheduler(Vesk& self, std::string container_path,
                                                       uint64_t interval_seconds, RetentionPolicy policy) {
  Result<RetentionSchedulerStatus> status =
      self.start_container_retention_scheduler(container_path, interval_seconds, policy);
  if (!status.ok()) return status.status().as(ErrorKind::OS);
  return retention_scheduler_status_to_dict(*status);
}
constexpr Method kStartContainerRetentionScheduler{
    "Vesk",
    "start_container_retention_scheduler($self, container_path, interval_seconds, min_generations=1, "
    "max_generations=None, max_age_seconds=None, max_size_bytes=None)",
    start_container_retention_scheduler};

bool stop_container_retention_scheduler(Vesk& self) { return self.stop_container_retention_scheduler(); }
constexpr Method kStopContainerRetentionScheduler{"Vesk", "stop_container_retention_scheduler($self)",
                                                  stop_container_retention_scheduler};

JsonValue container_retention_scheduler_status(Vesk& self) {
  std::optional<RetentionSchedulerStatus> status = self.container_retention_scheduler_status();
  if (!status) return JsonValue();
  return retention_scheduler_status_to_dict(*status);
}
constexpr Method kContainerRetentionSchedulerStatus{"Vesk", "container_retention_scheduler_status($self)",
                                                    container_retention_scheduler_status};

}  // namespace

MethodRows container_methods() {
  return {
      bind<kExportContainer>(),
      bind<kExportSignedContainer>(),
      bind<kAppendContainer>(),
      bind<kAppendSignedContainer>(),
      bind<kGenerateContainerSigningKey>(),
      bind<kInspectContainer>(),
      bind<kVerifyContainer>(),
      bind<kVerifyContainerAuthenticity>(),
      bind<kImportContainer>(),
      bind<kAppendContainerWithRetention>(),
      bind<kAppendSignedContainerWithRetention>(),
      bind<kHoldContainerGeneration>(),
      bind<kHoldSignedContainerGeneration>(),
      bind<kReleaseContainerGenerationHold>(),
      bind<kReleaseSignedContainerGenerationHold>(),
      bind<kPlanContainerRetention>(),
      bind<kApplyContainerRetention>(),
      bind<kCompactContainer>(),
      bind<kUpdateContainerAuthenticityCheckpoint>(),
      bind<kVerifyContainerAuthenticityCheckpoint>(),
      bind<kStartContainerRetentionScheduler>(),
      bind<kStopContainerRetentionScheduler>(),
      bind<kContainerRetentionSchedulerStatus>(),
      bind<kListContainerGenerations>(),
      bind<kInspectContainerGeneration>(),
      bind<kVerifyContainerGeneration>(),
      bind<kDiffContainerGenerations>(),
      bind<kVerifyContainerSegments>(),
      bind<kReadContainerSegment>(),
      bind<kReadContainerSegmentAtGeneration>(),
      bind<kImportContainerGeneration>(),
      bind<kExtractContainerSegments>(),
      bind<kImportAuthenticatedContainer>(),
  };
}

}  // namespace vesk::py
