#include "retrieval_episode_class.h"

#include <string>
#include <utility>
#include <vector>

#include "binding/call.h"
#include "binding/json_bridge.h"

namespace vesk::py {
namespace {

// `read(episode)` under a read borrow of the cell.
template <class F>
auto reading(const EpisodeCell& cell, F read) -> Result<decltype(read(std::declval<const RetrievalEpisode&>()))> {
  Result<EpisodeCell::Reader> borrow = cell.read();
  if (!borrow.ok()) return borrow.status();
  return read(**borrow);
}

Result<std::string> episode_id(const EpisodeCell& cell) {
  return reading(cell, [](const RetrievalEpisode& e) { return e.id; });
}

Result<std::string> episode_query(const EpisodeCell& cell) {
  return reading(cell, [](const RetrievalEpisode& e) { return e.query; });
}

Result<std::vector<std::string>> episode_routes(const EpisodeCell& cell) {
  return reading(cell, [](const RetrievalEpisode& e) {
    std::vector<std::string> names;
    names.reserve(e.routes.size());
    for (MemoryRoute route : e.routes) names.emplace_back(memory_route_name(route));
    return names;
  });
}

// A list, not a set: the ids keep the episode's ascending order.
Result<std::vector<std::string>> episode_candidate_ids(const EpisodeCell& cell) {
  return reading(cell, [](const RetrievalEpisode& e) {
    return std::vector<std::string>(e.candidate_ids.begin(), e.candidate_ids.end());
  });
}

// The two arguments of open_verified_evidence with a default other than
// the empty text: a str when given.
struct StatusName {
  std::string text = "candidate";
};
struct PermissionName {
  std::string text = "context_only";
};

}  // namespace

template <>
struct FromPy<StatusName> {
  static bool convert(PyObject* o, StatusName& out) { return FromPy<std::string>::convert(o, out.text); }
};
template <>
struct FromPy<PermissionName> {
  static bool convert(PyObject* o, PermissionName& out) { return FromPy<std::string>::convert(o, out.text); }
};

namespace {

// Takes the episode for writing; a refusal leaves it as it was.
PyObject* open_verified_evidence(EpisodeCell& self, std::string record_id, std::string claim_id,
                                 std::string claim_text, std::string route, std::vector<std::string> support_keys,
                                 std::string document_id, std::string revision_id, std::string uri,
                                 ByteString registered_source_bytes, ByteString current_source_bytes,
                                 uint64_t byte_start, uint64_t byte_end, StatusName verification_status,
                                 PermissionName answer_permission) {
  auto writer = self.write();
  if (!writer.ok()) return raise(writer.status());
  EvidenceOpening opening{std::move(record_id), std::move(claim_id), std::move(claim_text), std::move(route),
                          std::move(support_keys), std::move(document_id), std::move(revision_id), std::move(uri),
                          std::move(registered_source_bytes.data), std::move(current_source_bytes.data),
                          byte_start, byte_end, std::move(verification_status.text),
                          std::move(answer_permission.text)};
  auto opened = episode_open_evidence(**writer, opening);
  if (!opened.ok()) return raise(opened.status());
  return to_python_via_json(*opened);
}
constexpr Method kOpenVerifiedEvidence{
    "RetrievalEpisode",
    "open_verified_evidence($self, record_id, claim_id, claim_text, route, support_keys, document_id, revision_id, "
    "uri, registered_source_bytes, current_source_bytes, byte_start, byte_end, verification_status=\"candidate\", "
    "answer_permission=\"context_only\")",
    open_verified_evidence};

// Takes the episode for reading.
PyObject* finalize(EpisodeCell& self, bool answer_present, std::vector<std::string> citations,
                   std::vector<std::string> atomic_claim_keys) {
  auto reader = self.read();
  if (!reader.ok()) return raise(reader.status());
  return to_python_via_json(finalize_retrieval_episode(**reader, answer_present, citations, atomic_claim_keys));
}
constexpr Method kFinalize{"RetrievalEpisode", "finalize($self, answer_present, citations, atomic_claim_keys)",
                           finalize};

PyMethodDef* episode_methods() {
  static PyMethodDef methods[] = {bind<kOpenVerifiedEvidence>(), bind<kFinalize>(), {}};
  return methods;
}

}  // namespace

ClassObject& NativeClass<EpisodeCell>::object() {
  static NativeClassObject<EpisodeCell> cls{"vesk._core.RetrievalEpisode",
                                            "Ephemeral audit state for one memory-backed answer.",
                                            nullptr,
                                            {
                                                computed<&episode_id>("id"),
                                                computed<&episode_query>("query"),
                                                computed<&episode_routes>("routes"),
                                                computed<&episode_candidate_ids>("candidate_ids"),
                                            },
                                            {{Py_tp_methods, episode_methods()}}};
  return cls;
}

PyObject* ToPy<RetrievalEpisode>::convert(const RetrievalEpisode& episode) {
  PyTypeObject* type = NativeClass<EpisodeCell>::object().get();
  return type ? wrap_as<EpisodeCell>(type, episode) : nullptr;
}

}  // namespace vesk::py
