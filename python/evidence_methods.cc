// Retrieval episodes and applicability. Starting an episode keeps the
// interpreter lock (the candidate check is short); the applicability of a
// record is evaluated without it. Refusals are ValueErrors; nested answers
// cross as JSON read by the host's json.loads.
#include <optional>
#include <string>
#include <vector>

#include "binding/json_bridge.h"
#include "retrieval_episode_class.h"
#include "vesk_object.h"

namespace vesk::py {
namespace {

Result<RetrievalEpisode> start_retrieval_episode(Vesk& self, std::string query, std::vector<std::string> candidate_ids,
                                                 std::optional<std::vector<std::string>> routes) {
  return self.start_retrieval_episode(query, candidate_ids, routes);
}
constexpr Method kStartRetrievalEpisode{"Vesk", "start_retrieval_episode($self, query, candidate_ids, routes=None)",
                                        start_retrieval_episode};

PyObject* evaluate_applicability(Vesk& self, std::string record_id, CurrentState current_state) {
  auto decision = without_gil([&] { return self.evaluate_applicability(record_id, current_state); });
  if (!decision) Py_RETURN_NONE;
  return to_python_via_json(*decision);
}
constexpr Method kEvaluateApplicability{
    "Vesk",
    "evaluate_applicability($self, record_id, current_state)\n--\n\n"
    "Evaluate one record against agent-supplied structured current state.",
    evaluate_applicability};

}  // namespace

MethodRows evidence_methods() {
  return {
      bind<kStartRetrievalEpisode>(),
      bind<kEvaluateApplicability>(),
  };
}

}  // namespace vesk::py
