#include "exchange/capsule/generation_writer.h"

#include <zstd.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "base/sha256.h"
#include "exchange/capsule/container_file.h"
#include "exchange/capsule/container_format.h"
#include "exchange/capsule/container_header.h"
#include "exchange/capsule/generation_signature.h"

namespace vesk {

namespace {

constexpr int kZstdLevel = 3;
// A segment is stored compressed only when that saves more than this.
constexpr uint64_t kMinCompressionSaving = 32;

struct CCtxFree {
  void operator()(ZSTD_CCtx* c) const { ZSTD_freeCCtx(c); }
};

Status io(const Status& s) { return container_io_error(s); }

uint64_t unix_seconds_or_zero(Env& env) {
  const double now = env.now_seconds();
  return now > 0 ? static_cast<uint64_t>(now) : 0;
}

}  // namespace

Result<uint64_t> commit_generation(File& file, uint64_t start, uint64_t toc_at, const CapsuleToc& toc,
                                   std::string_view toc_bytes) {
  VESK_RETURN_IF_ERROR(io(file.write_at(toc_at, toc_bytes)));
  VESK_RETURN_IF_ERROR(io(file.sync()));
  const uint64_t end = toc_at + toc_bytes.size();
  if (end < start) return Status::OS("Vesk generation frame size underflow");

  ContainerGenerationFrame frame;
  frame.magic = std::string(kGenerationMagic);
  frame.frame_version = kGenerationFrameVersion;
  frame.generation = toc.generation;
  frame.created_at = toc.created_at;
  frame.generation_length = end - start;
  frame.toc_offset = toc_at - start;
  frame.toc_length = toc_bytes.size();
  frame.toc_sha256 = sha256(toc_bytes);
  VESK_RETURN_IF_ERROR(io(file.write_at(start, encode_generation_frame(frame))));
  VESK_RETURN_IF_ERROR(io(file.sync()));
  return end;
}

Result<std::string> zstd_compress_segment(std::string_view content) {
  std::unique_ptr<ZSTD_CCtx, CCtxFree> cctx(ZSTD_createCCtx());
  if (!cctx) return Status::OS("Allocation error");
  size_t rc = ZSTD_CCtx_setParameter(cctx.get(), ZSTD_c_compressionLevel, kZstdLevel);
  if (!ZSTD_isError(rc)) rc = ZSTD_CCtx_setPledgedSrcSize(cctx.get(), content.size());
  if (ZSTD_isError(rc)) return Status::OS(ZSTD_getErrorName(rc));
  // Room for the worst case is reserved but only touched as it fills, so the
  // resident size grows with the compressed bytes alone.
  std::string out;
  out.reserve(ZSTD_compressBound(content.size()));
  ZSTD_inBuffer in{content.data(), content.size(), 0};
  for (;;) {
    const size_t step = ZSTD_CStreamOutSize();
    const size_t used = out.size();
    out.resize(used + step);
    ZSTD_outBuffer o{out.data(), out.size(), used};
    const size_t left = ZSTD_compressStream2(cctx.get(), &o, &in, ZSTD_e_end);
    if (ZSTD_isError(left)) return Status::OS(ZSTD_getErrorName(left));
    out.resize(o.pos);
    if (left == 0) break;
  }
  return out;
}

Result<GenerationWriteResult> write_container_generation(File& file, uint64_t committed_end,
                                                         const std::vector<ContainerArtifact>& artifacts,
                                                         const ContainerState* previous, uint64_t generation,
                                                         const ContainerSigningKey* key, Env& env) {
  if (artifacts.empty() || artifacts.size() > kMaxSegmentCount) return Status::OS("Invalid Vesk artifact count");
  GenerationWriteResult result;

  std::unordered_map<std::string_view, const CapsuleSegment*> earlier;
  if (previous) {
    std::unordered_set<std::string_view> captured;
    for (const ContainerArtifact& a : artifacts) captured.insert(a.name);
    for (const CapsuleSegment& s : previous->latest.segments) {
      earlier.emplace(s.name, &s);
      if (!captured.contains(s.name)) ++result.removed_segment_count;
    }
  }

  const uint64_t start = committed_end;
  VESK_RETURN_IF_ERROR(io(file.write_at(start, std::string(kGenerationFrameSize, '\0'))));
  uint64_t pos = start + kGenerationFrameSize;

  CapsuleToc& toc = result.toc;
  toc.segments.reserve(artifacts.size());
  for (const ContainerArtifact& artifact : artifacts) {
    Result<std::string> content = env.read_file(artifact.path);
    if (!content.ok()) {
      return Status::Wrap(ErrorKind::OS, "failed to read Vesk artifact " + artifact.path.native(), content.status());
    }
    const uint64_t size = content->size();
    if (size > kMaxSegmentSize) return Status::OS("Artifact exceeds segment size limit: " + artifact.name);
    toc.original_size += size;
    if (toc.original_size > kMaxTotalSize) return Status::OS("Vesk container exceeds total size limit");
    std::string digest = sha256_hex(*content);

    auto old = earlier.find(artifact.name);
    if (old != earlier.end() && old->second->original_size == size && old->second->sha256 == digest) {
      toc.segments.push_back(*old->second);
      ++result.reused_segment_count;
    } else {
      CapsuleSegment segment{artifact.name, pos, size, size, SegmentCodec::Raw, std::move(digest)};
      std::string compressed;
      if (size > kMinCompressionSaving) {
        Result<std::string> z = zstd_compress_segment(*content);
        if (!z.ok()) return z.status();
        if (z->size() + kMinCompressionSaving < size) compressed = std::move(z).value();
      }
      if (!compressed.empty()) {
        segment.codec = SegmentCodec::Zstd;
        segment.stored_size = compressed.size();
        content = std::move(compressed);
        ++result.compressed_segment_count;
      }
      VESK_RETURN_IF_ERROR(io(file.write_at(pos, *content)));
      file.start_writeback(pos, content->size());
      pos += content->size();
      toc.segments.push_back(std::move(segment));
      ++result.changed_segment_count;
    }
    if (__builtin_add_overflow(toc.stored_size, toc.segments.back().stored_size, &toc.stored_size)) {
      return Status::OS("Vesk container stored size overflow");
    }
  }

  const bool latest_signed = previous && previous->latest.authenticity.has_value();
  bool write = result.changed_segment_count > 0 || result.removed_segment_count > 0;
  if (key && previous && !latest_signed) write = true;
  if (previous && !write) {
    VESK_RETURN_IF_ERROR(io(file.truncate(start)));
    VESK_RETURN_IF_ERROR(io(file.sync()));
    GenerationWriteResult unchanged;
    unchanged.toc = previous->latest;
    unchanged.reused_segment_count = result.reused_segment_count;
    return unchanged;
  }

  toc.format = std::string(kContainerFormat);
  toc.version = kContainerLayoutV2;
  toc.generation = generation;
  toc.created_at = unix_seconds_or_zero(env);
  if (previous) toc.holds = previous->latest.holds;
  if (key) {
    std::optional<std::string> predecessor;
    if (latest_signed) predecessor = previous->latest.authenticity->manifest_sha256;
    sign_generation_manifest(toc, predecessor, *key);
  }
  const std::string toc_bytes = serialize_capsule_toc(toc);
  if (toc_bytes.empty() || toc_bytes.size() > kMaxTocLength) return Status::OS("Vesk container TOC exceeds size limit");

  Result<uint64_t> end = commit_generation(file, start, pos, toc, toc_bytes);
  if (!end.ok()) return end.status();
  result.appended_bytes = *end - start;
  return result;
}

}  // namespace vesk
