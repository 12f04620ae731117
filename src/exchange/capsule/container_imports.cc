#include "exchange/capsule/container_imports.h"

#include <utility>

#include "exchange/capsule/container_format.h"
#include "exchange/capsule/container_lock.h"
#include "exchange/capsule/container_reader.h"
#include "exchange/capsule/container_verify.h"
#include "exchange/capsule/segment_selection.h"
#include "exchange/capsule/signature_chain.h"

namespace vesk {

Result<ContainerImportReport> import_container_generation(const fs::path& container_path,
                                                          const fs::path& target_path, uint64_t generation,
                                                          Env& env) {
  VESK_RETURN_IF_ERROR(check_path_argument(target_path));
  Result<OpenedContainer> opened = open_container(container_path, env);
  if (!opened.ok()) return opened.status();
  Result<CapsuleToc> toc = select_generation(*opened, generation);
  if (!toc.ok()) return toc.status();
  VESK_RETURN_IF_ERROR(verify_generation_segments(opened->file, std::span<const CapsuleToc>(&*toc, 1)));
  return import_container_segments(opened->file, target_path, toc->segments, env);
}

Result<ContainerImportReport> extract_container_segments(const fs::path& container_path, const fs::path& target_path,
                                                         std::vector<std::string> names, Env& env) {
  VESK_RETURN_IF_ERROR(check_path_argument(target_path));
  Result<OpenedContainer> opened = open_container(container_path, env);
  if (!opened.ok()) return opened.status();
  Result<std::vector<CapsuleSegment>> chosen =
      select_container_segments(opened->state.latest.segments, std::move(names));
  if (!chosen.ok()) return chosen.status();
  return import_container_segments(opened->file, target_path, *chosen, env);
}

Result<ContainerImportReport> import_authenticated_container(const fs::path& container_path,
                                                             const fs::path& target_path,
                                                             std::string_view trusted_public_key,
                                                             bool require_all_signed, Env& env) {
  VESK_RETURN_IF_ERROR(check_path_argument(container_path));
  VESK_RETURN_IF_ERROR(check_path_argument(target_path));
  auto mutation = ContainerMutation::begin(container_path, env);
  if (!mutation.ok()) return mutation.status();

  // One descriptor for the three steps: what was authenticated is what is
  // verified and restored, whatever is renamed over the path meanwhile.
  Result<ContainerFile> file = ContainerFile::open(container_path, env);
  if (!file.ok()) return file.status();
  Result<ContainerHeader> header = read_container_header(*file);
  if (!header.ok()) return header.status();
  if (header->version != kContainerLayoutV2) {
    return Status::OS("Authenticity verification requires an Vesk v2 container");
  }
  Result<ContainerState> state = read_container_generations(*file, *header);
  if (!state.ok()) return state.status();
  Result<ContainerAuthenticityReport> chain =
      verify_signature_chain(*state, container_path, trusted_public_key, require_all_signed);
  if (!chain.ok()) return chain.status();
  for (const CapsuleSegment& segment : state->latest.segments) {
    VESK_RETURN_IF_ERROR(verify_segment(*file, segment));
  }
  return import_container_segments(*file, target_path, state->latest.segments, env);
}

}  // namespace vesk
