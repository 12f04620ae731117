// Vesk::purge_record and its history scope: the record erased from memory,
// the layers, the journal, the record log, the labelled snapshots and the
// audit journal, as far as the scope reaches.
#include <mutex>
#include <utility>

#include "audit/record_mention.h"
#include "base/sha256.h"
#include "base/trace.h"
#include "storage/record_log_purge.h"
#include "storage/snapshot_purge.h"
#include "store/vesk.h"

namespace vesk {

Result<PurgeReport> Vesk::purge_record(std::string_view record_id, PurgeScope scope) {
  VESK_SPAN(span, "purge_record", "vesk::vesk", trace::Level::Info, trace::field("scope", purge_scope_text(scope)));
  const std::string id(record_id);
  std::lock_guard<std::mutex> serial(destructive_mutation_mu_);
  PurgeReport report;
  report.scope = scope;

  // The text, taken before anything goes, by which the history scope finds
  // audit lines that quote the record.
  std::optional<std::string> content;
  {
    auto records = records_.records.read();
    if (const Record* r = records->find_value(id)) content = r->content;
  }
  if (!content) {
    Result<std::optional<LogEntry>> entry = storage_->read_entry(id);
    if (entry.ok() && entry->has_value()) content = (*entry)->content;
  }

  Result<std::optional<LayerRemovalCounts>> deleted = delete_record(id);
  if (!deleted.ok()) return deleted.status();
  if (deleted->has_value()) {
    report.layers = **deleted;
    report.active_record_removed = true;
  } else {
    Result<LayerRemovalCounts> counts = purge_ids_from_cognitive_layers(id);
    if (!counts.ok()) return counts.status();
    report.layers = *counts;
  }
  // What a record kept out of memory (or a delete that failed part way) may
  // have left under the id; each is a no-op when there is nothing.
  if (EmbeddingStore* embeddings = indexes_.embeddings.get()) {
    VESK_RETURN_IF_ERROR(embedding_store_remove(*embeddings, id));
  }
  indexes_.sdr_index->remove(id);
  indexes_.record_sdrs.write()->erase(id);
  storage_->remove_entry(id);
  report.removed_surfaces = {"active", "derived"};

  if (scope == PurgeScope::CurrentStorage || scope == PurgeScope::History) {
    Result<RecordMap> compacted = journal_->compact_cognitive_store(id);
    if (!compacted.ok()) return compacted.status();
    VESK_RETURN_IF_ERROR(storage_->flush());
    VESK_RETURN_IF_ERROR(rewrite_record_log(*storage_));
    report.removed_surfaces.emplace_back("current_storage");
  }
  if (scope == PurgeScope::History) {
    Result<std::pair<uint64_t, uint64_t>> history = purge_history(id, content.value_or(std::string()));
    if (!history.ok()) return history.status();
    report.snapshots_rewritten = history->first;
    report.audit_entries_removed = history->second;
    report.removed_surfaces.emplace_back("history");
  }

  report.record_digest = sha256_hex(id);
  if (audit_) {
    VESK_RETURN_IF_ERROR(audit_->append_audit_entry(AuditAction::Purge{
        report.record_digest, std::string(purge_scope_text(scope)), report.removed_surfaces}));
  }
  return report;
}

Result<std::pair<uint64_t, uint64_t>> Vesk::purge_history(std::string_view record_id, std::string_view content) {
  Result<uint64_t> snapshots = purge_record_from_snapshots(key_.get(), path_, list_snapshots(), record_id, env_);
  if (!snapshots.ok()) return snapshots.status();
  uint64_t removed = 0;
  if (audit_ && audit_->enabled()) {
    const PurgedRecordTrace purged{std::string(record_id), std::string(content)};
    Result<uint64_t> lines =
        audit_->remove_entries([&](const AuditEntry& entry) { return audit_entry_names_record(entry, purged); });
    if (!lines.ok()) return lines.status();
    removed = *lines;
  }
  return std::pair(*snapshots, removed);
}

}  // namespace vesk
