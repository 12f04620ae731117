// The concept surface on the store object: the two getters and the
// per-record annotation of recall results, with their usage counters.
#include <algorithm>
#include <functional>
#include <utility>

#include "cognitive/concept_surface.h"
#include "store/vesk.h"

namespace vesk {
namespace {

constexpr size_t kConceptsPerRecord = 3;

// The surfaced concepts with a fast membership test: the phase leaves record
// ids ascending, but a hand-written layer file may not, so each list is
// checked once and searched by halves only when it is sorted.
class SurfacedForRecords {
 public:
  // `surfaced` must outlive this object.
  explicit SurfacedForRecords(const std::vector<SurfacedConcept>& surfaced) : surfaced_(surfaced) {
    for (const SurfacedConcept& c : surfaced_)
      sorted_.push_back(std::is_sorted(c.record_ids.begin(), c.record_ids.end()));
  }

  // Up to 3 of the surfaced concepts that list the record, in their order.
  std::vector<SurfacedConcept> listing(std::string_view record_id) const {
    std::vector<SurfacedConcept> out;
    for (size_t i = 0; i < surfaced_.size() && out.size() < kConceptsPerRecord; ++i) {
      const std::vector<std::string>& ids = surfaced_[i].record_ids;
      const bool listed = sorted_[i] ? std::binary_search(ids.begin(), ids.end(), record_id, std::less<>())
                                     : std::find(ids.begin(), ids.end(), record_id) != ids.end();
      if (listed) out.push_back(surfaced_[i]);
    }
    return out;
  }

 private:
  const std::vector<SurfacedConcept>& surfaced_;
  std::vector<bool> sorted_;
};

}  // namespace

std::vector<SurfacedConcept> Vesk::get_surfaced_concepts(std::optional<size_t> limit) const {
  const CognitiveReadView view = cognitive_read_view();
  if (view.concept_surface_mode() == 0) return {};
  std::vector<SurfacedConcept> out = surface_concepts(view.concepts().concepts, limit, std::nullopt);
  view.counters().global_calls_since_last_cycle.fetch_add(1);
  view.counters().concepts_returned_since_last_cycle.fetch_add(out.size());
  return out;
}

std::vector<SurfacedConcept> Vesk::get_surfaced_concepts_for_namespace(std::string_view namespace_,
                                                                       std::optional<size_t> limit) const {
  const CognitiveReadView view = cognitive_read_view();
  if (view.concept_surface_mode() == 0) return {};
  std::vector<SurfacedConcept> out = surface_concepts(view.concepts().concepts, limit, namespace_);
  view.counters().namespace_calls_since_last_cycle.fetch_add(1);
  view.counters().concepts_returned_since_last_cycle.fetch_add(out.size());
  return out;
}

std::vector<SurfacedConcept> Vesk::surfaced_concepts_for_results(std::string_view record_id) const {
  const CognitiveReadView view = cognitive_read_view();
  if (view.concept_surface_mode() == 0) return {};
  const std::vector<SurfacedConcept> surfaced = surface_concepts(view.concepts().concepts, std::nullopt, std::nullopt);
  std::vector<SurfacedConcept> out = SurfacedForRecords(surfaced).listing(record_id);
  view.counters().record_calls_since_last_cycle.fetch_add(1);
  view.counters().concepts_returned_since_last_cycle.fetch_add(out.size());
  view.counters().record_annotations_returned_since_last_cycle.fetch_add(out.size());
  return out;
}

std::vector<std::vector<SurfacedConcept>> Vesk::surfaced_concepts_for_results(
    std::span<const ScoredRecord> results) const {
  const CognitiveReadView view = cognitive_read_view();
  if (view.concept_surface_mode() == 0) return {};
  std::vector<std::vector<SurfacedConcept>> out;
  out.reserve(results.size());
  uint64_t taken = 0;
  if (!results.empty()) {
    // The layer's record index keeps the surfaced list; an engine changed
    // without reindexing is surfaced afresh.
    const ConceptRecordIndex* index = concept_record_index(view.concepts());
    std::vector<SurfacedConcept> fresh;
    if (!index) fresh = surface_concepts(view.concepts().concepts, std::nullopt, std::nullopt);
    const SurfacedForRecords surfaced(index ? index->surfaced : fresh);
    for (const ScoredRecord& r : results) {
      out.push_back(surfaced.listing(r.record.id));
      taken += out.back().size();
    }
  }
  view.counters().record_calls_since_last_cycle.fetch_add(results.size());
  view.counters().concepts_returned_since_last_cycle.fetch_add(taken);
  view.counters().record_annotations_returned_since_last_cycle.fetch_add(taken);
  return out;
}

}  // namespace vesk
