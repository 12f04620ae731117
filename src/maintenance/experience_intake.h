// The experience intake: step 3 of every maintenance cycle takes the whole
// experience queue and applies its items, in order, under the plasticity
// guards (plasticity_guards.h). Per item, the mode's settings narrowed by the
// cycle's alert level; per event, in order, after counting it:
//
//   Observation   skipped when new records are not allowed, when the item
//                 already added its maximum, or below the minimum certainty.
//                 A text that reads as a negation ("not", "no ", "never",
//                 "wrong", "incorrect", "false" and four Ukrainian phrases,
//                 as substrings of the lower-cased text) is checked against
//                 first-hand memory: it contradicts it when the Tanimoto
//                 similarity of its SDR (general range, case kept) to that of
//                 some "retrieved" or "recorded" record is in [0.5, 0.65).
//                 A contradicting model inference is skipped and counts an
//                 alert; anything else is stored (Working, channel
//                 "experience", no promotion, duplicate detection on, the
//                 source's source type, metadata "experience_source" and
//                 "session_id") and given the confidence of its certainty.
//   BeliefReinforcement  confidence = min(confidence + delta, 1) of a belief
//                 that exists.
//   VolatilityIncrease   volatility = min(volatility + delta, 1) of every
//                 record a hypothesis of the belief lists (an id listed twice
//                 is raised twice); a model inference marked as contradiction
//                 counts an alert.
//   Commitment, Uncertainty  counted only.
//
// Every applied change is logged to the audit journal as a correction entry
// of target kind "experience" (a failed append is dropped). The records whose
// confidence or volatility an item changed are journaled as one mutation
// batch at the item's end, so that the change outlives the store object even
// when no later pass of the cycle rewrites them; a failed write is dropped
// like the intake's other failures. The counters are added to at each item's
// end. No lock is held across two events.
//
// The intake reaches the store through ExperienceIntakeHost, so that it holds
// the guards and the store keeps its parts.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/status.h"
#include "index/sdr_encoder.h"
#include "maintenance/experience_item.h"
#include "maintenance/maintenance_cycle.h"
#include "maintenance/plasticity_guards.h"
#include "write/store_request.h"

namespace vesk {

// What the intake uses of the store. Each call takes and releases the locks
// it needs.
class ExperienceIntakeHost {
 public:
  virtual ~ExperienceIntakeHost() = default;

  // The mode byte, and the custom settings read under their read lock.
  virtual uint8_t plasticity_mode() = 0;
  virtual PlasticitySettings plasticity_settings() = 0;
  virtual PlasticityCounters& plasticity_counters() = 0;
  virtual const SdrEncoder& sdr_encoder() = 0;

  // Share of the held records whose source type is exactly "generated"; 0
  // with none.
  virtual float generated_ratio() = 0;
  // The contents of the "retrieved" and "recorded" records in the record
  // map's order, copied under its read lock.
  virtual std::vector<std::string> first_hand_contents() = 0;
  // The store road for the system's own writers; the id of the record the
  // map now holds (an existing one when duplicate detection matched).
  virtual Result<std::string> store(StoreRequest request) = 0;
  // Under the record map's write lock; false for an id it does not hold.
  virtual bool set_record_confidence(std::string_view record_id, float confidence) = 0;
  // Under the record map's write lock: min(volatility + delta, 1) of every
  // held record among `record_ids`; the ids it raised, in order.
  virtual std::vector<std::string> raise_record_volatility(std::span<const std::string> record_ids,
                                                           float delta) = 0;
  // Under the belief layer's write lock: confidence = min(confidence + delta,
  // 1); false for a belief that does not exist.
  virtual bool reinforce_belief(std::string_view belief_id, float delta) = 0;
  // Under the belief layer's read lock: the prototype record ids of every
  // hypothesis of the belief, in the hypotheses' map order; empty when the
  // belief does not exist.
  virtual std::vector<std::string> belief_record_ids(std::string_view belief_id) = 0;
  // Journals the held records among `record_ids` as one mutation batch.
  virtual Status journal_records(std::span<const std::string> record_ids) = 0;
  // One correction entry: target kind "experience", operation `kind`,
  // reason "plasticity:{kind}:{experience_id}"; nothing without an audit
  // journal, and a failure is dropped.
  virtual void log_plasticity_event(std::string_view kind, std::string_view target_id,
                                    std::string_view experience_id) = 0;
};

// The number of records the intake added (the report's experience_injected).
uint64_t run_experience_intake(ExperienceQueue taken, ExperienceIntakeHost& host, CycleContext& cycle);

// Whether the lower-cased text reads as a negation.
bool reads_as_negation(std::string_view lower_text);

// |a ∩ b| / (|a| + |b| - |a ∩ b|) of two sorted position sets; 0 when both
// are empty.
float sdr_tanimoto(const Sdr& a, const Sdr& b);

}  // namespace vesk
