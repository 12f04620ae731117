#include "exchange/capsule/segment_name.h"

#include "exchange/capsule/container_format.h"

namespace vesk {

Status validate_segment_name(std::string_view name) {
  if (name.empty() || name.size() > kMaxSegmentNameLength || name.find('\\') != std::string_view::npos ||
      name.find('\0') != std::string_view::npos) {
    return Status::OS("Unsafe Vesk container segment name");
  }
  auto unsafe = [&] { return Status::OS("Unsafe Vesk container segment path: " + std::string(name)); };
  if (name.front() == '/') return unsafe();
  bool first = true;
  size_t pos = 0;
  while (pos <= name.size()) {
    size_t slash = name.find('/', pos);
    if (slash == std::string_view::npos) slash = name.size();
    const std::string_view part = name.substr(pos, slash - pos);
    if (first && part == ".") return unsafe();
    if (part == "..") return unsafe();
    first = false;
    pos = slash + 1;
  }
  return Status::Ok();
}

std::string segment_restore_path(std::string_view name) {
  std::string out;
  size_t pos = 0;
  while (pos <= name.size()) {
    size_t slash = name.find('/', pos);
    if (slash == std::string_view::npos) slash = name.size();
    const std::string_view part = name.substr(pos, slash - pos);
    if (!part.empty() && part != ".") {
      if (!out.empty()) out += '/';
      out.append(part);
    }
    pos = slash + 1;
  }
  return out;
}

}  // namespace vesk
