#include "storage/outcome_receipt_index.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

#include "audit/audit_entry.h"
#include "audit/outcome_receipt_integrity.h"
#include "base/utf8.h"
#include "storage/audit_journal.h"
#include "storage/audit_journal_format.h"

namespace vesk {
namespace {

constexpr size_t kReadChunk = 1 << 20;

// Calls `on_line` with each line of the first `size` bytes of `file`, its
// line feed and a carriage return before it removed, until it returns false.
template <class F>
Status for_each_line(File& file, uint64_t size, F&& on_line) {
  std::string chunk, carry;
  for (uint64_t at = 0; at < size;) {
    chunk.resize(static_cast<size_t>(std::min<uint64_t>(kReadChunk, size - at)));
    Result<size_t> n = file.read_at(at, chunk.data(), chunk.size());
    if (!n.ok()) return n.status();
    if (*n == 0) break;  // shorter than it was: read what is there
    at += *n;
    std::string_view rest(chunk.data(), *n);
    for (size_t lf; (lf = rest.find('\n')) != std::string_view::npos; rest.remove_prefix(lf + 1)) {
      std::string_view line = rest.substr(0, lf);
      if (!carry.empty()) {
        carry.append(line);
        line = carry;
      }
      if (line.ends_with('\r')) line.remove_suffix(1);
      if (!on_line(line)) return Status::Ok();
      carry.clear();
    }
    carry.append(rest);
  }
  if (!carry.empty()) {
    std::string_view line = carry;
    if (line.ends_with('\r')) line.remove_suffix(1);
    on_line(line);
  }
  return Status::Ok();
}

// Reads one line into `read`; false once the line is the read's failure.
bool take_line(std::string_view line, const SecretKey* key, OutcomeReceiptRead& read) {
  if (!is_valid_utf8(line)) {
    read.failure = Status::Runtime("audit journal line is not valid UTF-8");
    return false;
  }
  std::string opened;
  std::string_view text = line;
  if (line.starts_with(kAuditSealedPrefix)) {
    Result<std::string> json = audit_line_json(key, line);
    if (!json.ok()) {
      read.failure = json.status();
      return false;
    }
    opened = std::move(json).value();
    if (!is_valid_utf8(opened)) {
      read.failure = Status::Runtime("sealed audit journal entry is not valid UTF-8");
      return false;
    }
    text = opened;
  } else if (key) {
    read.failure = Status::Runtime("plaintext audit entry in encrypted memory");
    return false;
  }
  // Only an entry whose text names the action can carry a receipt: without
  // an escape the tag stands in it literally, and most entries are skipped
  // without being parsed.
  if (text.find("outcome_receipt") == std::string_view::npos && text.find('\\') == std::string_view::npos) {
    wipe(opened);
    return true;
  }
  Result<AuditEntry> entry = parse_audit_entry(text);
  wipe(opened);
  if (!entry.ok()) return true;
  auto* action = std::get_if<AuditAction::OutcomeReceipt>(&entry->action.value);
  if (!action) return true;
  if (Status checked = check_stored_outcome_receipt(action->receipt); !checked.ok()) {
    read.failure = std::move(checked);
    return false;
  }
  read.receipts.add(std::move(action->receipt));
  return true;
}

}  // namespace

Result<OutcomeReceiptRead> read_outcome_receipts(const fs::path& dir, std::span<const AuditFileState> files,
                                                 File* current, const SecretKey* key, Env& env) {
  OutcomeReceiptRead read;
  for (const AuditFileState& f : files) {
    std::unique_ptr<File> opened;
    File* file = f.name == kAuditFileName ? current : nullptr;
    if (!file) {
      Result<std::unique_ptr<File>> o = env.open(dir / f.name, OpenMode::kRead);
      if (!o.ok()) return o.status();
      opened = std::move(o).value();
      file = opened.get();
    }
    bool going = true;
    VESK_RETURN_IF_ERROR(for_each_line(*file, f.stat.size, [&](std::string_view line) {
      return going = take_line(line, key, read);
    }));
    if (!going) break;
  }
  return read;
}

void OutcomeReceiptIndex::begin_read() {
  drop();
  reading_ = true;
  notes_.clear();
}

void OutcomeReceiptIndex::install(std::vector<AuditFileState> files, OutcomeReceiptRead read) {
  reading_ = false;
  built_ = true;
  files_ = std::move(files);
  receipts_ = std::move(read.receipts);
  failure_ = std::move(read.failure);
  std::vector<Note> notes = std::move(notes_);
  notes_.clear();
  for (const Note& n : notes) {
    switch (n.kind) {
      case Note::Kind::Append:
        apply_append(n.before, n.line, n.after, n.receipt ? &*n.receipt : nullptr);
        break;
      case Note::Kind::Rotation:
        apply_rotation(n.rotated_name, n.after);
        break;
      case Note::Kind::Lost:
        drop();
        break;
    }
    if (!built_) return;
  }
}

void OutcomeReceiptIndex::abandon_read() {
  reading_ = false;
  notes_.clear();
}

void OutcomeReceiptIndex::drop() {
  built_ = false;
  files_.clear();
  receipts_ = OutcomeReceiptSet();
  failure_ = Status::Ok();
}

AuditFileState* OutcomeReceiptIndex::current() {
  if (files_.empty() || files_.back().name != kAuditFileName) return nullptr;
  return &files_.back();
}

void OutcomeReceiptIndex::note_append(const std::optional<FileStat>& before, std::pair<uint64_t, uint64_t> line,
                                      const std::optional<FileStat>& after, const OutcomeReceipt* receipt) {
  if (reading_) {
    notes_.push_back(Note{Note::Kind::Append, before, line, after,
                          receipt ? std::optional<OutcomeReceipt>(*receipt) : std::nullopt, {}});
  } else if (built_) {
    apply_append(before, line, after, receipt);
  }
}

void OutcomeReceiptIndex::note_rotation(std::string_view rotated_name, const std::optional<FileStat>& fresh) {
  if (reading_) {
    notes_.push_back(Note{Note::Kind::Rotation, std::nullopt, {}, fresh, std::nullopt, std::string(rotated_name)});
  } else if (built_) {
    apply_rotation(rotated_name, fresh);
  }
}

void OutcomeReceiptIndex::note_lost() {
  if (reading_) {
    notes_.push_back(Note{Note::Kind::Lost, std::nullopt, {}, std::nullopt, std::nullopt, {}});
  } else {
    drop();
  }
}

void OutcomeReceiptIndex::apply_append(const std::optional<FileStat>& before, std::pair<uint64_t, uint64_t> line,
                                       const std::optional<FileStat>& after, const OutcomeReceipt* receipt) {
  AuditFileState* accounted = current();
  // A file cut or grown behind the journal's back leaves the writer
  // somewhere else than the end the index knows: the line then does not
  // follow what was read.
  const bool as_accounted = accounted ? before && *before == accounted->stat : !before;
  const uint64_t known_end = accounted ? accounted->stat.size : 0;
  if (!as_accounted || line.first != known_end || !after || after->size != line.second) {
    drop();
    return;
  }
  if (accounted) {
    accounted->stat = *after;
  } else {
    files_.push_back(AuditFileState{std::string(kAuditFileName), *after});
  }
  // Past a failure nothing counts: the failure stands for the whole read.
  if (!receipt || !failure_.ok()) return;
  if (Status checked = check_stored_outcome_receipt(*receipt); !checked.ok()) {
    failure_ = std::move(checked);
    return;
  }
  receipts_.add(*receipt);
}

void OutcomeReceiptIndex::apply_rotation(std::string_view rotated_name, const std::optional<FileStat>& fresh) {
  AuditFileState* accounted = current();
  // The renamed file's lines must still come after every other file's in
  // reading order, or the index would not be what a full read gives.
  const bool last = std::all_of(files_.begin(), files_.end(), [&](const AuditFileState& f) {
    return f.name == kAuditFileName || audit_file_read_before(f.name, rotated_name);
  });
  if (!accounted || !last) {
    drop();
    return;
  }
  accounted->name = std::string(rotated_name);
  if (fresh) files_.push_back(AuditFileState{std::string(kAuditFileName), *fresh});
}

}  // namespace vesk
