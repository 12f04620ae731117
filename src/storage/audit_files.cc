#include "storage/audit_files.h"

#include <algorithm>
#include <cerrno>

#include "storage/audit_journal_format.h"

namespace vesk {

bool is_rotated_audit_file_name(std::string_view name) {
  if (!name.starts_with(kAuditFileName) || name.size() < kAuditFileName.size() + 2) return false;
  if (name[kAuditFileName.size()] != '.') return false;
  std::string_view digits = name.substr(kAuditFileName.size() + 1);
  return std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool audit_file_read_before(std::string_view a, std::string_view b) {
  const bool a_current = a == kAuditFileName, b_current = b == kAuditFileName;
  if (a_current || b_current) return !a_current && b_current;
  return a < b;  // string_view compares bytes as unsigned
}

Result<std::vector<AuditFileState>> audit_file_states(const fs::path& dir, Env& env) {
  Result<std::vector<std::string>> names = env.list_dir(dir);
  if (!names.ok()) return names.status();
  std::vector<AuditFileState> files;
  for (std::string& name : *names) {
    if (name != kAuditFileName && !is_rotated_audit_file_name(name)) continue;
    Result<FileStat> stat = env.file_stat(dir / name);
    if (!stat.ok()) {
      if (!env.exists(dir / name)) continue;  // gone since the listing
      return stat.status();
    }
    files.push_back(AuditFileState{std::move(name), *stat});
  }
  std::sort(files.begin(), files.end(),
            [](const AuditFileState& a, const AuditFileState& b) { return audit_file_read_before(a.name, b.name); });
  return files;
}

}  // namespace vesk
