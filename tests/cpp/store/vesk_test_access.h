// VeskTestAccess: the store object's parts, writable, for tests that set up
// a state no public operation makes (a belief, an edited record) or look at
// a part no accessor shows.
#pragma once

#include "store/vesk.h"

namespace vesk {

struct VeskTestAccess {
  static RecordState& records(Vesk& v) { return v.records_; }
  static SearchIndexes& indexes(Vesk& v) { return v.indexes_; }
  static RecallState& recall(Vesk& v) { return v.recall_; }
  static CognitiveLayers& layers(Vesk& v) { return v.layers_; }
  static MaintenanceState& maintenance(Vesk& v) { return v.maintenance_; }
  static StoreFlags& flags(Vesk& v) { return v.flags_; }
  static CognitiveStore& journal(Vesk& v) { return *v.journal_; }
  static VeskStorage& storage(Vesk& v) { return *v.storage_; }
  static AuditJournal* audit(Vesk& v) { return v.audit_.get(); }
  static RecordChanges& changes(Vesk& v) { return *v.changes_; }
  static const Guarded<CredibilityTables>& credibility(const Vesk& v) { return v.credibility_; }
};

}  // namespace vesk
