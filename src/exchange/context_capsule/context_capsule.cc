#include "exchange/context_capsule/context_capsule.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <unordered_set>

#include "exchange/context_capsule/capsule_compaction.h"
#include "exchange/context_capsule/capsule_hash.h"
#include "exchange/context_capsule/capsule_tokens.h"
#include "model/unicode_text.h"

namespace vesk {
namespace {

// The records of `records` that hold one of kCapsuleMetadataKeys, when the
// index can tell; none when it cannot (every record's metadata is walked).
std::optional<std::unordered_set<const Record*>> records_with_capsule_keys(const RecordMap& records,
                                                                           const MetadataValueIndex* index) {
  if (!index) return std::nullopt;
  for (std::string_view key : kCapsuleMetadataKeys) {
    if (!index->indexes(key)) return std::nullopt;
  }
  std::unordered_set<const Record*> out;
  for (std::string_view key : kCapsuleMetadataKeys) {
    for (const Record* r : index->records_with_key(records, key)) out.insert(r);
  }
  return out;
}

// The classified candidates of one build, sorted on demand: filling rarely
// reaches far into a large list, so only as much of it is put in order as is
// taken (an entry costs at least 17 tokens, which bounds the count).
//
// The map is walked once for the filter, which reads only fields held in
// the record itself (and the metadata of the few records the index names);
// the records that pass are then classified with the texts of the next ones
// already on their way into the cache.
class CandidateList {
 public:
  CandidateList(const RecordMap& records, const MetadataValueIndex* index, std::string_view namespace_,
                std::string_view purpose, double at, uint64_t budget, ContextCapsule& capsule) {
    const auto flagged = records_with_capsule_keys(records, index);
    auto metadata_of = [&](const Record& r) {
      return !flagged || flagged->contains(&r) ? capsule_metadata(r) : CapsuleMetadata{};
    };
    std::vector<const Record*> passing;
    for (const auto& [id, record] : records) {
      if (record.namespace_ != namespace_) continue;
      if (passes_capsule_filter(record, namespace_, at, metadata_of(record))) passing.push_back(&record);
    }
    capsule.source_record_count = passing.size();

    const CapsuleTermMatcher matcher(purpose);
    // Two steps ahead: the fields of a record that classification reads
    // (they lie on other cache lines than those the filter read), and, once
    // those have arrived, the texts they point to.
    constexpr size_t kFieldsAhead = 16, kTextsAhead = 8;
    for (size_t i = 0; i < passing.size(); ++i) {
      if (i + kFieldsAhead < passing.size()) {
        const Record* r = passing[i + kFieldsAhead];
        __builtin_prefetch(&r->content);
        __builtin_prefetch(&r->tags);
        __builtin_prefetch(&r->semantic_type);
        __builtin_prefetch(&r->salience);
      }
      if (i + kTextsAhead < passing.size()) {
        const Record* r = passing[i + kTextsAhead];
        __builtin_prefetch(r->content.data());
        __builtin_prefetch(r->tags.data());
      }
      const Record& record = *passing[i];
      auto c = classify_capsule_candidate(record, matcher, metadata_of(record));
      if (!c) continue;
      switch (c->category) {
        case CapsuleCategory::RefutationScar: ++capsule.refutation_count; break;
        case CapsuleCategory::EvidenceDebt: ++capsule.evidence_debt_count; break;
        case CapsuleCategory::Contradiction: ++capsule.contradiction_count; break;
        default: break;
      }
      items_.push_back(*c);
    }
    const size_t first = std::min<size_t>(items_.size(), budget / (kCapsuleEntryOverhead + 1) + 1);
    std::partial_sort(items_.begin(), items_.begin() + static_cast<ptrdiff_t>(first), items_.end(),
                      capsule_candidate_before);
    sorted_ = first;
  }

  size_t size() const { return items_.size(); }

  // The candidate at `i` of the capsule order.
  const CapsuleCandidate& at(size_t i) {
    if (i >= sorted_) {
      std::sort(items_.begin() + static_cast<ptrdiff_t>(sorted_), items_.end(), capsule_candidate_before);
      sorted_ = items_.size();
    }
    return items_[i];
  }

 private:
  std::vector<CapsuleCandidate> items_;
  size_t sorted_ = 0;
};

float finite_or_zero(float v) { return std::isfinite(v) ? v : 0.0f; }

CapsuleEntry make_entry(const CapsuleCandidate& c, std::string text, uint64_t cost) {
  const Record& r = *c.record;
  CapsuleEntry e;
  e.record_id = r.id;
  e.category = c.category;
  e.content = std::move(text);
  e.source_type = r.source_type;
  e.semantic_type = r.semantic_type;
  e.level = r.level;
  e.confidence = finite_or_zero(r.confidence);
  e.strength = finite_or_zero(r.strength);
  e.salience = finite_or_zero(r.salience);
  e.estimated_tokens = cost;
  e.selection_reasons = capsule_selection_reasons(c);
  return e;
}

bool is_compaction_eligible(const CapsuleCandidate& c) {
  const std::string& type = c.record->content_type;
  return (type == "text/markdown" || type == "text/plain" || type == "text") &&
         c.category != CapsuleCategory::ActiveGoal;
}

// Walks the candidates in order while the remaining budget allows, calling
// place(candidate, cut text, cost) for each one taken; `text_of` gives the
// text to cut. Returns the remaining budget.
template <class TextOf, class Place>
uint64_t fill(CandidateList& list, uint64_t budget, TextOf&& text_of, Place&& place) {
  uint64_t remaining = budget;
  for (size_t i = 0; i < list.size() && remaining >= kCapsuleMinRemaining; ++i) {
    const CapsuleCandidate& c = list.at(i);
    std::string cut = truncate_to_token_budget(text_of(c), remaining - kCapsuleEntryOverhead);
    if (is_blank_text(cut)) continue;
    const uint64_t cost = estimate_text_tokens(cut) + kCapsuleEntryOverhead;
    remaining -= cost;
    place(c, std::move(cut), cost);
  }
  return remaining;
}

ContextCapsule capsule_head(std::string_view namespace_, std::string_view purpose, uint64_t budget) {
  ContextCapsule c;
  c.namespace_ = std::string(namespace_);
  c.purpose = std::string(purpose);
  c.token_budget = budget;
  return c;
}

void finish(ContextCapsule& c, size_t candidates, uint64_t remaining) {
  c.estimated_tokens = c.token_budget - remaining;
  c.omitted_count = candidates > c.entries.size() ? candidates - c.entries.size() : 0;
  c.capsule_hash = compute_capsule_hash(c);
}

std::string_view content_of(const CapsuleCandidate& c) { return c.record->content; }

}  // namespace

uint64_t clamp_capsule_token_budget(uint64_t token_budget) {
  return std::clamp<uint64_t>(token_budget, 1, kMaxCapsuleTokenBudget);
}

ContextCapsule assemble_context_capsule(const RecordMap& records, std::string_view namespace_,
                                        std::string_view purpose, double reference_time, uint64_t token_budget,
                                        const MetadataValueIndex* index) {
  ContextCapsule capsule = capsule_head(namespace_, purpose, clamp_capsule_token_budget(token_budget));
  CandidateList list(records, index, namespace_, purpose, reference_time, capsule.token_budget, capsule);
  const uint64_t remaining =
      fill(list, capsule.token_budget, content_of, [&](const CapsuleCandidate& c, std::string cut, uint64_t cost) {
        capsule.entries.push_back(make_entry(c, std::move(cut), cost));
      });
  finish(capsule, list.size(), remaining);
  return capsule;
}

ContextCapsule assemble_compacted_context_capsule(const RecordMap& records, std::string_view namespace_,
                                                  std::string_view purpose, double reference_time,
                                                  uint64_t token_budget, const MetadataValueIndex* index) {
  ContextCapsule capsule = capsule_head(namespace_, purpose, clamp_capsule_token_budget(token_budget));
  CandidateList list(records, index, namespace_, purpose, reference_time, capsule.token_budget, capsule);
  CapsuleCompaction compaction;

  // The plain capsule's fill, counted only.
  fill(list, capsule.token_budget, content_of,
       [&](const CapsuleCandidate&, std::string, uint64_t) { ++compaction.baseline_entry_count; });

  // The compacted text of the candidate being placed, made only for the
  // candidates that filling reaches.
  std::string compacted;
  bool eligible = false;
  auto text_of = [&](const CapsuleCandidate& c) -> std::string_view {
    eligible = is_compaction_eligible(c);
    if (!eligible) return c.record->content;
    compacted = compact_capsule_text(c.record->content);
    return compacted;
  };
  const uint64_t remaining =
      fill(list, capsule.token_budget, text_of, [&](const CapsuleCandidate& c, std::string cut, uint64_t cost) {
        compaction.original_equivalent_tokens += estimate_text_tokens(c.record->content) + kCapsuleEntryOverhead;
        if (eligible) {
          if (compacted != c.record->content) ++compaction.transformed_entry_count;
        } else {
          ++compaction.protected_entry_count;
        }
        capsule.entries.push_back(make_entry(c, std::move(cut), cost));
      });
  finish(capsule, list.size(), remaining);

  compaction.output_entry_count = capsule.entries.size();
  compaction.additional_entry_count =
      compaction.output_entry_count > compaction.baseline_entry_count
          ? compaction.output_entry_count - compaction.baseline_entry_count
          : 0;
  compaction.compacted_tokens = capsule.estimated_tokens;
  compaction.saved_tokens = compaction.original_equivalent_tokens > compaction.compacted_tokens
                                ? compaction.original_equivalent_tokens - compaction.compacted_tokens
                                : 0;
  compaction.reduction_ratio =
      compaction.original_equivalent_tokens == 0
          ? 0.0f
          : static_cast<float>(compaction.saved_tokens) / static_cast<float>(compaction.original_equivalent_tokens);
  capsule.compaction = compaction;
  return capsule;
}

}  // namespace vesk
