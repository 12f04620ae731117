#include "exchange/capsule/store_artifacts.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <system_error>

#include "base/utf8.h"
#include "exchange/capsule/container_file.h"
#include "exchange/capsule/container_lock.h"

namespace vesk {

namespace {

constexpr std::array<std::string_view, 18> kStoreFileNames = {
    "brain.vesk",         "temporal.bin",
    "brain.cog",          "brain.snap",
    "embeddings.cog",     "embeddings.log",
    "beliefs.cog",        "concepts.cog",
    "causal.cog",         "topology.cog",
    "policies.cog",       "persistence_manifest.json",
    "maintenance_trends.json", "reflection_summaries.json",
    "recall_replay.json", "brain.audit",
    ".vesk.learned",      "canonical.vesk.syn",
};

constexpr std::array<std::string_view, 2> kWalkedDirs = {"index", "versions"};

Status fs_error(const std::error_code& ec) { return container_io_error(Status::System(ec.value(), ec.message())); }

bool is_regular_following_links(const fs::path& path) {
  std::error_code ec;
  const fs::file_status st = fs::status(path, ec);
  return !ec && fs::is_regular_file(st);
}

bool is_directory_following_links(const fs::path& path) {
  std::error_code ec;
  const fs::file_status st = fs::status(path, ec);
  return !ec && fs::is_directory(st);
}

Status walk(const fs::path& dir, const std::string& name, std::vector<ContainerArtifact>& out) {
  std::error_code ec;
  fs::directory_iterator it(dir, ec);
  if (ec) return fs_error(ec);
  for (const fs::directory_iterator end; it != end; it.increment(ec)) {
    const fs::directory_entry& entry = *it;
    const fs::file_status st = entry.symlink_status(ec);
    if (ec) return fs_error(ec);
    const std::string part = entry.path().filename().native();
    if (!is_valid_utf8(part)) return Status::OS("Vesk artifact path is not UTF-8");
    const std::string child = name + "/" + part;
    if (fs::is_directory(st)) {
      VESK_RETURN_IF_ERROR(walk(entry.path(), child, out));
    } else if (fs::is_regular_file(st)) {
      out.push_back({child, entry.path()});
    }
  }
  if (ec) return fs_error(ec);
  return Status::Ok();
}

// Equal to `base`, or below it part by part.
bool within(const fs::path& path, const fs::path& base) {
  auto p = path.begin();
  for (auto b = base.begin(); b != base.end(); ++b, ++p) {
    if (p == path.end() || *p != *b) return false;
  }
  return true;
}

}  // namespace

Result<std::vector<ContainerArtifact>> collect_store_artifacts(const fs::path& source_dir) {
  VESK_RETURN_IF_ERROR(check_path_argument(source_dir));
  std::vector<ContainerArtifact> out;
  for (std::string_view name : kStoreFileNames) {
    const fs::path path = source_dir / name;
    if (is_regular_following_links(path)) out.push_back({std::string(name), path});
  }
  for (std::string_view name : kWalkedDirs) {
    const fs::path dir = source_dir / name;
    if (is_directory_following_links(dir)) VESK_RETURN_IF_ERROR(walk(dir, std::string(name), out));
  }
  std::sort(out.begin(), out.end(),
            [](const ContainerArtifact& a, const ContainerArtifact& b) { return a.name < b.name; });
  return out;
}

Status exclude_container_artifacts(std::vector<ContainerArtifact>& artifacts, const fs::path& container_path) {
  Result<fs::path> lock_path = container_lock_path(container_path);
  if (!lock_path.ok()) return lock_path.status();
  std::error_code ec;
  std::vector<fs::path> guarded;
  // The lock file exists once a mutation has begun; before that there is
  // nothing of it to capture.
  fs::path lock = fs::canonical(*lock_path, ec);
  if (!ec) guarded.push_back(std::move(lock));
  if (fs::exists(container_path, ec)) {
    fs::path container = fs::canonical(container_path, ec);
    if (ec) return fs_error(ec);
    guarded.push_back(std::move(container));
  }
  std::erase_if(artifacts, [&](const ContainerArtifact& a) {
    std::error_code e;
    const fs::path canonical = fs::canonical(a.path, e);
    if (e) return false;
    return std::any_of(guarded.begin(), guarded.end(), [&](const fs::path& g) { return within(canonical, g); });
  });
  return Status::Ok();
}

}  // namespace vesk
