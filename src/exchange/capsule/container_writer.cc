#include "exchange/capsule/container_writer.h"

#include <cerrno>
#include <memory>
#include <system_error>
#include <utility>
#include <vector>

#include "exchange/capsule/container_file.h"
#include "exchange/capsule/container_format.h"
#include "exchange/capsule/container_header.h"
#include "exchange/capsule/container_reader.h"
#include "exchange/capsule/generation_signature.h"
#include "exchange/capsule/generation_writer.h"
#include "exchange/capsule/store_artifacts.h"
#include "exchange/capsule/uncommitted_tail.h"

namespace vesk {

namespace {

Status io(const Status& s) { return container_io_error(s); }

Status check_source(const fs::path& source_dir) {
  std::error_code ec;
  if (!fs::is_directory(source_dir, ec)) {
    return Status::OS("Vesk source directory does not exist: " + source_dir.native());
  }
  return Status::Ok();
}

Result<std::vector<ContainerArtifact>> artifacts_for(const fs::path& source_dir, const fs::path& container) {
  Result<std::vector<ContainerArtifact>> artifacts = collect_store_artifacts(source_dir);
  if (!artifacts.ok()) return artifacts.status();
  VESK_RETURN_IF_ERROR(exclude_container_artifacts(*artifacts, container));
  if (artifacts->empty()) return Status::OS("No Vesk artifacts found in " + source_dir.native());
  return artifacts;
}

uint64_t unix_seconds_or_zero(Env& env) {
  const double now = env.now_seconds();
  return now > 0 ? static_cast<uint64_t>(now) : 0;
}

// Header and generation 1 into the opened temporary file.
Result<GenerationWriteResult> write_new_container(File& file, const std::vector<ContainerArtifact>& artifacts,
                                                  const ContainerSigningKey* key, Env& env) {
  VESK_RETURN_IF_ERROR(io(file.truncate(0)));
  ContainerHeader header;
  header.magic = std::string(kContainerMagic);
  header.version = kContainerLayoutV2;
  header.created_at = unix_seconds_or_zero(env);
  VESK_RETURN_IF_ERROR(io(file.write_at(0, encode_container_header(header))));
  VESK_RETURN_IF_ERROR(io(file.sync()));
  return write_container_generation(file, kContainerHeaderSize, artifacts, nullptr, 1, key, env);
}

}  // namespace

fs::path container_export_temp_path(const fs::path& output) {
  fs::path temp = output;
  temp.replace_extension("vesk.tmp");
  return temp;
}

Result<ContainerExportReport> export_container_file(const fs::path& source_dir, const fs::path& output,
                                                    const ContainerSigningKey* key, Env& env) {
  VESK_RETURN_IF_ERROR(check_path_argument(source_dir));
  VESK_RETURN_IF_ERROR(check_path_argument(output));
  VESK_RETURN_IF_ERROR(check_source(source_dir));
  if (env.exists(output)) return Status::OS("Refusing to overwrite existing container: " + output.native());
  if (output.has_parent_path()) VESK_RETURN_IF_ERROR(io(env.create_dirs(output.parent_path())));
  Result<std::vector<ContainerArtifact>> artifacts = artifacts_for(source_dir, output);
  if (!artifacts.ok()) return artifacts.status();
  if (artifacts->size() > kMaxSegmentCount) return Status::OS("Vesk container exceeds maximum segment count");

  // Locked before it is emptied: a file that another export is writing is
  // never truncated under it. The lock follows the name: once the holder has
  // renamed or removed its file, a new one is made and locked.
  const fs::path temp = container_export_temp_path(output);
  auto temp_lock = env.lock(temp);
  if (!temp_lock.ok()) {
    const int err = temp_lock.status().os_errno();
    if (err == EWOULDBLOCK || err == EAGAIN) {
      return Status::OS("Vesk container temporary file is in use by another export: " + temp.native());
    }
    return io(temp_lock.status());
  }
  auto file = env.open(temp, OpenMode::kReadWrite);
  Result<GenerationWriteResult> written = file.ok() ? write_new_container(**file, *artifacts, key, env)
                                                    : Result<GenerationWriteResult>(io(file.status()));
  Status done = written.ok() ? Status::Ok() : written.status();
  if (file.ok()) {
    Status closed = io((*file)->close());
    if (done.ok()) done = closed;
  }
  if (done.ok()) done = io(env.rename(temp, output));
  if (!done.ok()) {
    (void)env.remove(temp);
    return done;
  }
  temp_lock->reset();

  Result<uint64_t> size = env.file_size(output);
  if (!size.ok()) return io(size.status());
  ContainerExportReport report;
  report.output_path = output.native();
  report.segment_count = written->toc.segments.size();
  report.original_size = written->toc.original_size;
  report.container_size = *size;
  report.compressed_segment_count = written->compressed_segment_count;
  report.generation = written->toc.generation;
  return report;
}

Result<ContainerWriteReport> append_container_generation(const fs::path& source_dir, const fs::path& container,
                                                         const ContainerSigningKey* key, Env& env) {
  VESK_RETURN_IF_ERROR(check_path_argument(source_dir));
  VESK_RETURN_IF_ERROR(check_path_argument(container));
  VESK_RETURN_IF_ERROR(check_source(source_dir));
  Result<ContainerFile> reader = ContainerFile::open(container, env);
  if (!reader.ok()) return reader.status();
  Result<ContainerHeader> header = read_container_header(*reader);
  if (!header.ok()) return header.status();
  if (header->version != kContainerLayoutV2) {
    return Status::OS("Incremental append requires an Vesk v2 container; found version " +
                      std::to_string(header->version));
  }
  Result<ContainerState> state = read_container_generations(*reader, *header);
  if (!state.ok()) return state.status();
  VESK_RETURN_IF_ERROR(check_signing_key_chain(*state, key));

  Result<std::vector<ContainerArtifact>> artifacts = artifacts_for(source_dir, container);
  if (!artifacts.ok()) return artifacts.status();
  auto file = env.open(container, OpenMode::kReadWrite);
  if (!file.ok()) return io(file.status());
  VESK_RETURN_IF_ERROR(cut_uncommitted_tail(**file, container, *state, env));
  Result<GenerationWriteResult> written = write_container_generation(
      **file, state->committed_end, *artifacts, &*state, state->latest.generation + 1, key, env);
  if (!written.ok()) return written.status();
  Result<uint64_t> final_size = (*file)->size();
  if (!final_size.ok()) return io(final_size.status());
  VESK_RETURN_IF_ERROR(io((*file)->close()));

  ContainerWriteReport report;
  report.output_path = container.native();
  report.generation = written->toc.generation;
  report.segment_count = written->toc.segments.size();
  report.changed_segment_count = written->changed_segment_count;
  report.reused_segment_count = written->reused_segment_count;
  report.removed_segment_count = written->removed_segment_count;
  report.appended_bytes = written->appended_bytes;
  report.container_size = *final_size;
  return report;
}

}  // namespace vesk
