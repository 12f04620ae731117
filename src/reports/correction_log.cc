#include "reports/correction_log.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <variant>

#include "audit/audit_entry.h"
#include "base/hex.h"
#include "base/utf8.h"
#include "storage/audit_journal_format.h"

namespace vesk {
namespace {

constexpr size_t kReadChunk = 64 * 1024;

// Outcome of one complete line.
enum class LineVerdict { Keep, Skip, EmptyLog };

class LogBuilder {
 public:
  explicit LogBuilder(const SecretKey* key) : key_(key) {}

  LineVerdict add(std::string_view line) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (!is_valid_utf8(line)) return LineVerdict::EmptyLog;
    std::string_view json = line;
    if (line.size() >= kAuditSealedPrefix.size() && line.starts_with(kAuditSealedPrefix)) {
      auto sealed = hex_decode(line.substr(kAuditSealedPrefix.size()));
      if (!sealed) return LineVerdict::EmptyLog;
      auto opened = unseal_payload(key_, *sealed);
      if (!opened.ok() || !is_valid_utf8(*opened)) return LineVerdict::EmptyLog;
      opened_ = std::move(*opened);
      json = opened_;
    } else if (key_) {
      return LineVerdict::EmptyLog;
    }
    // Only a line that names a correction can hold one; a line that could
    // spell the tag with escapes is parsed all the same.
    if (json.find("correction") == std::string_view::npos && json.find("\\u") == std::string_view::npos) {
      return LineVerdict::Skip;
    }
    auto entry = parse_audit_entry(json);
    if (!entry.ok()) return LineVerdict::Skip;
    auto* c = std::get_if<AuditAction::Correction>(&entry->action.value);
    if (!c) return LineVerdict::Skip;
    log_.push_back(CorrectionLogEntry{entry->timestamp, std::move(entry->time_iso), std::move(c->target_kind),
                                      std::move(c->target_id), std::move(c->operation), std::move(c->reason),
                                      std::move(entry->session_id)});
    return LineVerdict::Keep;
  }

  std::vector<CorrectionLogEntry> take() { return std::move(log_); }

 private:
  const SecretKey* key_;
  std::string opened_;
  std::vector<CorrectionLogEntry> log_;
};

}  // namespace

std::vector<CorrectionLogEntry> read_correction_log(Env& env, const fs::path& path, const SecretKey* key) {
  if (!env.file_size(path).ok()) return {};
  auto file = env.open(path, OpenMode::kRead);
  if (!file.ok()) return {};
  LogBuilder builder(key);
  // One pass: complete lines are handed over as they appear, a partial line
  // waits in `carry` for the rest of it.
  std::string chunk(kReadChunk, '\0');
  std::string carry;
  uint64_t offset = 0;
  for (;;) {
    auto got = (*file)->read_at(offset, chunk.data(), chunk.size());
    if (!got.ok()) return {};
    if (*got == 0) break;
    offset += *got;
    std::string_view data(chunk.data(), *got);
    size_t start = 0;
    for (size_t nl; (nl = data.find('\n', start)) != std::string_view::npos; start = nl + 1) {
      std::string_view line = data.substr(start, nl - start);
      if (!carry.empty()) {
        carry.append(line);
        line = carry;
      }
      const LineVerdict v = builder.add(line);
      carry.clear();
      if (v == LineVerdict::EmptyLog) return {};
    }
    carry.append(data.substr(start));
  }
  // What is left in `carry` has no line feed yet: an entry being written.
  return builder.take();
}

std::vector<CorrectionLogEntry> correction_log_for_target(std::vector<CorrectionLogEntry> log,
                                                          std::string_view target_kind, std::string_view target_id) {
  std::erase_if(log, [&](const CorrectionLogEntry& e) { return e.target_kind != target_kind || e.target_id != target_id; });
  return log;
}

JsonValue::Array correction_log_to_list(const std::vector<CorrectionLogEntry>& log) {
  JsonValue::Array out;
  out.reserve(log.size());
  for (const CorrectionLogEntry& e : log) {
    JsonObject o;
    o.reserve(7);
    o.append("timestamp", e.timestamp);
    o.append("time_iso", e.time_iso);
    o.append("target_kind", e.target_kind);
    o.append("target_id", e.target_id);
    o.append("operation", e.operation);
    o.append("reason", e.reason);
    o.append("session_id", e.session_id);
    out.emplace_back(std::move(o));
  }
  return out;
}

}  // namespace vesk
