// The in-place update of a record (Vesk::update), for the Python caller and
// for the system's own writers that rewrite their records.
//
// Everything that can be refused without the record is checked first, and
// the claim classifier (which may call Python) runs then, with no store lock
// held. The record is then changed on a copy under the seam's hold of the
// record map and handed back whole, so the tables that describe it follow:
// the duplicates and the n-gram and term indexes a new content, the tag index
// new tags, the recall index a new level. A new content also gets new SDRs
// (postings and record SDRs) and a new stored embedding, computed after the
// lock is released as the store road does; without an embedding function the
// old vector is removed, since it would describe a text the record no longer
// holds. The record log keeps the content the record was stored with.
#include <cmath>
#include <memory>
#include <utility>

#include "base/finite.h"
#include "index/embedding_fn.h"
#include "store/vesk.h"
#include "write/claim_certainty.h"
#include "write/record_update.h"
#include "write/reserved_metadata.h"

namespace vesk {
namespace {

bool classifiable_content_type(std::string_view content_type) {
  return content_type == "text" || (content_type.size() > 4 && content_type.starts_with("text/"));
}

}  // namespace

Result<std::optional<Record>> Vesk::update(std::string_view record_id, RecordUpdate change) {
  auto refused = [](Status s) { return s.as(ErrorKind::Runtime); };
  if (change.source_type) {
    if (Status s = validate_source_type(*change.source_type); !s.ok()) return refused(s);
  }
  if (change.metadata) {
    for (const auto& [key, value] : *change.metadata) {
      if (key.starts_with("vesk.audit.v1.")) {
        return Status::Runtime("vesk.audit.v1.* metadata is reserved; use the audit entity APIs");
      }
    }
  }
  if (change.tags) {
    if (Status s = check_reserved_consequence_metadata(*change.tags, nullptr); !s.ok()) return refused(s);
  }
  if (Status s = check_reserved_consequence_metadata({}, change.metadata ? &*change.metadata : nullptr); !s.ok()) {
    return refused(s);
  }
  // A NaN would pass any clamp and poison every ranking that weighs by
  // strength; infinities clamp like any other value.
  std::optional<float> strength;
  if (change.strength) {
    strength = clamp_unit(*change.strength);
    if (!strength) return Status::Runtime("strength must not be NaN");
  }
  std::optional<ClaimCertainty> certainty;
  std::optional<RecordChanges::ContentRefresh> refresh;
  if (change.content) {
    certainty = classify_certainty(*change.content);
    refresh.emplace();
    refresh->general_sdr = std::make_shared<const Sdr>(
        encode_sdr(indexes_.sdr_encoder, *change.content, SdrRange::General, SdrCase::Fold));
    if (callbacks_.embedding_fn.get()) {
      refresh->embed = [this, content = *change.content] { return embed_text(callbacks_.embedding_fn, content); };
    }
  }

  std::string namespace_;
  auto updated = changes_->apply([&](RecordChanges::Batch& batch) -> Result<std::optional<Record>> {
    const Record* held = batch.find(record_id);
    if (!held) return std::optional<Record>();
    if (change.source_type) {
      VESK_RETURN_IF_ERROR(check_source_type_not_raised(held->source_type, *change.source_type));
    }
    Record next = *held;
    if (change.content) next.content = std::move(*change.content);
    if (change.level) next.level = *change.level;
    if (change.tags) next.tags = updated_tags(held->tags, std::move(*change.tags));
    if (strength) next.strength = *strength;
    if (change.metadata) next.metadata = updated_metadata(held->metadata, std::move(*change.metadata));
    if (change.source_type) next.source_type = std::move(*change.source_type);
    if (change.content || change.source_type) {
      if (change.content) {
        if (classifiable_content_type(next.content_type) && certainty) {
          next.metadata.insert_or_assign("claim_certainty", std::string(claim_certainty_label(*certainty)));
        } else {
          next.metadata.erase("claim_certainty");
        }
      }
      next.confidence = updated_confidence(next);
    }
    namespace_ = next.namespace_;
    Record copy = next;
    if (refresh) {
      const SdrRange range = sdr_range_for_level(next.level);
      refresh->sdr = range == SdrRange::General
                         ? refresh->general_sdr
                         : std::make_shared<const Sdr>(encode_sdr(indexes_.sdr_encoder, next.content, range,
                                                                  SdrCase::Fold));
      VESK_RETURN_IF_ERROR(batch.replace(std::move(next), std::move(*refresh)));
    } else {
      VESK_RETURN_IF_ERROR(batch.replace(std::move(next)));
    }
    return std::optional<Record>(std::move(copy));
  });
  if (!updated.ok()) return refused(updated.status());
  if (!*updated) return updated;
  if (Status s = infer_store_relations(namespace_); !s.ok()) return refused(s);
  return updated;
}

}  // namespace vesk
