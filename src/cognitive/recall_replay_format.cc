#include "cognitive/recall_replay_format.h"

namespace vesk {

const JsonStruct<RecallReplayBaseline>& JsonCodec<RecallReplayBaseline>::fields() {
  using T = RecallReplayBaseline;
  static const JsonStruct<T> s("struct RecallReplayBaseline",
                               {
                                   json_field<&T::trace_id>("trace_id"),
                                   json_field<&T::query>("query"),
                                   json_field<&T::top_k>("top_k"),
                                   json_field<&T::min_strength>("min_strength"),
                                   json_field<&T::expand_connections>("expand_connections"),
                                   json_field<&T::namespaces>("namespaces"),
                                   json_field<&T::ranked>("ranked"),
                               });
  return s;
}

Result<std::vector<RecallReplayBaseline>> parse_recall_replay(std::string_view text) {
  return json_parse<std::vector<RecallReplayBaseline>>(text);
}

}  // namespace vesk
