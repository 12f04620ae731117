#include "exchange/capsule/container_import.h"

#include <unistd.h>

#include <optional>
#include <set>
#include <string_view>
#include <utility>

#include "base/sha256.h"
#include "base/utf8.h"
#include "exchange/capsule/container_file.h"
#include "exchange/capsule/segment_name.h"
#include "exchange/capsule/segment_reader.h"

namespace vesk {

namespace {

// The temporary files' directory inside the staging directory. A segment
// name cannot hold a backslash, so no restored path can meet it.
constexpr std::string_view kTempDirName = "\\import.tmp";

// The parent and last part of a target path as a path's components give
// them: empty parts and "." parts after the first are not components, a
// leading "/" is the root.
struct TargetParts {
  bool has_parent = false;
  std::string parent;  // "" for the current directory
  bool normal_name = false;
  std::string name;
};

TargetParts split_target(std::string_view text) {
  std::vector<std::string_view> parts;  // "/" stands for the root
  if (!text.empty() && text.front() == '/') parts.push_back("/");
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t slash = text.find('/', pos);
    if (slash == std::string_view::npos) slash = text.size();
    const std::string_view part = text.substr(pos, slash - pos);
    if (!part.empty() && (part != "." || parts.empty())) parts.push_back(part);
    pos = slash + 1;
  }
  TargetParts out;
  if (parts.empty() || (parts.size() == 1 && parts[0] == "/")) return out;
  out.has_parent = true;
  for (size_t i = 0; i + 1 < parts.size(); ++i) {
    if (!out.parent.empty() && out.parent != "/") out.parent += '/';
    out.parent.append(parts[i]);
  }
  const std::string_view last = parts.back();
  out.normal_name = last != "." && last != ".." && last != "/";
  if (out.normal_name) out.name = std::string(last);
  return out;
}

// Removes `dir` with everything in it, as far as it can: entries that are
// not directories are unlinked (a symbolic link itself, never its target),
// the others emptied the same way and removed.
void remove_tree(Env& env, const fs::path& dir) {
  auto names = env.list_dir(dir);
  if (names.ok()) {
    for (const std::string& name : *names) {
      const fs::path entry = dir / name;
      if (!env.remove(entry).ok()) remove_tree(env, entry);
    }
  }
  (void)env.remove_dir(dir);
}

// Every directory a restored path passes through, relative to the staging
// directory ("" is the staging directory itself).
void add_directories(std::string_view restore_path, std::set<std::string>& dirs) {
  dirs.insert("");
  for (size_t slash = restore_path.find('/'); slash != std::string_view::npos;
       slash = restore_path.find('/', slash + 1)) {
    dirs.insert(std::string(restore_path.substr(0, slash)));
  }
}

Status write_segment_file(Env& env, const fs::path& temp, const fs::path& destination, std::string_view bytes) {
  auto file = env.open(temp, OpenMode::kWriteCreateNew);
  if (!file.ok()) return container_io_error(file.status());
  Status s = (*file)->write_at(0, bytes);
  if (s.ok()) s = (*file)->sync();
  Status closed = (*file)->close();
  if (s.ok()) s = closed;
  if (s.ok()) s = env.rename(temp, destination);
  return container_io_error(s);
}

// Steps after the staging directory exists; the caller removes it on failure.
// `open_container` gives the container to read from, opened once the
// staging directory exists.
template <class OpenContainer>
Result<uint64_t> restore_into(Env& env, OpenContainer open_container, const fs::path& staging,
                              const std::vector<CapsuleSegment>& segments) {
  Result<ContainerFile*> container = open_container();
  if (!container.ok()) return container.status();
  const fs::path temp_dir = staging / kTempDirName;
  VESK_RETURN_IF_ERROR(container_io_error(env.create_dir(temp_dir)));

  std::set<std::string> restored;
  std::set<std::string> dirs;
  uint64_t restored_size = 0;
  for (size_t i = 0; i < segments.size(); ++i) {
    const CapsuleSegment& segment = segments[i];
    VESK_RETURN_IF_ERROR(validate_segment_name(segment.name));
    std::string relative = segment_restore_path(segment.name);
    if (!restored.insert(relative).second) return Status::OS("Duplicate Vesk container segment: " + segment.name);
    add_directories(relative, dirs);
    const fs::path destination = staging / relative;
    VESK_RETURN_IF_ERROR(container_io_error(env.create_dirs(destination.parent_path())));
    Result<std::string> bytes = read_segment_bytes(**container, segment);
    if (!bytes.ok()) return bytes.status();
    if (sha256_hex(*bytes) != segment.sha256) return Status::OS("Checksum mismatch for segment " + segment.name);
    VESK_RETURN_IF_ERROR(write_segment_file(env, temp_dir / std::to_string(i), destination, *bytes));
    restored_size += segment.original_size;
  }
  VESK_RETURN_IF_ERROR(container_io_error(env.remove_dir(temp_dir)));
  for (const std::string& dir : dirs) {
    VESK_RETURN_IF_ERROR(container_io_error(env.sync_dir(dir.empty() ? staging : staging / dir)));
  }
  return restored_size;
}

template <class OpenContainer>
Result<ContainerImportReport> import_segments(const fs::path& target_path, const std::vector<CapsuleSegment>& segments,
                                              Env& env, OpenContainer open_container) {
  VESK_RETURN_IF_ERROR(check_path_argument(target_path));
  const std::string& target = target_path.native();
  if (env.exists(target_path)) {
    return Status::OS("Import target must not exist; refusing to overwrite " + target);
  }
  const TargetParts parts = split_target(target);
  if (!parts.has_parent) return Status::OS("Import target must have a parent directory");
  if (!parts.parent.empty()) VESK_RETURN_IF_ERROR(container_io_error(env.create_dirs(parts.parent)));
  if (!parts.normal_name || !is_valid_utf8(parts.name)) return Status::OS("Invalid import target name");

  const fs::path parent = parts.parent;
  const fs::path staging = parent / ("." + parts.name + ".vesk-import-" + std::to_string(::getpid()));
  if (env.exists(staging)) return Status::OS("Import staging path already exists: " + staging.native());
  VESK_RETURN_IF_ERROR(container_io_error(env.create_dir(staging)));

  Result<uint64_t> restored = restore_into(env, open_container, staging, segments);
  Status renamed = restored.ok() ? container_io_error(env.rename(staging, target_path)) : restored.status();
  if (!renamed.ok()) {
    remove_tree(env, staging);
    return renamed;
  }
  // The import is complete once the rename is done; forcing the parent's
  // entry is a courtesy whose failure changes nothing about that.
  (void)env.sync_dir(parent);
  return ContainerImportReport{target, static_cast<uint64_t>(segments.size()), *restored};
}

}  // namespace

Result<ContainerImportReport> import_container_segments(const fs::path& container_path, const fs::path& target_path,
                                                        const std::vector<CapsuleSegment>& segments, Env& env) {
  VESK_RETURN_IF_ERROR(check_path_argument(container_path));
  std::optional<ContainerFile> file;
  return import_segments(target_path, segments, env, [&]() -> Result<ContainerFile*> {
    Result<ContainerFile> opened = ContainerFile::open(container_path, env);
    if (!opened.ok()) return opened.status();
    file.emplace(std::move(opened).value());
    return &*file;
  });
}

Result<ContainerImportReport> import_container_segments(ContainerFile& container, const fs::path& target_path,
                                                        const std::vector<CapsuleSegment>& segments, Env& env) {
  return import_segments(target_path, segments, env, [&]() -> Result<ContainerFile*> { return &container; });
}

}  // namespace vesk
