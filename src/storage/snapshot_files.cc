#include "storage/snapshot_files.h"

#include <algorithm>
#include <optional>

#include "base/utf8.h"

namespace vesk {
namespace {

// The components of a path with "." and empty (trailing-separator) parts
// left out; the root, when present, is the first.
std::vector<std::string> components(const fs::path& p) {
  std::vector<std::string> parts;
  for (const fs::path& c : p) {
    std::string s = c.string();
    if (s.empty() || s == ".") continue;
    parts.push_back(std::move(s));
  }
  return parts;
}

bool is_normal(const std::string& part) { return part != "/" && part != ".."; }

}  // namespace

fs::path snapshot_dir(const fs::path& store_path) {
  std::vector<std::string> parts = components(store_path);
  if (parts.empty() || (parts.size() == 1 && parts[0] == "/")) return ".";
  parts.pop_back();
  if (parts.empty()) return ".";
  fs::path dir;
  for (const std::string& part : parts) dir /= part;
  return dir;
}

std::string snapshot_stem(const fs::path& store_path) {
  std::vector<std::string> parts = components(store_path);
  if (parts.empty() || !is_normal(parts.back())) return {};
  std::string name = decode_utf8_lossy(parts.back());
  size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot == 0) return name;
  return name.substr(0, dot);
}

fs::path snapshot_path(const fs::path& store_path, std::string_view label) {
  std::string name = snapshot_stem(store_path);
  name += "_snapshot_";
  name += label;
  name += ".json";
  // A bare relative name has an empty parent: the bare file name, resolved
  // against the working directory.
  std::vector<std::string> parts = components(store_path);
  if (parts.size() == 1 && parts[0] != "/") return fs::path(name);
  return snapshot_dir(store_path) / name;
}

std::vector<std::string> list_snapshot_labels(const fs::path& store_path, Env& env) {
  auto names = env.list_dir(snapshot_dir(store_path));
  if (!names.ok()) return {};
  const std::string prefix = snapshot_stem(store_path) + "_snapshot_";
  constexpr std::string_view kSuffix = ".json";
  std::vector<std::string> labels;
  for (const std::string& raw : *names) {
    std::string name = decode_utf8_lossy(raw);
    if (!name.starts_with(prefix) || !name.ends_with(kSuffix)) continue;
    std::string_view rest = std::string_view(name).substr(prefix.size());
    if (rest.size() < kSuffix.size()) continue;
    labels.emplace_back(rest.substr(0, rest.size() - kSuffix.size()));
  }
  std::sort(labels.begin(), labels.end());
  return labels;
}

}  // namespace vesk
