// The store object's lock order, written once.
//
// An operation that holds several parts of the store object at once takes
// them in this order, top to bottom, and never the reverse; a part may be
// skipped. Each rank below is given to its part (a Guarded<T>) where the
// object is built, and the check of base/lock_rank.h reports any other order
// while it runs (debug builds and the C++ tests).
//
//   maintenance cycle            held by a cycle from its start to its end
//   taxonomy -> trust model -> maintenance settings   (configuration block)
//   records                      the record map
//   duplicates                   only while records is held for writing
//   recall index                 while records is held, or alone
//   n-gram -> terms -> tags -> id map -> record SDRs -> substrings
//   sessions                     after records (post-recall bookkeeping)
//   belief -> concept -> causal -> policy layers
//   previous belief -> concept -> causal -> policy ids   (a cycle's stability step)
//   cross-connection lines       after records (a cycle's digest phases)
//   the parts that are only ever taken alone (reports, side files, slots)
//
// Locks that are not Guarded parts keep their place by the same rule, each
// documented where it lives: the embedding store's lock comes after the id
// map and takes no other lock while held (the belief phase of a cycle reads
// vectors through it under the belief layer's lock); the journal writer's mutex
// and the record log's locks may be taken while the record map is held,
// never the reverse; the pending recall activations after records; the
// plasticity state's lock with no other part held but the maintenance
// cycle; the SDR index orders
// its own locks (index/sdr_index.h). No store lock is ever held while waiting
// for the Python interpreter lock: callbacks are copied out of their slots
// and called with every lock released.
#pragma once

#include "base/lock_rank.h"

namespace vesk::lock_order {

inline constexpr LockRank kMaintenanceCycle{5, "maintenance cycle"};
inline constexpr LockRank kTaxonomy{10, "taxonomy"};
inline constexpr LockRank kTrust{11, "trust model"};
inline constexpr LockRank kMaintenanceConfig{12, "maintenance settings"};
inline constexpr LockRank kRecords{20, "records"};
inline constexpr LockRank kDuplicates{21, "duplicates"};
inline constexpr LockRank kRecallIndex{22, "recall index"};
inline constexpr LockRank kNgram{23, "n-gram index"};
inline constexpr LockRank kTerms{24, "term index"};
inline constexpr LockRank kTags{25, "tag index"};
inline constexpr LockRank kIdMap{26, "id map"};
inline constexpr LockRank kRecordSdrs{27, "record SDRs"};
inline constexpr LockRank kSubstrings{28, "substring index"};
inline constexpr LockRank kSessions{30, "sessions"};
inline constexpr LockRank kBeliefs{40, "belief layer"};
inline constexpr LockRank kConcepts{41, "concept layer"};
inline constexpr LockRank kCausal{42, "causal layer"};
inline constexpr LockRank kPolicies{43, "policy layer"};
inline constexpr LockRank kEpistemic{44, "epistemic runtime"};
// The previous cycle's layer id sets, taken under the four layers' read locks.
inline constexpr LockRank kPreviousBeliefIds{45, "previous belief ids"};
inline constexpr LockRank kPreviousConceptIds{46, "previous concept ids"};
inline constexpr LockRank kPreviousCausalIds{47, "previous causal ids"};
inline constexpr LockRank kPreviousPolicyIds{48, "previous policy ids"};
// Taken alone: any level above every other works; each has its own so that
// taking two of them at once is reported.
inline constexpr LockRank kRecallReplay{50, "recall replay"};
inline constexpr LockRank kTrends{51, "maintenance trends"};
inline constexpr LockRank kReflections{52, "reflection summaries"};
inline constexpr LockRank kManifest{53, "persistence manifest"};
inline constexpr LockRank kStartupReport{54, "startup report"};
inline constexpr LockRank kMaintenanceSettings{55, "maintenance switches"};
inline constexpr LockRank kCredibility{56, "credibility"};
inline constexpr LockRank kResearch{57, "research projects"};
inline constexpr LockRank kExperience{58, "experience queue"};
// The cross-connection phase writes them under the record map's lock.
inline constexpr LockRank kCrossConnectionLines{59, "cross-connection lines"};
inline constexpr LockRank kBackground{60, "background state"};
inline constexpr LockRank kRetentionScheduler{61, "retention scheduler"};
inline constexpr LockRank kClaimClassifier{62, "claim classifier slot"};
inline constexpr LockRank kOutcomeClassifier{63, "outcome classifier slot"};
inline constexpr LockRank kPlasticitySettings{64, "plasticity settings"};

}  // namespace vesk::lock_order
