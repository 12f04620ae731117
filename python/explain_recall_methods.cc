// Explained recall and its replay. Both keep the interpreter lock for their
// whole run: they are diagnostics, and the replay's lookup, explanation and
// comparison stay one step for the caller.
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "explanation_dicts.h"
#include "vesk_object.h"

namespace vesk::py {
namespace {

PyObject* explain_recall(Vesk& self, std::string query, std::optional<uint64_t> top_k,
                         std::optional<float> min_strength, std::optional<bool> expand_connections,
                         PyObject* namespace_) {
  NamespaceFilter filter;
  if (namespace_ && !FromPy<NamespaceFilter>::convert(namespace_, filter)) return nullptr;
  Result<RecallExplanation> explanation =
      self.explain_recall(query, top_k, min_strength, expand_connections, std::move(filter.names));
  if (!explanation.ok()) return raise(explanation.status());
  return recall_explanation_dict(*explanation);
}
constexpr Method kExplainRecall{"Vesk",
                                "explain_recall($self, query, top_k=None, min_strength=None, "
                                "expand_connections=None, namespace=None)",
                                explain_recall};

PyObject* replay_recall(Vesk& self, std::string trace_id) {
  Result<Vesk::RecallReplay> replay = self.replay_recall(trace_id);
  if (!replay.ok()) return raise(replay.status());
  return recall_replay_dict(replay->original_trace_id, replay->replay_trace_id, replay->diff);
}
constexpr Method kReplayRecall{"Vesk", "replay_recall($self, trace_id)", replay_recall};

}  // namespace

MethodRows explain_recall_methods() { return {bind<kExplainRecall>(), bind<kReplayRecall>()}; }

}  // namespace vesk::py
