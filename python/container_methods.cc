// Portable containers: capturing the open store into a container (export and
// append, signed or not), making signing keys, and inspecting, verifying and
// importing container files. The capturing methods are bound to the store;
// the others are static methods that work on paths alone and never touch an
// open store. Every method keeps the interpreter lock for its whole call,
// compression included. Every failure of an operation is a plain OSError
// carrying the operation's message alone.
#include <optional>
#include <string>
#include <utility>

#include "binding/json_result.h"
#include "exchange/capsule/container_dict.h"
#include "exchange/capsule/container_file.h"
#include "exchange/capsule/container_import.h"
#include "exchange/capsule/container_reader.h"
#include "exchange/capsule/container_verify.h"
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
  };
}

}  // namespace vesk::py
