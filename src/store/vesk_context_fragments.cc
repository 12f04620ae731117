// Context fragments: export_context writes what a structured recall found
// as a fragment; import_context stores a fragment's records as second-hand
// memory, each through the ordinary write path and then, under the record
// map's write lock, at half strength with its whole record journaled.
#include <string>
#include <vector>

#include "base/trace.h"
#include "base/utf8.h"
#include "exchange/context_fragment/context_fragment.h"
#include "recall/recall_request.h"
#include "store/record_changes.h"
#include "store/vesk.h"

namespace vesk {

std::string Vesk::export_context(std::string_view query, std::optional<size_t> top_k,
                                 std::optional<std::string> namespace_) {
  std::optional<std::vector<std::string>> namespaces;
  if (namespace_) namespaces = std::vector<std::string>{std::move(*namespace_)};
  VESK_SPAN(span, "export_context", "vesk::vesk", trace::Level::Info, trace::field("query", query),
            trace::field("top_k", top_k), trace::field("namespaces", namespaces_field(namespaces)));
  const std::vector<ScoredRecord> results =
      recall_structured(query, top_k.value_or(20), std::nullopt, std::nullopt, std::nullopt, std::move(namespaces));
  return write_context_fragment(query, results, decode_utf8_lossy(path_.native()));
}

Result<uint64_t> Vesk::import_context(std::string_view fragment_json) {
  VESK_SPAN(span, "import_context", "vesk::vesk", trace::Level::Info);
  auto records = read_fragment_records(fragment_json);
  if (!records.ok()) return records.status();
  for (const JsonValue& item : *records) {
    auto fragment = read_fragment_record(item);
    if (!fragment.ok()) return fragment.status();
    StoreRequest request;
    request.content = std::move(fragment->content);
    request.level = fragment->level;
    request.tags = std::move(fragment->tags);
    request.pin = false;
    request.source_type = "retrieved";
    request.metadata = std::move(fragment->metadata);
    request.deduplicate = true;
    request.auto_promote = false;
    auto stored = store_with_channel(std::move(request));
    if (!stored.ok()) return stored.status().as(ErrorKind::Runtime);

    // Second-hand memory starts at half the strength the write gave it. A
    // write that matched an exact duplicate returned the held record's id,
    // so it is the held record that is halved.
    Status halved = changes_->apply([&](RecordChanges::Batch& batch) -> Status {
      const Record* held = batch.find(stored->id);
      if (!held) return Status::Ok();
      Record next = *held;
      next.strength *= 0.5f;
      return batch.replace(std::move(next));
    });
    if (!halved.ok()) return halved.as(ErrorKind::Runtime);
  }
  clear_recall_caches();
  return static_cast<uint64_t>(records->size());
}

}  // namespace vesk
