// The project digest and its three snapshots: graph, status and timeline.
#include "value_classes.h"

namespace vesk::py {

ClassObject& NativeClass<ProjectDigest>::object() {
  using T = ProjectDigest;
  static ValueClass<T> cls{"vesk._core.ProjectDigest",
                           "Combined deterministic project digest for runtime/UI inspection.",
                           {field<&T::graph>("graph"), field<&T::status>("status"), field<&T::timeline>("timeline")}};
  return cls;
}

ClassObject& NativeClass<ProjectGraphSnapshot>::object() {
  using T = ProjectGraphSnapshot;
  static ValueClass<T> cls{"vesk._core.ProjectGraphSnapshot",
                           "Inspect-friendly snapshot of a project-scoped structural graph.",
                           {
                               field<&T::project_id>("project_id"),
                               field<&T::project_record_id>("project_record_id"),
                               field<&T::project_topic>("project_topic"),
                               field<&T::namespace_>("namespace"),
                               field<&T::member_record_ids>("member_record_ids"),
                               field<&T::member_tags>("member_tags"),
                               field<&T::relation_count>("relation_count"),
                           }};
  return cls;
}

ClassObject& NativeClass<ProjectStatusSnapshot>::object() {
  using T = ProjectStatusSnapshot;
  static ValueClass<T> cls{"vesk._core.ProjectStatusSnapshot",
                           "Deterministic project status counters derived from project-scoped records.",
                           {
                               field<&T::project_id>("project_id"),
                               field<&T::project_record_id>("project_record_id"),
                               field<&T::project_topic>("project_topic"),
                               field<&T::namespace_>("namespace"),
                               field<&T::project_status>("project_status"),
                               field<&T::total_members>("total_members"),
                               field<&T::reports>("reports"),
                               field<&T::scheduled_tasks>("scheduled_tasks"),
                               field<&T::open_tasks>("open_tasks"),
                               field<&T::completed_tasks>("completed_tasks"),
                               field<&T::todos>("todos"),
                               field<&T::open_todos>("open_todos"),
                               field<&T::completed_todos>("completed_todos"),
                               field<&T::notes>("notes"),
                               field<&T::due_tasks>("due_tasks"),
                               field<&T::high_priority_todos>("high_priority_todos"),
                           }};
  return cls;
}

ClassObject& NativeClass<ProjectTimelineSnapshot>::object() {
  using T = ProjectTimelineSnapshot;
  static ValueClass<T> cls{"vesk._core.ProjectTimelineSnapshot",
                           "Deterministic project timeline snapshot.",
                           {
                               field<&T::project_id>("project_id"),
                               field<&T::project_record_id>("project_record_id"),
                               field<&T::project_topic>("project_topic"),
                               field<&T::namespace_>("namespace"),
                               field<&T::total_entries>("total_entries"),
                               field<&T::overdue_entries>("overdue_entries"),
                               field<&T::upcoming_entries>("upcoming_entries"),
                               field<&T::open_entries>("open_entries"),
                               field<&T::entries>("entries"),
                           }};
  return cls;
}

ClassObject& NativeClass<ProjectTimelineEntry>::object() {
  using T = ProjectTimelineEntry;
  static ValueClass<T> cls{"vesk._core.ProjectTimelineEntry",
                           "One deterministic timeline row for a project-scoped record.",
                           {
                               field<&T::record_id>("record_id"),
                               field<&T::content>("content"),
                               field<&T::kind>("kind"),
                               field<&T::status>("status"),
                               field<&T::created_at>("created_at"),
                               field<&T::due_date>("due_date"),
                               field<&T::overdue>("overdue"),
                               field<&T::tags>("tags"),
                           }};
  return cls;
}

}  // namespace vesk::py
