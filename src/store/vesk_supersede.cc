// Supersession: a new version of a record replaces the old one, which stays
// in the store closed (Vesk::supersede), and the reads of the version chain.
//
// Locks. The taxonomy and the trust model are copied before the record map
// is locked, so the configuration block is never waited for while the map is
// held (the store road takes taxonomy, then trust, then records; a writer of
// the taxonomy waiting between two readers would otherwise deadlock against
// a supersession holding records). The map's write lock (a seam batch) is
// held from the lookup of the old record to the commit; the tag index is read
// inside it for the associative links.
//
// Staging. Only the records that change are copied: the old record, the
// records the new version links to, and the new version. They are written,
// after the new version's record log entry, as one forced record batch in a
// fixed order (the linked ids and the old id ascending, then the new
// version); until that write succeeds nothing in memory changes.
#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "audit/audit_action.h"
#include "base/trace.h"
#include "store/store_span_fields.h"
#include "store/vesk.h"
#include "write/guard_patterns.h"
#include "write/ingress_stamp.h"
#include "write/reserved_metadata.h"
#include "write/store_derivations.h"
#include "write/store_links.h"

namespace vesk {
namespace {

constexpr std::string_view kSupersededByKey = "superseded_by";

// The successor a record names, whatever its value; none without the key.
const std::string* successor_mark(const Record& r) {
  auto it = r.metadata.find(kSupersededByKey);
  return it == r.metadata.end() ? nullptr : &it->second;
}

// The successor a record names when it is superseded: "pending" and the
// empty text name none.
std::optional<std::string> successor_of(const Record& r) {
  const std::string* mark = successor_mark(r);
  if (!mark || mark->empty() || *mark == "pending") return std::nullopt;
  return *mark;
}

std::string quoted_id(std::string_view id) { return "Record '" + std::string(id) + "'"; }

}  // namespace

Result<std::string> Vesk::supersede(std::string_view old_id, std::string new_content, std::optional<Level> level,
                                    std::optional<std::vector<std::string>> tags,
                                    std::optional<std::string> namespace_, std::optional<double> effective_at) {
  Result<Record> made = [&]() -> Result<Record> {
    if (effective_at) {
      return supersede_record(old_id, std::move(new_content), *effective_at, level, std::move(tags),
                              std::move(namespace_));
    }
    VESK_SPAN(span, "supersede", "vesk::vesk", trace::Level::Info, trace::field("old_id", old_id),
              trace::field("level", level ? std::optional<std::string_view>(level_display_name(*level))
                                          : std::optional<std::string_view>()),
              tags_field(tags), trace::field("namespace", namespace_));
    return supersede_record(old_id, std::move(new_content), env_.now_seconds(), level, std::move(tags),
                            std::move(namespace_));
  }();
  if (!made.ok()) return made.status().as(ErrorKind::Runtime);
  return std::move(made->id);
}

Result<Record> Vesk::supersede_record(std::string_view old_id, std::string new_content, double effective_at,
                                      std::optional<Level> level, std::optional<std::vector<std::string>> tags,
                                      std::optional<std::string> namespace_) {
  if (!std::isfinite(effective_at)) return Status::Runtime("effective_at must be a finite Unix timestamp");
  VESK_RETURN_IF_ERROR(check_content_size(new_content));
  // Only the consequence capture may write these tags; tags carried over
  // from the old record were checked when they were written.
  if (tags) VESK_RETURN_IF_ERROR(check_reserved_consequence_metadata(*tags, nullptr));
  const double superseded_at = env_.now_seconds();
  const TagTaxonomy taxonomy = config_.taxonomy();
  const TrustConfig trust = config_.trust();
  // The general-range SDR needs nothing of the old record.
  SharedSdr general_sdr = std::make_shared<const Sdr>(
      encode_sdr(indexes_.sdr_encoder, new_content, SdrRange::General, SdrCase::Fold));

  std::string ns_of_new;
  Result<Record> made = changes_->apply([&](RecordChanges::Batch& batch) -> Result<Record> {
    const Record* old_held = batch.find(old_id);
    if (!old_held) return Status::Runtime(quoted_id(old_id) + " not found");
    if (const std::string* mark = successor_mark(*old_held); mark && !mark->empty()) {
      return Status::Runtime(quoted_id(old_id) + " is already superseded");
    }
    if (old_held->valid_from && effective_at <= *old_held->valid_from) {
      return Status::Runtime("effective_at must be later than the old record's valid_from");
    }
    if (namespace_ && *namespace_ != old_held->namespace_) {
      return Status::Runtime("A superseding version must remain in namespace '" + old_held->namespace_ + "'");
    }
    std::string ns = namespace_ ? std::move(*namespace_) : old_held->namespace_;
    VESK_RETURN_IF_ERROR(validate_namespace(ns));
    const Level new_level = level.value_or(old_held->level);
    std::vector<std::string> new_tags = tags ? std::move(*tags) : old_held->tags;
    VESK_RETURN_IF_ERROR(check_tag_count(new_tags.size()));
    GuardScan scan(new_content);
    tag_sensitive_content(scan, new_tags);
    auto actionable = classify_actionability(scan, new_tags, std::nullopt, taxonomy.sensitive_tags);

    auto fresh = new_record(new_content, new_level, env_);
    if (!fresh.ok()) return fresh.status();
    Record r = std::move(fresh).value();
    if (id_source_ || batch.find(r.id)) {
      do {
        auto id = draw_record_id();
        if (!id.ok()) return id.status();
        r.id = std::move(id).value();
      } while (batch.find(r.id));
    }
    r.tags = std::move(new_tags);
    r.content_type = old_held->content_type;
    r.source_type = old_held->source_type;
    r.semantic_type = old_held->semantic_type;
    r.confidence = store_confidence(r.source_type, std::nullopt);
    r.valid_from = effective_at;
    r.valid_until.reset();
    r.caused_by_id = old_held->id;
    r.namespace_ = std::move(ns);
    stamp_provenance_metadata(r.metadata, std::nullopt, r.tags, taxonomy, trust, env_.now());
    for (auto& [key, value] : actionable) r.metadata.try_emplace(key, std::move(value));

    // Links: associative ones to the records sharing the tags (their other
    // halves noted as patches), then "causal" both ways with the old record,
    // which replaces an associative link between the two.
    BackLinks back(r.id);
    {
      auto tag_index = batch.indexes().tags.read();
      link_associative_records(r, *tag_index, batch.map(), back);
    }
    r.set_connection(old_held->id, kCausalLinkWeight, kCausalRelation);
    r.vesk_id = r.id;

    // The affected records, ascending by id: each linked record the map
    // holds, with its back link set on a copy; the old record closed.
    std::vector<std::string> affected;
    affected.reserve(r.connections.size() + 1);
    for (const auto& entry : r.connections) affected.push_back(entry.first);
    affected.push_back(old_held->id);
    std::sort(affected.begin(), affected.end());
    affected.erase(std::unique(affected.begin(), affected.end()), affected.end());
    std::vector<Record> staged;
    staged.reserve(affected.size());
    for (const std::string& id : affected) {
      const Record* held = batch.find(id);
      if (!held) continue;
      Record copy = *held;
      for (const RecordPatch& patch : back.patches()) {
        if (patch.record_id != id) continue;
        for (const TypedConnectionPatch& c : patch.connections) copy.set_connection(c.target_id, c.weight, c.relation);
      }
      if (id == old_held->id) {
        copy.metadata.insert_or_assign(std::string(kSupersededByKey), r.id);
        if (!copy.valid_until || *copy.valid_until > effective_at) copy.valid_until = effective_at;
        copy.superseded_at = superseded_at;
        copy.set_connection(r.id, kCausalLinkWeight, kCausalRelation);
      }
      staged.push_back(std::move(copy));
    }

    RecordChanges::NewRecord n;
    const SdrRange range = sdr_range_for_level(r.level);
    n.sdr = range == SdrRange::General
                ? general_sdr
                : std::make_shared<const Sdr>(encode_sdr(indexes_.sdr_encoder, r.content, range, SdrCase::Fold));
    n.general_sdr = general_sdr;
    if (callbacks_.embedding_fn.get()) {
      n.embed = [this, content = r.content] { return embed_text(callbacks_.embedding_fn, content); };
    }
    ns_of_new = r.namespace_;
    const std::string new_id = r.id;
    AuditAction audit = AuditAction::Store{new_id, text_preview(r.content)};
    n.record = std::move(r);
    VESK_RETURN_IF_ERROR(batch.insert_together(std::move(n), std::move(staged),
                                               "failed to atomically persist superseding version", std::move(audit)));
    return *batch.find(new_id);
  });
  if (!made.ok()) return made;
  // The supersession stands whatever the inference meets.
  (void)infer_store_relations(ns_of_new);
  return made;
}

std::optional<std::string> Vesk::superseded_by(std::string_view record_id) const {
  auto map = records_.records.read();
  const Record* r = map->find_value(record_id);
  if (!r) return std::nullopt;
  return successor_of(*r);
}

std::vector<Record> Vesk::version_chain(std::string_view record_id) const {
  auto map = records_.records.read();
  std::vector<Record> chain;
  const Record* current = map->find_value(record_id);
  if (!current) return chain;
  // Back to the oldest version: a parent counts only when it names the
  // current record as its successor, so a record caused by a superseded one
  // does not walk into that record's chain.
  StringSet visited{current->id};
  while (current->caused_by_id) {
    const Record* parent = map->find_value(*current->caused_by_id);
    if (!parent) break;
    const std::string* mark = successor_mark(*parent);
    if (!mark || *mark != current->id || visited.contains(parent->id)) break;
    visited.insert(parent->id);
    current = parent;
  }
  // Forward along the successors, each record once.
  visited.clear();
  while (current) {
    visited.insert(current->id);
    chain.push_back(*current);
    std::optional<std::string> next = successor_of(*current);
    if (!next || visited.contains(*next)) break;
    current = map->find_value(*next);
  }
  return chain;
}

}  // namespace vesk
