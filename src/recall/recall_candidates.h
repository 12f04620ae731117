// RecallCandidates: the records one recall may return, as views over the
// record map; nothing is copied.
//
// The candidates are the records valid at the recall's time (and, for a
// transaction-time recall, created at or before it). The pipeline
// reaches them through lookup(), and its collectors and fusion keep those of
// the recall's namespaces. The embedding ranking has no namespace filter of
// its own: cut to its first k over the whole store, it would fill up with
// the nearest vectors of other namespaces, which the fusion then drops. It
// is given the candidates of the recall's namespaces instead:
// in_namespaces() tests one id, for_each_in_namespaces() lists them from the
// recall index, and covers_every_record() tells when they are simply every
// record of the map (the namespaces listed hold all of them and none has a
// validity window), so that the whole store is ranked as it stands.
//
// The caller holds the read locks of the records map and of the recall index
// for as long as it uses the views, and keeps the namespace list alive.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "model/record_map.h"
#include "model/scored_record.h"
#include "recall/recall_record_index.h"

namespace vesk {

class RecallCandidates {
 public:
  // `namespaces` as the pipeline sees them: already defaulted to "default".
  // With `created_by`, a record whose created_at is later than it (or NaN)
  // is not a candidate either.
  RecallCandidates(const RecordMap& records, const RecallRecordIndex& index, std::span<const std::string> namespaces,
                   double now, std::optional<double> created_by = std::nullopt);
  RecallCandidates(const RecallCandidates&) = delete;
  RecallCandidates& operator=(const RecallCandidates&) = delete;

  // The record of an id when it is a candidate (any namespace), else null.
  const RecordLookup& lookup() const { return lookup_; }

  // Whether the id names a record valid now in one of the namespaces.
  bool in_namespaces(std::string_view id) const;
  // Visits the id of every record valid now in the namespaces, each once.
  void for_each_in_namespaces(const std::function<void(std::string_view id)>& visit) const;
  // The number of records of the namespaces, valid now or not: at least the
  // number for_each_in_namespaces() visits.
  size_t in_namespaces_at_most() const { return in_namespaces_; }
  // True when every record of the map is valid now and in the namespaces.
  bool covers_every_record() const;

 private:
  const RecordMap& records_;
  const RecallRecordIndex& index_;
  const std::span<const std::string> namespaces_;
  const double now_;
  const std::optional<double> created_by_;
  const size_t in_namespaces_;
  const RecordLookup lookup_;
};

}  // namespace vesk
