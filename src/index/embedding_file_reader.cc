#include "index/embedding_file_reader.h"

#include <tbb/parallel_pipeline.h>
#include <tbb/task_arena.h>
#include <zlib.h>

#include <atomic>
#include <utility>
#include <vector>

#include "base/coding.h"
#include "base/string_hash.h"
#include "index/embedding_format.h"
#include "model/json_codec.h"

namespace vesk {

namespace {

constexpr size_t kPieceBytes = kEmbeddingReadPieceBytes;

// One piece of a file on its way through the three stages: read (in file
// order), parse (side by side), apply (in file order).
struct Piece {
  std::string bytes;      // what was read into this piece
  std::string_view text;  // the stretch or the whole frames handed on
  bool first = false, last = false;
  uint64_t offset = 0;  // file offset of text
  VectorRun run;
  bool ok = false;
  // Log pieces: the frames that apply, the end of the last of them within
  // text, and whether a bad frame came after them.
  uint64_t frames = 0;
  size_t frames_end = 0;
  bool bad = false;
  std::string plaintext;  // a keyed frame's text
};

// Reads a file front to back into piece buffers. Each buffer starts with the
// bytes the previous piece left over (the start of a member or a frame that
// did not fit), followed by fresh bytes.
class PieceReader {
 public:
  explicit PieceReader(File& file) : file_(file) {}

  Status fill(std::string& buf, size_t n) {
    buf.assign(carry_);
    start_ = pos_ - carry_.size();
    carry_.clear();
    return more(buf, n);
  }
  // Appends up to n more bytes; fewer only at the end of the file.
  Status more(std::string& buf, size_t n) {
    size_t have = buf.size();
    buf.resize(have + n);
    while (n > 0) {
      auto got = file_.read_at(pos_, buf.data() + have, n);
      if (!got.ok()) {
        buf.resize(have);
        return got.status();
      }
      if (*got == 0) {
        at_end_ = true;
        break;
      }
      have += *got;
      pos_ += *got;
      n -= *got;
    }
    buf.resize(have);
    return Status::Ok();
  }
  // The bytes of the last buffer filled that the next one starts with.
  void leave(std::string_view rest) { carry_.assign(rest); }
  bool at_end() const { return at_end_; }
  // File offset of the first byte of the last buffer filled.
  uint64_t start() const { return start_; }
  uint64_t bytes_read() const { return pos_; }

 private:
  File& file_;
  std::string carry_;
  uint64_t pos_ = 0, start_ = 0;
  bool at_end_ = false;
};

// Enough pieces in flight to keep every thread parsing while one piece is
// read and one applied.
size_t pieces_in_flight() { return 2 * static_cast<size_t>(tbb::this_task_arena::max_concurrency()) + 2; }

// Runs the stages over the pieces that `next` fills (false: no more).
// Pieces enter and leave in file order, so the pieces in flight are
// consecutive and piece i can use slot i % tokens: buffers are reused, and
// reading a large file touches the same memory again and again rather than
// fresh pages.
template <typename Next, typename Parse, typename Apply>
void run_pieces(Next&& next, Parse&& parse, Apply&& apply) {
  const size_t tokens = pieces_in_flight();
  std::vector<Piece> slots(tokens);
  size_t count = 0;
  tbb::parallel_pipeline(
      tokens,
      tbb::make_filter<void, Piece*>(tbb::filter_mode::serial_in_order,
                                     [&](tbb::flow_control& fc) -> Piece* {
                                       Piece& p = slots[count % tokens];
                                       p.text = {};
                                       p.first = p.last = p.ok = p.bad = false;
                                       p.offset = p.frames = 0;
                                       p.frames_end = 0;
                                       p.run.clear();
                                       if (!next(p)) {
                                         fc.stop();
                                         return nullptr;
                                       }
                                       ++count;
                                       return &p;
                                     }) &
          tbb::make_filter<Piece*, Piece*>(tbb::filter_mode::parallel,
                                           [&](Piece* p) {
                                             parse(*p);
                                             return p;
                                           }) &
          tbb::make_filter<Piece*, void>(tbb::filter_mode::serial_in_order, [&](Piece* p) { apply(*p); }));
}

// The one pass over a whole snapshot text, used when a stretch of it did not
// parse on its own: its vectors or its error, exactly as a reader of the
// whole document gives them.
std::optional<std::string> read_snapshot_in_one_pass(std::string_view text, VectorRunSink& sink) {
  sink.reset();
  StringKeyMap<std::vector<float>> vectors;
  JsonReader reader(text);
  if (!JsonCodec<StringKeyMap<std::vector<float>>>::read(reader, vectors) || !reader.end()) {
    return reader.status().message();
  }
  VectorRun run;
  for (auto it = vectors.begin(); it != vectors.end();) {
    run.clear();
    for (size_t n = 0; it != vectors.end() && n < 8192; ++n, it = vectors.erase(it)) run.add(it->first, it->second);
    sink.apply(run);
  }
  return std::nullopt;
}

// The stages of a snapshot's stretches, from whatever `next` cuts them (it
// stops once `stop` is set). Returns false when a stretch did not parse;
// nothing after it is parsed or applied.
template <typename Next>
bool apply_snapshot_stretches(Next&& next, std::atomic<bool>& stop, VectorRunSink& sink) {
  std::atomic<bool> failed{false};
  run_pieces(
      next,
      [&](Piece& p) {
        if (!failed.load(std::memory_order_relaxed)) p.ok = read_snapshot_members(p.text, p.first, p.last, p.run);
      },
      [&](Piece& p) {
        if (failed) return;
        if (!p.ok) {
          failed = true;
          stop = true;
          return;
        }
        sink.apply(p.run);
      });
  return !failed;
}

constexpr std::string_view kMemberBoundary = "],\"";

// The end of the last whole frame in `bytes` (0 when none is whole).
size_t whole_frames_end(std::string_view bytes) {
  size_t pos = 0;
  while (bytes.size() - pos >= kEmbeddingFrameHeaderSize) {
    const uint32_t n = get_le<uint32_t>(bytes.data() + pos);
    if (n > bytes.size() - pos - kEmbeddingFrameHeaderSize) break;
    pos += kEmbeddingFrameHeaderSize + n;
  }
  return pos;
}

uint32_t crc32_of(std::string_view bytes) {
  return static_cast<uint32_t>(crc32_z(0, reinterpret_cast<const Bytef*>(bytes.data()), bytes.size()));
}

}  // namespace

Result<std::optional<std::string>> read_embedding_snapshot(const fs::path& path, const SecretKey* key, Env& env,
                                                           VectorRunSink& sink) {
  std::atomic<bool> stop{false};
  bool first = true;
  if (key) {
    // Sealed whole: decrypted whole, then cut in memory.
    auto bytes = env.read_file(path);
    if (!bytes.ok()) return bytes.status();
    auto text = unseal_payload(key, *bytes);
    if (!text.ok()) {
      sink.reset();
      return std::optional<std::string>(text.status().message());
    }
    std::string().swap(*bytes);
    const std::string_view all = *text;
    size_t pos = 0;
    auto next = [&](Piece& p) {
      if (stop) return false;
      const std::string_view rest = all.substr(pos);
      const size_t at = rest.size() > kPieceBytes ? rest.find(kMemberBoundary, kPieceBytes) : std::string_view::npos;
      if (at == std::string_view::npos) {
        p.text = rest;
        p.last = true;
        stop = true;
      } else {
        p.text = rest.substr(0, at + 1);
        pos += at + 2;
      }
      p.first = std::exchange(first, false);
      return true;
    };
    if (apply_snapshot_stretches(next, stop, sink)) return std::optional<std::string>();
    return read_snapshot_in_one_pass(all, sink);
  }

  auto file = env.open(path, OpenMode::kRead);
  if (!file.ok()) return file.status();
  PieceReader reader(**file);
  Status io;
  auto next = [&](Piece& p) {
    if (stop) return false;
    Status st = reader.fill(p.bytes, kPieceBytes);
    for (;;) {
      if (!st.ok()) {
        io = st;
        stop = true;
        return false;
      }
      if (reader.at_end()) {
        p.text = p.bytes;
        p.last = true;
        stop = true;
        break;
      }
      // A stretch ends after a member: at "]," before the next key.
      const size_t at = p.bytes.rfind(kMemberBoundary);
      if (at != std::string::npos) {
        p.text = std::string_view(p.bytes).substr(0, at + 1);
        reader.leave(std::string_view(p.bytes).substr(at + 2));
        break;
      }
      st = reader.more(p.bytes, kPieceBytes);
    }
    p.first = std::exchange(first, false);
    return true;
  };
  const bool parsed = apply_snapshot_stretches(next, stop, sink);
  if (!io.ok()) return io;
  if (parsed) return std::optional<std::string>();
  // Damaged somewhere, or cut inside an id: the whole text in one pass, which
  // reports damage (a sealed file included) as reading it whole does.
  auto bytes = env.read_file(path);
  if (!bytes.ok()) return bytes.status();
  auto text = unseal_payload(nullptr, *bytes);
  if (!text.ok()) {
    sink.reset();
    return std::optional<std::string>(text.status().message());
  }
  return read_snapshot_in_one_pass(*text, sink);
}

Result<EmbeddingLogReplay> replay_embedding_log(const fs::path& path, const SecretKey* key, Env& env,
                                                VectorRunSink& sink) {
  auto file = env.open(path, OpenMode::kRead);
  if (!file.ok()) return file.status();
  PieceReader reader(**file);
  Status io;
  std::atomic<bool> stop{false};
  EmbeddingLogReplay replay;
  auto next = [&](Piece& p) {
    if (stop) return false;
    Status st = reader.fill(p.bytes, kPieceBytes);
    size_t whole = 0;
    for (;;) {
      if (!st.ok()) {
        io = st;
        stop = true;
        return false;
      }
      whole = whole_frames_end(p.bytes);
      if (whole > 0 || reader.at_end()) break;
      st = reader.more(p.bytes, kPieceBytes);
    }
    p.offset = reader.start();
    p.text = std::string_view(p.bytes).substr(0, whole);
    reader.leave(std::string_view(p.bytes).substr(whole));
    // At the end of the file whatever is left over is a torn frame.
    if (reader.at_end()) stop = true;
    return whole > 0;
  };
  // A bad frame ends the replay: no piece after it is parsed or applied.
  std::atomic<bool> ended{false};
  auto parse = [&](Piece& p) {
    if (ended.load(std::memory_order_relaxed)) return;
    for (size_t pos = 0; pos < p.text.size();) {
      const uint32_t n = get_le<uint32_t>(p.text.data() + pos);
      const uint32_t crc = get_le<uint32_t>(p.text.data() + pos + 4);
      const std::string_view payload = p.text.substr(pos + kEmbeddingFrameHeaderSize, n);
      if (crc32_of(payload) != crc) {
        p.bad = true;
        return;
      }
      auto text = unseal_payload_view(key, payload, p.plaintext);
      if (!text.ok() || !read_log_frame(*text, p.run)) {
        p.bad = true;
        return;
      }
      pos += kEmbeddingFrameHeaderSize + n;
      ++p.frames;
      p.frames_end = pos;
    }
  };
  auto apply = [&](Piece& p) {
    if (ended) return;
    if (p.frames > 0) {
      sink.apply(p.run);
      replay.frames += p.frames;
      replay.end = p.offset + p.frames_end;
    }
    if (p.bad) {
      ended = true;
      stop = true;
    }
  };
  run_pieces(next, parse, apply);
  if (!io.ok()) return io;
  replay.size = reader.bytes_read();
  return replay;
}

}  // namespace vesk
