// The consequence evidence one record carries, as the causal and policy
// phases count it: how many signals say the record's outcome went well
// (support) and how many say it went badly (refute).
//
//   support  one per tag exactly "consequence-support" (repeats count), plus
//            one when metadata "outcome" reads positive (parse_polarity)
//   refute   one per tag exactly "consequence-refute" (repeats count), plus
//            one when metadata "outcome" reads negative, plus two when the
//            semantic type is exactly "contradiction"
//
// Pure; reads only the record.
#pragma once

#include <cstdint>

#include "model/record.h"

namespace vesk {

struct ConsequenceTagCounts {
  uint64_t support = 0;
  uint64_t refute = 0;

  bool operator==(const ConsequenceTagCounts&) const = default;
};

ConsequenceTagCounts count_consequence_tags(const Record& record);

}  // namespace vesk
