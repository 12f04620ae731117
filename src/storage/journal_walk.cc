#include "storage/journal_walk.h"

#include <algorithm>

#include "base/coding.h"
#include "base/crc32.h"
#include "storage/cognitive_journal_format.h"

namespace vesk {
namespace {

// A window over the walked part of the file: the bytes asked for are read in
// chunks of at least 1 MiB, so a walk reads the file once front to back and
// a search after damage re-reads nothing it still holds.
class Window {
 public:
  Window(File& file, uint64_t end) : file_(file), end_(end) {}

  // The `len` bytes at `pos` (pos + len within the walked length), valid
  // until the next call.
  Result<const char*> at(uint64_t pos, size_t len) {
    if (pos >= start_ && pos + len <= start_ + buf_.size()) return buf_.data() + (pos - start_);
    const size_t want = static_cast<size_t>(std::min<uint64_t>(std::max<size_t>(len, kChunk), end_ - pos));
    buf_.resize(want);
    if (Status read = file_.read_exact_at(pos, buf_.data(), want); !read.ok()) {
      return Status::OS("read failed at offset " + std::to_string(pos) + ": " + read.message());
    }
    start_ = pos;
    return static_cast<const char*>(buf_.data());
  }

 private:
  static constexpr size_t kChunk = 1 << 20;
  File& file_;
  uint64_t end_;
  uint64_t start_ = 0;
  std::string buf_;
};

struct Head {
  uint8_t kind;
  uint32_t n;
  uint32_t crc;
};

Head read_head(const char* p) {
  return Head{static_cast<uint8_t>(p[0]), get_le<uint32_t>(p + 1), get_le<uint32_t>(p + 5)};
}

}  // namespace

bool journal_kind_known(uint8_t kind) {
  return kind >= static_cast<uint8_t>(FrameKind::kRecordInsert) &&
         kind <= static_cast<uint8_t>(FrameKind::kMutationBatch);
}

Result<JournalWalk> walk_journal(File& file, uint64_t offset, uint64_t end,
                                 const std::function<void(const JournalFrameView&)>& frame) {
  Window window(file, end);
  // The head at p when a well-formed frame starts there; the payload is then
  // in the window.
  auto well_formed = [&](uint64_t p, Head& head, const char*& payload) -> Result<bool> {
    if (end - p < kFrameHeadSize) return false;
    auto h = window.at(p, kFrameHeadSize);
    if (!h.ok()) return h.status();
    head = read_head(*h);
    if (!journal_kind_known(head.kind) || head.n == 0 || head.n > end - p - kFrameHeadSize) return false;
    auto body = window.at(p + kFrameHeadSize, head.n);
    if (!body.ok()) return body.status();
    payload = *body;
    return crc32_ieee(std::string_view(payload, head.n)) == head.crc;
  };

  JournalWalk walk;
  walk.good_end = offset;
  uint64_t p = offset;
  Head head{};
  const char* payload = nullptr;
  while (p < end) {
    auto ok = well_formed(p, head, payload);
    if (!ok.ok()) return ok.status();
    if (*ok) {
      if (frame) frame(JournalFrameView{head.kind, p, std::string_view(payload, head.n)});
      p += kFrameHeadSize + head.n;
      walk.good_end = p;
      continue;
    }
    // Not a frame: look for the next one.
    uint64_t q = p + 1;
    bool found = false;
    for (; q < end && end - q >= kFrameHeadSize; ++q) {
      auto next = well_formed(q, head, payload);
      if (!next.ok()) return next.status();
      if (*next) {
        found = true;
        break;
      }
    }
    if (found) {
      walk.skipped.emplace_back(p, q);
      p = q;
      continue;
    }
    // No frame follows: the tail. A torn one is the start of a frame that
    // would end past the walked length: a known kind, and a head cut short or
    // a length running past the end.
    const size_t have = static_cast<size_t>(std::min<uint64_t>(end - p, kFrameHeadSize));
    auto h = window.at(p, have);
    if (!h.ok()) return h.status();
    bool torn = journal_kind_known(static_cast<uint8_t>((*h)[0]));
    if (torn && have == kFrameHeadSize) torn = read_head(*h).n > end - p - kFrameHeadSize;
    walk.tail = torn ? JournalWalk::Tail::Torn : JournalWalk::Tail::Damaged;
    break;
  }
  return walk;
}

}  // namespace vesk
