// The cross-namespace digest. Arguments are converted in the order the
// method documents (the namespace filter last); the digest is built with the
// interpreter lock held, and its dict keeps the documented key order.
#include <algorithm>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "binding/dict_builder.h"
#include "reports/namespace_digest.h"
#include "vesk_object.h"

namespace vesk::py {
namespace {

PyObject* belief_summary_dict(const NamespaceBeliefSummary& s) {
  return DictBuilder()
      .add("resolved", s.resolved)
      .add("unresolved", s.unresolved)
      .add("singleton", s.singleton)
      .add("empty", s.empty)
      .add("high_volatility_count", s.high_volatility_count)
      .add("avg_volatility", s.avg_volatility)
      .finish();
}

PyObject* top_concept_dict(const NamespaceTopConcept& c) {
  return DictBuilder()
      .add("concept_id", c.concept_id)
      .add("key", c.key)
      .add("confidence", c.confidence)
      .add("state", c.state)
      .add("record_count", c.record_count)
      .add("belief_count", c.belief_count)
      .finish();
}

template <class T, class F>
PyObject* list_of(const std::vector<T>& items, F&& make) {
  PyRef list = PyRef::steal(PyList_New(static_cast<Py_ssize_t>(items.size())));
  if (!list) return nullptr;
  for (size_t i = 0; i < items.size(); ++i) {
    PyObject* o = make(items[i]);
    if (!o) return nullptr;
    PyList_SET_ITEM(list.get(), static_cast<Py_ssize_t>(i), o);
  }
  return list.release();
}

PyObject* entry_dict(const NamespaceDigestEntry& e) {
  return DictBuilder()
      .add("namespace", e.namespace_)
      .add("record_count", e.record_count)
      .add("concept_count", e.concept_count)
      .add("stable_concept_count", e.stable_concept_count)
      .add("concept_signatures", e.concept_signatures)
      .add("tags", e.tags)
      .add("structural_relation_types", e.structural_relation_types)
      .add("causal_signatures", e.causal_signatures)
      .add_with("belief_state_summary",
                [&] { return e.belief_state_summary ? belief_summary_dict(*e.belief_state_summary) : Py_NewRef(Py_None); })
      .add("correction_count", e.correction_count)
      .add("correction_density", e.correction_density)
      .add_with("top_concepts", [&] { return list_of(e.top_concepts, top_concept_dict); })
      .finish();
}

PyObject* pair_dict(const NamespacePairSimilarity& p) {
  return DictBuilder()
      .add("namespace_a", p.namespace_a)
      .add("namespace_b", p.namespace_b)
      .add("shared_concept_signatures", p.shared_concept_signatures)
      .add("concept_signature_similarity", p.concept_signature_similarity)
      .add("shared_tags", p.shared_tags)
      .add("tag_jaccard", p.tag_jaccard)
      .add("shared_structural_relation_types", p.shared_structural_relation_types)
      .add("structural_similarity", p.structural_similarity)
      .add("shared_causal_signatures", p.shared_causal_signatures)
      .add("causal_signature_similarity", p.causal_signature_similarity)
      .finish();
}

PyObject* cross_namespace_digest(Vesk& self, PyObject* namespace_, std::optional<uint64_t> top_concepts_limit,
                                 std::optional<uint64_t> min_record_count,
                                 std::optional<float> pairwise_similarity_threshold,
                                 std::optional<std::vector<std::string>> include_dimensions,
                                 std::optional<bool> compact_summary) {
  NamespaceFilter filter;
  if (namespace_ && !FromPy<NamespaceFilter>::convert(namespace_, filter)) return nullptr;
  CrossNamespaceDigestParams params;
  if (top_concepts_limit) params.top_concepts_limit = std::clamp<uint64_t>(*top_concepts_limit, 1, 10);
  if (min_record_count) params.min_record_count = *min_record_count;
  if (pairwise_similarity_threshold) {
    const float t = *pairwise_similarity_threshold;
    params.pairwise_similarity_threshold = std::isnan(t) ? t : std::clamp(t, 0.0f, 1.0f);
  }
  if (include_dimensions) apply_digest_dimension_names(*include_dimensions, params);
  if (compact_summary) params.compact_summary = *compact_summary;

  const CrossNamespaceDigest digest = self.cross_namespace_digest(filter.names, params);
  return DictBuilder()
      .add("namespace_count", digest.namespace_count)
      .add("latency_ms", digest.latency_ms)
      .add("compact_summary", digest.compact_summary)
      .add("included_dimensions", digest.included_dimensions)
      .add_with("namespaces", [&] { return list_of(digest.namespaces, entry_dict); })
      .add_with("pairs", [&] { return list_of(digest.pairs, pair_dict); })
      .finish();
}
constexpr Method kCrossNamespaceDigest{
    "Vesk",
    "cross_namespace_digest($self, namespace=None, top_concepts_limit=None, min_record_count=None, "
    "pairwise_similarity_threshold=None, include_dimensions=None, compact_summary=None)",
    cross_namespace_digest};

}  // namespace

MethodRows namespace_digest_methods() { return {bind<kCrossNamespaceDigest>()}; }

}  // namespace vesk::py
