// StoreExperienceHost: the store's side of the experience intake
// (maintenance/experience_intake.h): the plasticity state, the record map,
// the belief layer, the store road, the journal and the audit journal of one
// open store, each call taking and releasing its own locks.
//
// Confidence and volatility are fields no table indexes, so they are changed
// in place under the record map's write lock, as recall's bookkeeping changes
// activation; journal_records then writes the changed records as one
// mutation batch while it holds the map's read lock, so no writer can journal
// a later state of them in between.
#pragma once

#include "maintenance/experience_intake.h"
#include "store/vesk.h"

namespace vesk {

class StoreExperienceHost final : public ExperienceIntakeHost {
 public:
  explicit StoreExperienceHost(Vesk& store) : v_(store) {}

  uint8_t plasticity_mode() override;
  PlasticitySettings plasticity_settings() override;
  PlasticityCounters& plasticity_counters() override;
  const SdrEncoder& sdr_encoder() override;
  float generated_ratio() override;
  std::vector<std::string> first_hand_contents() override;
  Result<std::string> store(StoreRequest request) override;
  bool set_record_confidence(std::string_view record_id, float confidence) override;
  std::vector<std::string> raise_record_volatility(std::span<const std::string> record_ids, float delta) override;
  bool reinforce_belief(std::string_view belief_id, float delta) override;
  std::vector<std::string> belief_record_ids(std::string_view belief_id) override;
  Status journal_records(std::span<const std::string> record_ids) override;
  void log_plasticity_event(std::string_view kind, std::string_view target_id,
                            std::string_view experience_id) override;

 private:
  Vesk& v_;
};

}  // namespace vesk
