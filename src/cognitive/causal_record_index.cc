#include "cognitive/causal_record_index.h"

namespace vesk {

void index_causal_records(CausalEngine& engine) {
  StringKeyMap<CausalRecordLinks> index;
  for (const auto& [id, p] : engine.patterns) {
    for (const std::string& r : p.cause_record_ids) index[r].as_cause.push_back(id);
    for (const std::string& r : p.effect_record_ids) index[r].as_effect.push_back(id);
  }
  engine.record_patterns.by_record = std::move(index);
}

const CausalRecordLinks* causal_links_for_record(const CausalEngine& engine, std::string_view record_id) {
  auto it = engine.record_patterns.by_record.find(record_id);
  return it == engine.record_patterns.by_record.end() ? nullptr : &it->second;
}

}  // namespace vesk
