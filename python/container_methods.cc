// Portable containers: making signing keys, and inspecting, verifying and
// importing container files. These are static methods: they work on paths
// alone, never touch an open store, and keep the interpreter lock for their
// whole call. Every failure of an operation is a plain OSError carrying the
// operation's message alone.
#include <string>
#include <utility>

#include "binding/json_result.h"
#include "exchange/capsule/container_dict.h"
#include "exchange/capsule/container_file.h"
#include "exchange/capsule/container_import.h"
#include "exchange/capsule/container_reader.h"
#include "exchange/capsule/container_verify.h"
#include "exchange/capsule/signing_key.h"
#include "vesk_object.h"

namespace vesk::py {
namespace {

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
      bind<kGenerateContainerSigningKey>(),
      bind<kInspectContainer>(),
      bind<kVerifyContainer>(),
      bind<kImportContainer>(),
  };
}

}  // namespace vesk::py
