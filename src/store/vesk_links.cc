// Links between two existing records on request: connect, and the typed link
// behind the relation methods.
//
// connect changes both records together: it holds the record map's write
// lock (one batch of the record-change seam) from the lookups to the end and
// writes both copies as one forced record batch before the map changes.
//
// The typed link takes the map's lock four times at most (read to check,
// write to link, read to find the entities, write to link their anchors) and
// tolerates a record that vanishes in between by skipping it. Each side is
// set only when its weight or type differs (model/relation_link.h) and is
// then journaled through the seam as one whole-record frame; a repeated link
// writes nothing and leaves the recall caches as they are.
#include <algorithm>
#include <cmath>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/finite.h"
#include "entities/entity_records.h"
#include "model/relation_link.h"
#include "model/unicode_text.h"
#include "store/vesk.h"

namespace vesk {
namespace {

constexpr float kConnectWeight = 0.5f;
constexpr float kTypedLinkWeight = 0.8f;
// A typed link at least this strong between records of two entities links
// the entities' anchors too.
constexpr float kEntityPropagationWeight = 0.8f;

}  // namespace

Status Vesk::connect(std::string_view id_a, std::string_view id_b, std::optional<float> weight,
                     const std::optional<std::string>& relationship) {
  const float w = weight.value_or(kConnectWeight);
  Status done = changes_->apply([&](RecordChanges::Batch& batch) -> Status {
    const Record* a = batch.find(id_a);
    if (!a) return Status::Runtime("Record " + std::string(id_a) + " not found");
    const Record* b = batch.find(id_b);
    if (!b) return Status::Runtime("Record " + std::string(id_b) + " not found");
    if (a->namespace_ != b->namespace_) {
      return Status::Runtime("Cannot connect records across namespaces ('" + a->namespace_ + "' vs '" +
                             b->namespace_ + "')");
    }
    if (id_a == id_b || !std::isfinite(w) || w < 0.0f || w > 1.0f) {
      return Status::Runtime("Connections require distinct records and a finite weight in [0, 1]");
    }
    std::vector<Record> next{*a, *b};
    if (relationship) {
      next[0].set_connection(id_b, w, *relationship);
      next[1].set_connection(id_a, w, *relationship);
    } else {
      // The weight only: a relation type set earlier for the target stays.
      next[0].connections[std::string(id_b)] = w;
      next[1].connections[std::string(id_a)] = w;
    }
    return batch.replace_together(std::move(next));
  });
  return done.ok() ? done : done.as(ErrorKind::Runtime);
}

namespace {

// One side of a typed link, set on the record in the map when it differs.
Status link_side(RecordChanges::Batch& batch, std::string_view from, std::string_view to,
                 std::string_view relation_type, float weight) {
  const Record* held = batch.find(from);
  if (!held || holds_relation_edge(*held, to, weight, relation_type)) return Status::Ok();
  Record next = *held;
  link_relation_edge(next, to, relation_type, weight);
  return batch.replace(std::move(next));
}

}  // namespace

Result<RelationEdge> Vesk::link_records_core(std::string_view source_id, std::string_view target_id,
                                             std::optional<float> weight, std::string_view relation_type,
                                             const EntityAnchorLookup& anchor_of) {
  if (source_id == target_id) return Status::Runtime("Cannot link record to itself");
  if (trim_unicode_white_space(relation_type).empty()) return Status::Runtime("Relation type must not be empty");
  // A NaN weight has no place in [0, 1]; infinities clamp as finite values do.
  const std::optional<float> w = clamp_unit(weight.value_or(kTypedLinkWeight));
  if (!w) return Status::Runtime("Relation weight must not be NaN");

  std::string namespace_;
  {
    auto map = records_.records.read();
    const Record* source = map->find_value(source_id);
    if (!source) return Status::Runtime("Source record " + std::string(source_id) + " not found");
    const Record* target = map->find_value(target_id);
    if (!target) return Status::Runtime("Target record " + std::string(target_id) + " not found");
    if (source->namespace_ != target->namespace_) {
      return Status::Runtime("Cannot link records across namespaces: " + source->namespace_ + " vs " +
                             target->namespace_);
    }
    namespace_ = source->namespace_;
  }

  auto link_both = [&](std::string_view a, std::string_view b) -> Status {
    Status linked = changes_->apply([&](RecordChanges::Batch& batch) -> Status {
      VESK_RETURN_IF_ERROR(link_side(batch, a, b, relation_type, *w));
      return link_side(batch, b, a, relation_type, *w);
    });
    return linked.ok() ? linked : linked.as(ErrorKind::Runtime);
  };
  VESK_RETURN_IF_ERROR(link_both(source_id, target_id));

  if (*w >= kEntityPropagationWeight) {
    std::optional<std::string> source_entity, target_entity;
    {
      auto map = records_.records.read();
      const Record* source = map->find_value(source_id);
      const Record* target = map->find_value(target_id);
      auto entity_of = [](const Record* r) -> std::optional<std::string> {
        if (!r) return std::nullopt;
        auto it = r->metadata.find(kEntityIdKey);
        return it == r->metadata.end() ? std::nullopt : std::optional<std::string>(it->second);
      };
      source_entity = entity_of(source);
      target_entity = entity_of(target);
    }
    if (source_entity && target_entity && *source_entity != *target_entity) {
      // The lookup may read the store itself: no lock is held here.
      const std::optional<std::string> source_anchor = anchor_of(*source_entity);
      const std::optional<std::string> target_anchor = source_anchor ? anchor_of(*target_entity) : std::nullopt;
      if (source_anchor && target_anchor && *source_anchor != *target_anchor) {
        VESK_RETURN_IF_ERROR(link_both(*source_anchor, *target_anchor));
      }
    }
  }

  RelationEdge edge;
  edge.source_record_id = std::string(source_id);
  edge.target_record_id = std::string(target_id);
  edge.relation_type = std::string(relation_type);
  edge.weight = *w;
  edge.namespace_ = std::move(namespace_);
  edge.structural = is_structural_relation_type(relation_type);
  return edge;
}

}  // namespace vesk
