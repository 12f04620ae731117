#include "exchange/capsule/container_file.h"

#include <string_view>
#include <system_error>
#include <utility>

namespace vesk {

Status container_io_error(const Status& failure) {
  if (failure.ok()) return failure;
  if (failure.os_errno() != 0) {
    return Status::OS(failure.message() + " (os error " + std::to_string(failure.os_errno()) + ")");
  }
  return failure.as(ErrorKind::OS);
}

Status short_read_error() { return Status::OS("failed to fill whole buffer"); }

Status check_path_argument(const fs::path& path) {
  if (path.native().find('\0') != std::string::npos) return Status::OS("Path contains a NUL byte");
  return Status::Ok();
}

fs::path file_behind_link(const fs::path& path) {
  std::error_code ec;
  if (!fs::is_symlink(path, ec)) return path;
  fs::path target = fs::canonical(path, ec);
  return ec ? path : target;
}

Result<ContainerFile> ContainerFile::open(const fs::path& path, Env& env) {
  VESK_RETURN_IF_ERROR(check_path_argument(path));
  auto file = env.open(path, OpenMode::kRead);
  if (!file.ok()) return container_io_error(file.status());
  auto size = (*file)->size();
  if (!size.ok()) return container_io_error(size.status());
  return ContainerFile(std::move(file).value(), *size);
}

Result<std::string> ContainerFile::read(uint64_t offset, uint64_t n) {
  if (offset > size_ || n > size_ - offset) return short_read_error();
  std::string out(static_cast<size_t>(n), '\0');
  auto got = file_->read_at(offset, out.data(), out.size());
  if (!got.ok()) return container_io_error(got.status());
  if (*got < out.size()) return short_read_error();
  return out;
}

}  // namespace vesk
