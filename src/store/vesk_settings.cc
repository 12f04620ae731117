// The store object's settings: the security profile, the trust model and
// fusion mode, the rerank and rendering modes, the claim rules, the text
// classifiers, the tag taxonomy and the synonyms. None of them is persisted.
#include <utility>

#include "cognitive/causal_pattern_key.h"
#include "model/debug_text.h"
#include "store/vesk.h"
#include "write/namespace_list.h"

namespace vesk {
namespace {

constexpr auto kRelaxed = std::memory_order_relaxed;

// Stores a parsed mode in its byte; a refused text changes nothing.
template <class Mode>
Status store_mode(std::atomic<Mode>& slot, Result<Mode> parsed) {
  if (!parsed.ok()) return parsed.status();
  slot.store(*parsed, kRelaxed);
  return Status::Ok();
}

}  // namespace

void Vesk::set_security_profile(SecurityProfile profile) {
  flags_.security_profile.store(profile);
  clear_recall_caches();
}

Status Vesk::set_security_profile(std::string_view profile) {
  Result<SecurityProfile> parsed = parse_security_profile(profile);
  if (!parsed.ok()) return parsed.status();
  set_security_profile(*parsed);
  return Status::Ok();
}

void Vesk::set_trust_config(TrustConfig config) { config_.set_trust(std::move(config)); }

Status Vesk::set_recall_fusion_mode(std::string_view mode) {
  bool known = false;
  for (std::string_view m : kFusionModes) known |= m == mode;
  if (!known) {
    return Status::Value("unknown fusion mode " + quote_debug(mode) + "; expected one of " +
                         quote_debug_list(kFusionModes));
  }
  config_.set_fusion_mode(std::string(mode));
  clear_recall_caches();
  return Status::Ok();
}

Status Vesk::set_belief_rerank_mode(std::string_view mode) {
  return store_mode(flags_.belief_rerank, parse_belief_rerank_mode(mode));
}

Status Vesk::set_concept_surface_mode(std::string_view mode) {
  return store_mode(flags_.concept_surface, parse_concept_surface_mode(mode));
}

Status Vesk::set_causal_rerank_mode(std::string_view mode) {
  return store_mode(flags_.causal_rerank, parse_causal_rerank_mode(mode));
}

Status Vesk::set_causal_evidence_mode(std::string_view mode) {
  Result<CausalEvidenceMode> parsed = parse_causal_evidence_mode(mode);
  if (!parsed.ok()) return parsed.status();
  layers_.causal.write()->evidence_mode = *parsed;
  return Status::Ok();
}

Status Vesk::set_policy_rerank_mode(std::string_view mode) {
  return store_mode(flags_.policy_rerank, parse_policy_rerank_mode(mode));
}

void Vesk::set_full_cognitive_stack(bool enabled) {
  flags_.belief_rerank.store(enabled ? BeliefRerankMode::Limited : BeliefRerankMode::Off, kRelaxed);
  flags_.concept_surface.store(enabled ? ConceptSurfaceMode::Limited : ConceptSurfaceMode::Off, kRelaxed);
  flags_.causal_rerank.store(enabled ? CausalRerankMode::Limited : CausalRerankMode::Off, kRelaxed);
  flags_.policy_rerank.store(enabled ? PolicyRerankMode::Limited : PolicyRerankMode::Off, kRelaxed);
}

Status Vesk::set_context_dates(std::string_view mode) {
  VESK_RETURN_IF_ERROR(store_mode(flags_.context_dates, parse_context_date_mode(mode)));
  clear_recall_caches();
  return Status::Ok();
}

void Vesk::set_identity_block_enabled(bool enabled) {
  flags_.identity_block.store(enabled, kRelaxed);
  clear_recall_caches();
}

void Vesk::set_claim_rules_enabled(bool enabled) { flags_.claim_rules.store(enabled); }

void Vesk::set_claim_classifier(TextClassifierHandle classifier) {
  callbacks_.claim_classifier.set(std::move(classifier));
}

void Vesk::set_outcome_classifier(TextClassifierHandle classifier) {
  callbacks_.outcome_classifier.set(std::move(classifier));
}

void Vesk::set_taxonomy(TagTaxonomy taxonomy) { config_.set_taxonomy(std::move(taxonomy)); }

TagTaxonomy Vesk::taxonomy() const { return config_.taxonomy(); }

Result<uint64_t> Vesk::load_synonyms(const std::string& path) { return indexes_.synonyms.load(env_, path); }

bool Vesk::has_synonyms() const { return !indexes_.synonyms.empty(); }

std::vector<std::string> Vesk::list_namespaces() const { return vesk::list_namespaces(*records_.records.read()); }

}  // namespace vesk
