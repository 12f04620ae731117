// The store road: the one way a new record enters a store (Vesk::store...),
// and the plain reads of the record map (get, count).
//
// The road in order: check the arguments (store_request.h); check the causal
// parent; classify claim certainty and outcome (callbacks, no lock held);
// add guard tags; then, under the taxonomy's read lock: the actionability
// proposal, the exact-duplicate check (a twin is touched and returned), the
// level (automatic promotion, identity phrases), the confidence and the
// record build with its provenance stamp. Then the record's SDRs and its
// embedding are computed with no lock held, and the record is handed to the
// record-change seam (record_changes.h), which makes it durable (record log,
// journal) and findable (the map and every index), stores the embedding,
// writes the audit entry and clears both recall caches. Under the seam's
// hold of the record map the record is linked to its causal parent and to the
// records that share its tags (write/store_links.h); the other halves of those
// links are journaled with it, so a reopened store holds both. Last, the
// structural relations of its namespace are inferred (vesk_relations.cc).
//
// Under the seam's hold of the record map's write lock the fresh id is
// checked once more: a collision of random ids draws a new id instead of
// replacing a record, and the journal's frame order is the map's insertion
// order, so a reopened store iterates its records as the running one did.
#include <algorithm>
#include <cmath>
#include <utility>

#include "audit/audit_action.h"
#include "base/trace.h"
#include "model/record_json.h"
#include "store/store_span_fields.h"
#include "store/vesk.h"
#include "write/claim_certainty.h"
#include "write/claim_rules.h"
#include "write/exact_duplicate.h"
#include "write/guard_patterns.h"
#include "write/ingress_stamp.h"
#include "write/security_profile.h"
#include "write/store_derivations.h"
#include "write/store_links.h"

namespace vesk {

// ---- Hooks of the derivations and links built elsewhere -----------------------

std::optional<ClaimCertainty> Vesk::classify_certainty(std::string_view text) const {
  return vesk::classify_certainty(callbacks_.claim_classifier, flags_.claim_rules.load(), text);
}

std::optional<OutcomePolarity> Vesk::classify_outcome(std::string_view text) const {
  return call_outcome_classifier(callbacks_.outcome_classifier, text);
}

std::vector<RecordPatch> Vesk::link_new_record(Record& r, const RecordChanges::Batch& batch) const {
  BackLinks back(r.id);
  link_causal_parent(r, batch.map(), back);
  {
    auto tags = batch.indexes().tags.read();
    link_associative_records(r, *tags, batch.map(), back);
  }
  return back.patches();
}

Result<std::string> Vesk::draw_record_id() const { return id_source_ ? id_source_() : new_record_id(env_); }

// ---- The road ------------------------------------------------------------------

Result<Record> Vesk::store_with_channel(StoreRequest request) {
  VESK_SPAN(span, "store_with_channel", "vesk::vesk", trace::Level::Info, tags_field(request.tags),
            trace::field("pin", request.pin), trace::field("content_type", request.content_type),
            trace::field("source_type", request.source_type), trace::field("deduplicate", request.deduplicate),
            trace::empty("caused_by_id"), trace::field("channel", request.channel),
            trace::field("auto_promote", request.auto_promote), trace::field("semantic_type", request.semantic_type));
  request.caused_by_id.reset();
  request.valid_from.reset();
  request.valid_until.reset();
  request.authority = WriteAuthority::External;
  return store_with_channel_and_validity(std::move(request));
}

Result<std::string> Vesk::store(StoreRequest request) {
  request.authority = WriteAuthority::External;
  auto stored = store_road(std::move(request), nullptr);
  if (!stored.ok()) return stored.status().as(ErrorKind::Runtime);
  return stored;
}

Result<Record> Vesk::store_with_channel_and_validity(StoreRequest request) {
  Record stored;
  auto id = store_road(std::move(request), &stored);
  if (!id.ok()) return id.status();
  return stored;
}

Result<std::string> Vesk::store_road(StoreRequest request, Record* copy) {
  // Every entry of the road runs inside this span, from before the first
  // check to the return, whatever the outcome.
  VESK_SPAN(span, "store_with_channel_and_validity", "vesk::vesk", trace::Level::Info, tags_field(request.tags),
            trace::field("pin", request.pin), trace::field("content_type", request.content_type),
            trace::field("source_type", request.source_type), trace::field("deduplicate", request.deduplicate),
            trace::field("caused_by_id", request.caused_by_id), trace::field("channel", request.channel),
            trace::field("auto_promote", request.auto_promote), trace::field("semantic_type", request.semantic_type),
            trace::field("valid_from", request.valid_from), trace::field("valid_until", request.valid_until),
            trace::field("authority", write_authority_name(request.authority)));
  auto resolved = resolve_store_request(std::move(request));
  if (!resolved.ok()) return resolved.status();
  ResolvedStore& s = *resolved;

  if (s.caused_by_id) {
    auto map = records_.records.read();
    auto parent = map->find(*s.caused_by_id);
    if (parent == map->end()) return Status::Runtime("Causal parent record not found");
    if (parent->second.namespace_ != s.namespace_) {
      return Status::Runtime("Causal parent must belong to the same namespace");
    }
  }

  // The callbacks run before any store lock is taken.
  std::optional<ClaimCertainty> certainty;
  std::optional<OutcomePolarity> outcome;
  if (s.classifiable()) {
    certainty = classify_certainty(s.content);
    if (!s.metadata.contains("outcome")) outcome = classify_outcome(s.content);
  }

  GuardScan scan(s.content);
  tag_sensitive_content(scan, s.tags);

  // Under the taxonomy's read lock until the record's tags are final.
  std::optional<Record> twin;
  auto built = config_.read_taxonomy([&](const TagTaxonomy& taxonomy) -> Result<Record> {
    auto actionable = classify_actionability(scan, s.tags, s.channel, taxonomy.sensitive_tags);

    if (s.duplicate_eligible()) {
      auto touched = touch_exact_duplicate(s);
      if (!touched.ok()) return touched.status();
      if (*touched) {
        twin = std::move(**touched);
        return Record{};
      }
    }

    Level level = s.level;
    if (s.auto_promote) {
      auto map = records_.records.read();
      // Novel unless the best n-gram neighbour scores 0.2 or more; asked as
      // "is there a neighbour that close" rather than by ranking them all.
      if (map->size() >= kPromotionMinRecords) {
        static const int kPositions = promotion_match_positions();
        const bool near = indexes_.ngram.read()->has_match_of_at_least(s.content, kPositions);
        if (!near) level = promoted_level(level, std::nullopt);
      }
    }
    if (certainty == ClaimCertainty::Asserted && !s.level_given &&
        has_identity_phrase(normalize_claim_text(s.content))) {
      level = Level::Identity;
    }

    auto made = new_record(s.content, level, env_);
    if (!made.ok()) return made.status();
    Record r = std::move(made).value();
    if (id_source_) {
      auto id = draw_record_id();
      if (!id.ok()) return id.status();
      r.id = std::move(id).value();
    }
    r.pinned = s.pin;
    r.tags = std::move(s.tags);
    r.content_type = std::move(s.content_type);
    r.source_type = std::move(s.source_type);
    r.confidence = store_confidence(r.source_type, certainty);
    r.metadata = std::move(s.metadata);
    if (outcome) r.metadata.insert_or_assign("outcome", *outcome == OutcomePolarity::Positive ? "positive" : "negative");
    if (certainty) r.metadata.insert_or_assign("claim_certainty", std::string(claim_certainty_label(*certainty)));
    r.caused_by_id = std::move(s.caused_by_id);
    r.namespace_ = std::move(s.namespace_);
    r.semantic_type = std::move(s.semantic_type);
    VESK_RETURN_IF_ERROR(validate_validity_window(s.valid_from, s.valid_until));
    r.valid_from = s.valid_from;
    r.valid_until = s.valid_until;

    config_.read_trust([&](const TrustConfig& trust) {
      stamp_provenance_metadata(r.metadata, s.channel, r.tags, taxonomy, trust, env_.now());
    });
    if (s.channel) r.metadata.try_emplace("channel", *s.channel);
    for (auto& [key, value] : actionable) r.metadata.try_emplace(key, std::move(value));
    return r;
  });
  if (!built.ok()) return built.status();
  if (twin) {
    std::string id = twin->id;
    if (copy) *copy = std::move(*twin);
    return id;
  }
  return persist_new_record(std::move(built).value(), copy);
}

// The duplicate check and touch, under the record map's write lock for the
// whole of it (the seam's batch). The candidates come from the content index;
// of the twins among them the one first in the map's iteration order is
// touched, as a scan of the map in order would find it.
Result<std::optional<Record>> Vesk::touch_exact_duplicate(const ResolvedStore& s) {
  const double now = env_.now_seconds();
  return changes_->apply([&](RecordChanges::Batch& batch) -> Result<std::optional<Record>> {
    const RecordMap& map = batch.map();
    const DuplicateProbe probe{s.namespace_,  s.content,     s.source_type,   s.semantic_type,
                               s.valid_from,  s.valid_until, &s.caused_by_id, &s.metadata};
    RecordMap::const_iterator found = map.end();
    {
      auto index = records_.duplicates.write();
      for (const std::string& id : index->candidates(s.content)) {
        auto it = map.find(id);
        if (it == map.end() || !is_exact_duplicate(it->second, probe)) continue;
        if (found == map.end() || map.order(it) < map.order(found)) found = it;
      }
    }
    if (found == map.end()) return std::optional<Record>();
    Record touched = found->second;
    touch_duplicate(touched, now, s.pin, s.tags);
    VESK_RETURN_IF_ERROR(batch.replace(touched));
    return std::optional<Record>(std::move(touched));
  });
}

Result<std::string> Vesk::persist_new_record(Record r, Record* copy) {
  // Everything the seam needs that takes no lock: both SDRs, and the call of
  // the embedding function, which it makes once the record is stored.
  RecordChanges::NewRecord n;
  const SdrRange range = sdr_range_for_level(r.level);
  n.sdr = std::make_shared<const Sdr>(encode_sdr(indexes_.sdr_encoder, r.content, range, SdrCase::Fold));
  n.general_sdr = range == SdrRange::General ? n.sdr
                                             : std::make_shared<const Sdr>(encode_sdr(
                                                   indexes_.sdr_encoder, r.content, SdrRange::General, SdrCase::Fold));
  if (callbacks_.embedding_fn.get()) {
    n.embed = [this, content = r.content] { return embed_text(callbacks_.embedding_fn, content); };
  }
  // The record moves into the map; the caller gets a copy only if it asked.
  std::string namespace_ = r.namespace_;
  Result<std::string> stored = changes_->apply([&](RecordChanges::Batch& batch) -> Result<std::string> {
    // A fresh id that a record already holds (48 random bits) is drawn
    // again before anything is written.
    while (batch.find(r.id)) {
      auto id = draw_record_id();
      if (!id.ok()) return id.status();
      r.id = std::move(id).value();
    }
    r.vesk_id = r.id;
    n.back_links = link_new_record(r, batch);
    std::string id = r.id;
    AuditAction audit = AuditAction::Store{id, text_preview(r.content)};
    n.record = std::move(r);
    VESK_RETURN_IF_ERROR(batch.insert(std::move(n), std::move(audit)));
    if (copy) *copy = *batch.find(id);
    return id;
  });
  if (!stored.ok()) return stored;
  VESK_RETURN_IF_ERROR(infer_store_relations(namespace_));
  return stored;
}

// ---- Reads -----------------------------------------------------------------------

std::optional<Record> Vesk::get(std::string_view id) const {
  auto map = records_.records.read();
  auto it = map->find(id);
  if (it == map->end()) return std::nullopt;
  return it->second;
}

size_t Vesk::count(std::optional<Level> level) const {
  auto map = records_.records.read();
  if (!level) return map->size();
  size_t n = 0;
  for (const auto& entry : *map) n += entry.second.level == *level;
  return n;
}

}  // namespace vesk
