// Vesk::import_json: records restored as they were exported, as a raw
// restore rather than a second store road.
#include <tbb/parallel_for.h>

#include <utility>
#include <vector>

#include "model/record_json.h"
#include "store/vesk.h"

namespace vesk {

Result<uint64_t> Vesk::import_json(std::string_view json_text) {
  // The whole text is read before anything changes.
  auto parsed = parse_record_list_json(json_text);
  if (!parsed.ok()) return parsed.status().as(ErrorKind::Runtime);
  std::vector<Record>& records = *parsed;
  const uint64_t count = records.size();

  // The SDRs are computed before the record map is locked, side by side.
  std::vector<RecordChanges::NewRecord> restored(records.size());
  tbb::parallel_for(size_t{0}, records.size(), [&](size_t i) {
    RecordChanges::NewRecord& n = restored[i];
    const Record& r = records[i];
    const SdrRange range = sdr_range_for_level(r.level);
    n.sdr = std::make_shared<const Sdr>(encode_sdr(indexes_.sdr_encoder, r.content, range, SdrCase::Fold));
    n.general_sdr = range == SdrRange::General ? n.sdr
                                               : std::make_shared<const Sdr>(encode_sdr(
                                                     indexes_.sdr_encoder, r.content, SdrRange::General, SdrCase::Fold));
  });
  for (size_t i = 0; i < records.size(); ++i) restored[i].record = std::move(records[i]);

  // In array order, a later record of an id replacing an earlier one. A
  // journal failure keeps the records before it and drops the rest.
  Status done = changes_->apply([&](RecordChanges::Batch& batch) -> Status {
    for (RecordChanges::NewRecord& n : restored) VESK_RETURN_IF_ERROR(batch.restore(std::move(n)));
    return Status::Ok();
  });
  if (!done.ok()) return done.as(ErrorKind::Runtime);
  return count;
}

}  // namespace vesk
