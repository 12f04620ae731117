#include "exchange/capsule/container_compaction.h"

#include <algorithm>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "base/sha256.h"
#include "exchange/capsule/container_file.h"
#include "exchange/capsule/container_format.h"
#include "exchange/capsule/container_header.h"
#include "exchange/capsule/container_lock.h"
#include "exchange/capsule/container_reader.h"
#include "exchange/capsule/container_verify.h"
#include "exchange/capsule/generation_writer.h"
#include "exchange/capsule/segment_reader.h"
#include "exchange/capsule/uncommitted_tail.h"

namespace vesk {

namespace {

Status io(const Status& s) { return container_io_error(s); }

// Writes the kept generations into the new file `out`; gives the counts of
// copied and reused segments.
struct CopyCounts {
  uint64_t copied = 0;
  uint64_t reused = 0;
};

Result<CopyCounts> write_kept(ContainerFile& source, File& out, const std::vector<CapsuleToc>& kept) {
  CopyCounts counts;
  ContainerHeader header;
  header.magic = std::string(kContainerMagic);
  header.version = kContainerLayoutV2;
  header.created_at = kept.front().created_at;
  VESK_RETURN_IF_ERROR(io(out.write_at(0, encode_container_header(header))));
  VESK_RETURN_IF_ERROR(io(out.sync()));
  uint64_t end = kContainerHeaderSize;

  std::unordered_map<std::string_view, CapsuleSegment> written_before;  // the last generation's new records
  for (const CapsuleToc& old : kept) {
    const uint64_t start = end;
    VESK_RETURN_IF_ERROR(io(out.write_at(start, std::string(kGenerationFrameSize, '\0'))));
    end += kGenerationFrameSize;
    CapsuleToc toc = old;
    toc.segments.clear();
    toc.original_size = toc.stored_size = 0;
    for (const CapsuleSegment& segment : old.segments) {
      auto before = written_before.find(segment.name);
      if (before != written_before.end() && before->second.original_size == segment.original_size &&
          before->second.sha256 == segment.sha256) {
        toc.segments.push_back(before->second);
        ++counts.reused;
      } else {
        Result<std::string> stored = source.read(segment.offset, segment.stored_size);
        if (!stored.ok()) return stored.status();
        Result<std::string> decoded = decode_container_segment(*stored, segment);
        if (!decoded.ok()) return decoded.status();
        if (sha256_hex(*decoded) != segment.sha256) return Status::OS("Checksum mismatch for segment " + segment.name);
        VESK_RETURN_IF_ERROR(io(out.write_at(end, *stored)));
        out.start_writeback(end, stored->size());
        CapsuleSegment moved = segment;
        moved.offset = end;
        end += stored->size();
        toc.segments.push_back(std::move(moved));
        ++counts.copied;
      }
      const CapsuleSegment& added = toc.segments.back();
      if (__builtin_add_overflow(toc.original_size, added.original_size, &toc.original_size)) {
        return Status::OS("Compacted Vesk original size overflow");
      }
      if (__builtin_add_overflow(toc.stored_size, added.stored_size, &toc.stored_size)) {
        return Status::OS("Compacted Vesk stored size overflow");
      }
    }
    const std::string toc_bytes = serialize_capsule_toc(toc);
    if (toc_bytes.empty() || toc_bytes.size() > kMaxTocLength) {
      return Status::OS("Compacted Vesk container TOC exceeds size limit");
    }
    Result<uint64_t> committed = commit_generation(out, start, end, toc, toc_bytes);
    if (!committed.ok()) return committed.status();
    end = *committed;
    // Keyed by views into the old TOC's names, which outlive the map's use.
    written_before.clear();
    for (size_t i = 0; i < old.segments.size(); ++i) written_before.emplace(old.segments[i].name, toc.segments[i]);
  }
  VESK_RETURN_IF_ERROR(io(out.sync()));
  return counts;
}

// T read back: the kept numbers in order, every segment sound.
Status check_compacted(const fs::path& temp, const std::vector<CapsuleToc>& kept, Env& env) {
  Result<ContainerState> state = load_v2_container_state(temp, env);
  if (!state.ok()) return state.status();
  const bool same = state->generations.size() == kept.size() &&
                    std::equal(kept.begin(), kept.end(), state->generations.begin(),
                               [](const CapsuleToc& a, const CapsuleToc& b) { return a.generation == b.generation; });
  if (!same) return Status::OS("Compacted Vesk container generation history mismatch");
  return verify_generation_segments(temp, state->generations, env);
}

}  // namespace

fs::path compaction_temp_path(const fs::path& path) {
  fs::path temp = path;
  temp.replace_extension("vesk.compact.tmp");
  return temp;
}

Result<CompactionReport> compact_container_generations(const fs::path& path, uint64_t keep_last, Env& env) {
  if (keep_last == 0) return Status::OS("Vesk container compaction must retain at least one generation");
  const fs::path real = file_behind_link(path);
  Result<OpenedContainer> opened = open_v2_container(real, env);
  if (!opened.ok()) return opened.status();
  const ContainerState& state = opened->state;
  const std::vector<CapsuleToc>& tocs = state.generations;
  const uint64_t n = tocs.size();

  CompactionReport report;
  report.path = path.native();
  report.previous_size = opened->file.size();
  report.trailing_bytes_removed = report.previous_size > state.committed_end
                                      ? report.previous_size - state.committed_end : 0;

  uint64_t keep = std::min(n, keep_last);
  if (!state.latest.holds.empty()) {
    uint64_t h = UINT64_MAX;
    for (const CapsuleGenerationHold& hold : state.latest.holds) h = std::min(h, hold.generation);
    const uint64_t first = tocs.front().generation;
    if (h < first || h > tocs.back().generation) return Status::OS("Held Vesk generation is not retained");
    keep = std::max(keep, n - (h - first));  // numbers run on from the first
  }
  std::vector<CapsuleToc> kept(tocs.end() - static_cast<std::ptrdiff_t>(keep), tocs.end());
  std::unordered_set<uint64_t> kept_numbers;
  for (const CapsuleToc& toc : kept) {
    report.kept_generations.push_back(toc.generation);
    kept_numbers.insert(toc.generation);
  }
  for (CapsuleToc& toc : kept) {
    if (toc.authenticity) continue;  // the signed manifest covers its holds
    std::erase_if(toc.holds, [&](const CapsuleGenerationHold& h) { return !kept_numbers.contains(h.generation); });
  }
  report.dropped_generation_count = n - keep;
  if (keep == n && report.trailing_bytes_removed == 0) {
    report.compacted_size = report.previous_size;
    return report;
  }
  if (report.trailing_bytes_removed > 0) VESK_RETURN_IF_ERROR(check_uncommitted_tail(opened->file, state));

  const fs::path temp = compaction_temp_path(real);
  if (env.exists(temp)) return Status::OS("Vesk compaction temporary path already exists: " + temp.native());
  auto out = env.open(temp, OpenMode::kWriteCreateNew);
  if (!out.ok()) return io(out.status());
  Result<CopyCounts> counts = write_kept(opened->file, **out, kept);
  Status done = counts.ok() ? Status::Ok() : counts.status();
  Status closed = io((*out)->close());
  if (done.ok()) done = closed;
  if (done.ok()) done = check_compacted(temp, kept, env);
  Result<uint64_t> size = done.ok() ? env.file_size(temp) : Result<uint64_t>(done);
  if (!size.ok()) done = io(size.status());
  if (done.ok()) done = io(env.rename(temp, real));
  if (!done.ok()) {
    (void)env.remove(temp);
    return done;
  }
  report.copied_segment_count = counts->copied;
  report.reused_segment_count = counts->reused;
  report.compacted_size = *size;
  report.reclaimed_bytes = report.previous_size > *size ? report.previous_size - *size : 0;
  return report;
}

Result<CompactionReport> compact_container_locked(const fs::path& path, uint64_t keep_last, Env& env) {
  auto mutation = ContainerMutation::begin(path, env);
  if (!mutation.ok()) return mutation.status();
  return compact_container_generations(path, keep_last, env);
}

}  // namespace vesk
