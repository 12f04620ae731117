#include "exchange/capsule/segment_reader.h"

#include <zstd.h>

#include <algorithm>
#include <memory>
#include <utility>

namespace vesk {

namespace {

struct DCtxFree {
  void operator()(ZSTD_DCtx* d) const { ZSTD_freeDCtx(d); }
};

// Decodes every frame of `stored` into at most `cap` bytes. The output grows
// as the decoder fills it rather than being sized from a recorded length, so
// a record that claims far more than its frames hold costs no memory.
Result<std::string> zstd_decode_capped(std::string_view stored, uint64_t cap) {
  if (stored.empty()) return std::string();  // no frame begun, none left unfinished
  std::unique_ptr<ZSTD_DCtx, DCtxFree> dctx(ZSTD_createDCtx());
  if (!dctx) return Status::OS("Zstandard decoder could not be created");
  std::string out(static_cast<size_t>(std::min<uint64_t>(cap, std::max<uint64_t>(stored.size() * 4, 1 << 16))), '\0');
  ZSTD_inBuffer in{stored.data(), stored.size(), 0};
  size_t produced = 0;
  while (produced < cap) {
    if (produced == out.size()) {
      out.resize(static_cast<size_t>(std::min<uint64_t>(cap, static_cast<uint64_t>(out.size()) * 2)));
    }
    const size_t consumed = in.pos;
    ZSTD_outBuffer o{out.data(), out.size(), produced};
    const size_t hint = ZSTD_decompressStream(dctx.get(), &o, &in);
    if (ZSTD_isError(hint)) return Status::OS(ZSTD_getErrorName(hint));
    const bool progressed = o.pos > produced || in.pos > consumed;
    produced = o.pos;
    if (in.pos == in.size) {
      if (hint == 0) break;  // every frame decoded and flushed
      // All input taken, room left, and still inside a frame: it is cut short.
      if (produced < out.size()) return Status::OS("Incomplete Zstandard frame");
    } else if (!progressed) {
      return Status::OS("Incomplete Zstandard frame");
    }
  }
  out.resize(produced);
  return out;
}

}  // namespace

Result<std::string> decode_container_segment(std::string stored, const CapsuleSegment& segment) {
  std::string decoded;
  if (segment.codec == SegmentCodec::Raw) {
    decoded = std::move(stored);
  } else {
    Result<std::string> inflated = zstd_decode_capped(stored, segment.original_size + 1);
    if (!inflated.ok()) return inflated.status();
    decoded = std::move(inflated).value();
  }
  if (decoded.size() != segment.original_size) {
    return Status::OS("Decoded size mismatch for segment " + segment.name);
  }
  return decoded;
}

Result<std::string> read_segment_bytes(ContainerFile& file, const CapsuleSegment& segment) {
  Result<std::string> stored = file.read(segment.offset, segment.stored_size);
  if (!stored.ok()) return stored.status();
  return decode_container_segment(std::move(stored).value(), segment);
}

}  // namespace vesk
