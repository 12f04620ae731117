// The project views (entities/project_digest.h) built from a project's
// anchor and members as the caller found them (entities/project_records.h).
//
// Each takes the anchor and the members in map order; a member with the
// anchor's id is skipped, so the caller may pass the anchor among them. Each
// answers none when the anchor holds no "project_id" (its metadata changed
// between the lookup and the read). Nothing here reads a clock: the timeline
// is given today and tomorrow as UTC days.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "entities/project_digest.h"
#include "model/record.h"

namespace vesk {

// Member ids ascending (bytes), tag occurrences counted over the members.
std::optional<ProjectGraphSnapshot> project_graph(const Record& anchor, std::span<const Record* const> members);

// Counters by tag: a member counts once in each category whose tag it holds.
std::optional<ProjectStatusSnapshot> project_status(const Record& anchor, std::span<const Record* const> members);

// One entry per member: kind by tag precedence (task, todo, note, report,
// else "project-record"); overdue before `today`, upcoming on `today` or
// `tomorrow`, both only while open. Entries sorted by the due instant, then
// by created_at; members without a readable due date last.
std::optional<ProjectTimelineSnapshot> project_timeline(const Record& anchor, std::span<const Record* const> members,
                                                        int64_t today, int64_t tomorrow);

}  // namespace vesk
