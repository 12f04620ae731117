// The cross-namespace digest of the store object.
#include <algorithm>
#include <chrono>
#include <optional>

#include "store/vesk.h"

namespace vesk {

CrossNamespaceDigest Vesk::cross_namespace_digest(const std::optional<std::vector<std::string>>& filter,
                                                  const CrossNamespaceDigestParams& given) const {
  const auto started = std::chrono::steady_clock::now();
  CrossNamespaceDigestParams params = given;
  params.top_concepts_limit = std::clamp<uint64_t>(params.top_concepts_limit, 1, 10);

  // The log is a file read; reading it before the locks keeps writers of
  // the record map from waiting on the disk. An unreadable log is empty.
  std::optional<std::vector<CorrectionLogEntry>> corrections;
  if (params.corrections) corrections = read_correction_log();

  CrossNamespaceDigest out;
  {
    // One shared lock each, in the store's lock order (records, beliefs,
    // concepts, causal), held for the whole build: the belief layer is read
    // once rather than reacquired per namespace inside the others, which a
    // waiting writer could turn into a deadlock with fair locks.
    auto records = records_.records.read();
    auto beliefs = layers_.beliefs.read();
    auto concepts = layers_.concepts.read();
    auto causal = layers_.causal.read();
    const std::vector<std::string> names = select_digest_namespaces(*records, filter, params.min_record_count);
    out.namespaces = build_namespace_digest_entries(names, params, corrections ? &*corrections : nullptr, *records,
                                                    &*beliefs, *concepts, *causal);
  }
  out.pairs = namespace_pair_similarities(out.namespaces, params);
  out.included_dimensions = included_digest_dimensions(params);
  out.namespace_count = out.namespaces.size();
  out.compact_summary = params.compact_summary;
  out.latency_ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count();
  return out;
}

}  // namespace vesk
