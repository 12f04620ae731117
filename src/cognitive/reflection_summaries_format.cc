#include "cognitive/reflection_summaries_format.h"

namespace vesk {

const JsonStruct<ReflectionFinding>& JsonCodec<ReflectionFinding>::fields() {
  using T = ReflectionFinding;
  static const JsonStruct<T> s("struct ReflectionFinding",
                               {
                                   json_field<&T::kind>("kind"),
                                   json_field<&T::namespace_>("namespace"),
                                   json_field<&T::title>("title"),
                                   json_field<&T::detail>("detail"),
                                   json_field<&T::related_ids>("related_ids"),
                                   json_field<&T::score>("score"),
                                   json_field<&T::severity>("severity"),
                               });
  return s;
}

const JsonStruct<ReflectionJobReport>& JsonCodec<ReflectionJobReport>::fields() {
  using T = ReflectionJobReport;
  static const JsonStruct<T> s("struct ReflectionJobReport",
                               {
                                   json_field<&T::jobs_run>("jobs_run"),
                                   json_field<&T::blocker_findings>("blocker_findings"),
                                   json_field<&T::contradiction_findings>("contradiction_findings"),
                                   json_field<&T::trend_findings>("trend_findings"),
                                   json_field<&T::total_findings>("total_findings"),
                                   json_field<&T::capped>("capped"),
                               });
  return s;
}

const JsonStruct<ReflectionSummary>& JsonCodec<ReflectionSummary>::fields() {
  using T = ReflectionSummary;
  static const JsonStruct<T> s("struct ReflectionSummary",
                               {
                                   json_field<&T::timestamp>("timestamp"),
                                   json_field<&T::digest>("digest"),
                                   json_field<&T::dominant_phase>("dominant_phase"),
                                   json_field<&T::report>("report"),
                                   json_field<&T::findings>("findings"),
                               });
  return s;
}

Result<std::vector<ReflectionSummary>> parse_reflection_summaries(std::string_view text) {
  return json_parse<std::vector<ReflectionSummary>>(text);
}

}  // namespace vesk
