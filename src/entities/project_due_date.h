// The due date of a project member: its metadata "due_date" read as an
// RFC 3339 date-time or as a plain "YYYY-MM-DD" date, in UTC calendar days.
//
// Two readings of one text, on purpose different: the due day is the date
// as written (a date-time's local date under its own offset, so 23:30 at
// -05:00 is due on its written day), while the sort key is the instant (that
// same text sorts as the next UTC day). Any other text is no due date.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "base/utc_instant.h"

namespace vesk {

struct ProjectDue {
  int64_t day = 0;       // days since 1970-01-01 of the written date
  int64_t sort_key = 0;  // whole Unix seconds of the instant (a date: its 00:00:00 UTC)
};

// The text as a date-time, then as a date with nothing before or after it
// (a year of 1 to 4 digits, month and day of 1 or 2, in range for the
// month); none when neither reads.
std::optional<ProjectDue> parse_project_due(std::string_view text);

// The UTC calendar day of an instant, in days since 1970-01-01.
int64_t utc_day(UtcInstant t);

}  // namespace vesk
