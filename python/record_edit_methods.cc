// Record edits: update, supersession and the version chain, the validity
// window and the usefulness verdicts. Each holds the interpreter lock: a
// short change of a few records (update's claim classifier and the
// embedding function are Python callables that run on this thread).
#include <cstdint>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "binding/enums.h"
#include "enum_classes.h"
#include "record_class.h"
#include "vesk_object.h"
#include "write/record_update.h"

namespace vesk::py {

// The fields an update may change, converted as the store's arguments are.
template <>
struct RequestFields<RecordUpdate> {
  static constexpr auto kFields = std::tuple{
      request_field<&RecordUpdate::content>("content"),
      request_field<&RecordUpdate::level>("level"),
      request_field<&RecordUpdate::tags>("tags"),
      request_field<&RecordUpdate::strength>("strength"),
      request_field<&RecordUpdate::metadata>("metadata"),
      request_field<&RecordUpdate::source_type>("source_type"),
  };
};

namespace {

Result<std::optional<Record>> update(Vesk& self, std::string record_id, RecordUpdate change) {
  return self.update(record_id, std::move(change));
}
constexpr Method kUpdate{"Vesk",
                         "update($self, record_id, content=None, level=None, tags=None, strength=None, metadata=None, "
                         "source_type=None)",
                         update};

Result<std::string> supersede(Vesk& self, std::string old_id, std::string new_content, std::optional<Level> level,
                              std::optional<std::vector<std::string>> tags, std::optional<std::string> namespace_,
                              std::optional<double> effective_at) {
  return self.supersede(old_id, std::move(new_content), level, std::move(tags), std::move(namespace_),
                        effective_at);
}
constexpr Method kSupersede{
    "Vesk", "supersede($self, old_id, new_content, level=None, tags=None, namespace=None, effective_at=None)",
    supersede};

std::optional<std::string> superseded_by(Vesk& self, std::string record_id) { return self.superseded_by(record_id); }
constexpr Method kSupersededBy{"Vesk", "superseded_by($self, record_id)", superseded_by};

std::vector<Record> version_chain(Vesk& self, std::string record_id) { return self.version_chain(record_id); }
constexpr Method kVersionChain{"Vesk", "version_chain($self, record_id)", version_chain};

Result<Record> set_temporal_validity(Vesk& self, std::string record_id, std::optional<double> valid_from,
                                     std::optional<double> valid_until) {
  return self.set_temporal_validity(record_id, valid_from, valid_until);
}
constexpr Method kSetTemporalValidity{"Vesk",
                                      "set_temporal_validity($self, record_id, valid_from=None, valid_until=None)",
                                      set_temporal_validity};

Result<bool> feedback(Vesk& self, std::string record_id, bool useful) { return self.feedback(record_id, useful); }
constexpr Method kFeedback{"Vesk", "feedback($self, record_id, useful)", feedback};

// (useful, useless, useful - useless), or None for an unknown id.
PyObject* feedback_stats(Vesk& self, std::string record_id) {
  auto stats = self.feedback_stats(record_id);
  if (!stats) return Py_NewRef(Py_None);
  const auto [positive, negative, net] = *stats;
  return Py_BuildValue("(IIi)", static_cast<unsigned int>(positive), static_cast<unsigned int>(negative),
                       static_cast<int>(net));
}
constexpr Method kFeedbackStats{"Vesk", "feedback_stats($self, record_id)", feedback_stats};

}  // namespace

MethodRows record_edit_methods() {
  return {bind<kUpdate>(),        bind<kSupersede>(), bind<kSupersededBy>(),  bind<kVersionChain>(),
          bind<kSetTemporalValidity>(), bind<kFeedback>(), bind<kFeedbackStats>()};
}

}  // namespace vesk::py
