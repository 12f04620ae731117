// AuditJournal::remove_entries: the audit files rewritten without the lines
// of the entries a history purge removes.
#include <string>
#include <vector>

#include "base/utf8.h"
#include "storage/atomic_file.h"
#include "storage/audit_journal.h"

namespace vesk {

namespace {

bool is_audit_file_name(std::string_view name) {
  return name == kAuditFileName ||
         (name.size() > kAuditFileName.size() + 1 && name.starts_with(kAuditFileName) &&
          name[kAuditFileName.size()] == '.');
}

// One file read line by line into a temporary file of its kept lines.
struct FileRewrite {
  fs::path path;
  fs::path temp;
  uint64_t removed = 0;
};

// Reads `rw.path`, writing the lines `names` does not accept to `rw.temp`
// through an 8 KiB buffer. The temporary file is forced only when a line was
// removed; otherwise the caller removes it.
Status filter_file(FileRewrite& rw, const SecretKey* key, const std::function<bool(const AuditEntry&)>& names,
                   Env& env) {
  auto in = env.open(rw.path, OpenMode::kRead);
  if (!in.ok()) return in.status();
  auto out = env.open(rw.temp, OpenMode::kReadWriteCreate);
  if (!out.ok()) return out.status();
  BufferedWriter writer(std::move(out).value(), 0, 8 * 1024);

  auto take_line = [&](std::string_view line) -> Status {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    std::string json;
    if (line.size() >= kAuditSealedPrefix.size() && line.starts_with(kAuditSealedPrefix)) {
      Result<std::string> plain = audit_line_json(key, line);
      if (!plain.ok()) return plain.status();
      if (!is_valid_utf8(*plain)) return Status::Runtime("Sealed audit line is not valid UTF-8");
      json = std::move(plain).value();
    } else {
      json = std::string(line);
    }
    Result<AuditEntry> entry = parse_audit_entry(json);
    wipe(json);
    if (entry.ok() && names(*entry)) {
      ++rw.removed;
      return Status::Ok();
    }
    VESK_RETURN_IF_ERROR(writer.write(line));
    return writer.write("\n");
  };

  std::string chunk(64 * 1024, '\0');
  std::string partial;
  uint64_t at = 0;
  for (;;) {
    auto got = (*in)->read_at(at, chunk.data(), chunk.size());
    if (!got.ok()) return got.status();
    if (*got == 0) break;
    at += *got;
    std::string_view bytes(chunk.data(), *got);
    size_t lf;
    while ((lf = bytes.find('\n')) != std::string_view::npos) {
      if (partial.empty()) {
        VESK_RETURN_IF_ERROR(take_line(bytes.substr(0, lf)));
      } else {
        partial.append(bytes.substr(0, lf));
        VESK_RETURN_IF_ERROR(take_line(partial));
        partial.clear();
      }
      bytes.remove_prefix(lf + 1);
    }
    partial.append(bytes);
  }
  if (!partial.empty()) VESK_RETURN_IF_ERROR(take_line(partial));
  VESK_RETURN_IF_ERROR(writer.flush_buffer());
  if (rw.removed > 0) VESK_RETURN_IF_ERROR(writer.file().sync());
  return writer.file().close();
}

}  // namespace

Result<uint64_t> AuditJournal::remove_entries(const std::function<bool(const AuditEntry&)>& names) {
  std::lock_guard<std::mutex> rewrite(rewrite_mu_);
  std::lock_guard<std::mutex> g(writer_mu_);
  if (writer_) {
    VESK_RETURN_IF_ERROR(writer_->flush_buffer());
    (void)writer_->file().close();
    writer_.reset();
  }

  std::vector<FileRewrite> marked;
  auto rewrite_files = [&]() -> Result<uint64_t> {
    Result<std::vector<std::string>> listing = env_.list_dir(dir_.empty() ? fs::path(".") : dir_);
    if (!listing.ok()) return listing.status();
    const SecretKey* key = key_ ? &*key_ : nullptr;
    for (const std::string& name : *listing) {
      if (!is_audit_file_name(name)) continue;
      Result<std::string> uuid = random_uuid_v4(env_);
      if (!uuid.ok()) return uuid.status();
      FileRewrite rw{dir_ / name, {}, 0};
      rw.temp = rw.path;
      rw.temp.replace_extension("audit." + *uuid + ".purge.tmp");
      Status filtered = filter_file(rw, key, names, env_);
      if (!filtered.ok() || rw.removed == 0) (void)env_.remove(rw.temp);
      if (!filtered.ok()) return filtered;
      if (rw.removed > 0) marked.push_back(std::move(rw));
    }
    uint64_t removed = 0;
    for (size_t i = 0; i < marked.size(); ++i) {
      if (Status st = env_.rename(marked[i].temp, marked[i].path); !st.ok()) {
        marked.clear();
        return st;
      }
      removed += marked[i].removed;
    }
    marked.clear();
    return removed;
  };
  Result<uint64_t> removed = rewrite_files();
  // Temporary files of a rewrite that failed before its renames; those of a
  // failed rename stay beside the journal.
  if (!removed.ok()) {
    for (const FileRewrite& rw : marked) (void)env_.remove(rw.temp);
  }
  (void)env_.sync_dir(dir_.empty() ? fs::path(".") : dir_);
  // The files changed under the receipt index: it is read again when next
  // asked for.
  receipts_.note_lost();
  Status reopened = open_writer_locked();
  if (!removed.ok()) return removed;
  if (!reopened.ok()) return reopened;
  return removed;
}

}  // namespace vesk
