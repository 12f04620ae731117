#include "storage/record_log_purge.h"

#include <string>
#include <unordered_map>
#include <vector>

#include "base/coding.h"
#include "storage/atomic_file.h"
#include "storage/buffered_writer.h"
#include "storage/log_entry.h"
#include "storage/record_log_format.h"

namespace vesk {

namespace {

// The log's path with its extension replaced: "brain.vesk" ->
// "brain.vesk.<uuid>.<suffix>".
fs::path purge_side_path(const fs::path& log, std::string_view uuid, std::string_view suffix) {
  fs::path p = log;
  p.replace_extension("vesk." + std::string(uuid) + "." + std::string(suffix));
  return p;
}

Status copy_file(const fs::path& from, const fs::path& to, Env& env) {
  auto in = env.open(from, OpenMode::kRead);
  if (!in.ok()) return in.status();
  auto out = env.open(to, OpenMode::kReadWriteCreate);
  if (!out.ok()) return out.status();
  std::string chunk(1 << 20, '\0');
  uint64_t at = 0;
  for (;;) {
    auto got = (*in)->read_at(at, chunk.data(), chunk.size());
    if (!got.ok()) return got.status();
    if (*got == 0) break;
    VESK_RETURN_IF_ERROR((*out)->write_at(at, std::string_view(chunk.data(), *got)));
    at += *got;
  }
  VESK_RETURN_IF_ERROR((*out)->sync());
  return (*out)->close();
}

// Step 2: the surviving entries into `tmp`, streamed.
Status write_surviving_entries(VeskStorage& storage, const VeskStorage::WriterLock& held, const fs::path& tmp) {
  Env& env = storage.env();
  std::vector<std::string> ids;
  ids.reserve(storage.id_count());
  storage.for_each_id([&](std::string_view id) { ids.emplace_back(id); });

  VESK_RETURN_IF_ERROR(VeskStorage::create_log_file(tmp, env));
  auto file = env.open(tmp, OpenMode::kReadWrite);
  if (!file.ok()) return file.status();
  auto size = (*file)->size();
  if (!size.ok()) return size.status();
  BufferedWriter writer(std::move(file).value(), *size, 8 * 1024);
  uint64_t count = 0;
  for (const std::string& id : ids) {
    Result<std::optional<LogEntry>> entry = storage.read_entry(id, held);
    if (!entry.ok()) return entry.status();
    if (!entry->has_value()) continue;
    VESK_RETURN_IF_ERROR(write_log_entry(**entry, writer, storage.key().get()));
    ++count;
  }
  VESK_RETURN_IF_ERROR(writer.flush_buffer());
  std::string header_count;
  put_le<uint64_t>(&header_count, count);
  VESK_RETURN_IF_ERROR(writer.file().write_at(kLogCountOffset, header_count));
  VESK_RETURN_IF_ERROR(writer.file().sync());
  return writer.file().close();
}

}  // namespace

Status rewrite_record_log(VeskStorage& storage) {
  Env& env = storage.env();
  const fs::path& log = storage.log_path();
  VeskStorage::WriterLock held = storage.lock_writer();
  // The purge flushed the log just before; appends since then are written
  // out by the reads below, through the held slot.
  std::unordered_map<std::string, std::string> links;
  for (auto& [id, linked] : storage.linked_pairs()) links.emplace(std::move(id), std::move(linked));

  Result<std::string> tmp_uuid = random_uuid_v4(env);
  if (!tmp_uuid.ok()) return tmp_uuid.status();
  Result<std::string> bak_uuid = random_uuid_v4(env);
  if (!bak_uuid.ok()) return bak_uuid.status();
  const fs::path tmp = purge_side_path(log, *tmp_uuid, "purge.tmp");
  const fs::path bak = purge_side_path(log, *bak_uuid, "purge.bak");

  if (Status st = write_surviving_entries(storage, held, tmp); !st.ok()) {
    (void)env.remove(tmp);
    return st;
  }

  storage.close_handles(held);
  auto restore_handles = [&](Status failure) {
    (void)env.remove(tmp);
    (void)env.remove(bak);
    Status reopened = storage.reopen_handles(held);
    return reopened.ok() ? failure : reopened;
  };
  if (!env.hard_link(log, bak).ok()) {
    if (Status copied = copy_file(log, bak, env); !copied.ok()) return restore_handles(copied);
  }
  if (Status renamed = env.rename(tmp, log); !renamed.ok()) return restore_handles(renamed);
  (void)env.sync_dir(log.parent_path().empty() ? fs::path(".") : log.parent_path());

  Status reopened = storage.reopen_handles(held);
  if (reopened.ok()) reopened = storage.rebuild_index(held);
  if (!reopened.ok()) {
    // Back to the log of before, whole.
    storage.close_handles(held);
    Status back = env.rename(bak, log);
    if (back.ok()) back = storage.reopen_handles(held);
    if (back.ok()) back = storage.rebuild_index(held);
    storage.remap_cached_entries(links);
    return back.ok() ? reopened : back;
  }
  (void)env.remove(bak);
  held.unlock();
  storage.remap_cached_entries(links);
  return storage.write_temporal_sidecar();
}

}  // namespace vesk
