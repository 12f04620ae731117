#include "store/experience_host.h"

#include <algorithm>
#include <string>
#include <utility>

#include "storage/correction_entry.h"

namespace vesk {

uint8_t StoreExperienceHost::plasticity_mode() { return v_.layers_.plasticity_mode.load(); }

PlasticitySettings StoreExperienceHost::plasticity_settings() { return v_.layers_.plasticity_settings.copy(); }

PlasticityCounters& StoreExperienceHost::plasticity_counters() { return v_.layers_.plasticity_counters; }

const SdrEncoder& StoreExperienceHost::sdr_encoder() { return v_.indexes_.sdr_encoder; }

float StoreExperienceHost::generated_ratio() {
  auto records = v_.records_.records.read();
  if (records->empty()) return 0.0f;
  size_t generated = 0;
  for (const auto& [id, r] : *records) generated += r.source_type == "generated" ? 1 : 0;
  return static_cast<float>(generated) / static_cast<float>(records->size());
}

std::vector<std::string> StoreExperienceHost::first_hand_contents() {
  std::vector<std::string> out;
  auto records = v_.records_.records.read();
  for (const auto& [id, r] : *records) {
    if (r.source_type == "retrieved" || r.source_type == "recorded") out.push_back(r.content);
  }
  return out;
}

Result<std::string> StoreExperienceHost::store(StoreRequest request) {
  Result<Record> stored = v_.store_with_channel(std::move(request));
  if (!stored.ok()) return stored.status();
  return std::move(stored->id);
}

bool StoreExperienceHost::set_record_confidence(std::string_view record_id, float confidence) {
  auto records = v_.records_.records.write();
  Record* r = records->find_value(record_id);
  if (r == nullptr) return false;
  r->confidence = confidence;
  return true;
}

std::vector<std::string> StoreExperienceHost::raise_record_volatility(std::span<const std::string> record_ids,
                                                                      float delta) {
  std::vector<std::string> raised;
  auto records = v_.records_.records.write();
  for (const std::string& id : record_ids) {
    Record* r = records->find_value(id);
    if (r == nullptr) continue;
    r->volatility = std::min(r->volatility + delta, 1.0f);
    raised.push_back(id);
  }
  return raised;
}

bool StoreExperienceHost::reinforce_belief(std::string_view belief_id, float delta) {
  auto beliefs = v_.layers_.beliefs.write();
  auto it = beliefs->beliefs.find(std::string(belief_id));
  if (it == beliefs->beliefs.end()) return false;
  it->second.confidence = std::min(it->second.confidence + delta, 1.0f);
  return true;
}

std::vector<std::string> StoreExperienceHost::belief_record_ids(std::string_view belief_id) {
  std::vector<std::string> ids;
  auto beliefs = v_.layers_.beliefs.read();
  if (!beliefs->beliefs.contains(std::string(belief_id))) return ids;
  for (const auto& [hid, h] : beliefs->hypotheses) {
    if (h.belief_id == belief_id) ids.insert(ids.end(), h.prototype_record_ids.begin(), h.prototype_record_ids.end());
  }
  return ids;
}

Status StoreExperienceHost::journal_records(std::span<const std::string> record_ids) {
  if (record_ids.empty()) return Status::Ok();
  auto records = v_.records_.records.read();
  std::vector<Record> copies;
  for (const std::string& id : record_ids) {
    if (const Record* r = records->find_value(id)) copies.push_back(*r);
  }
  return v_.journal_->log_record_mutations(copies, {});
}

void StoreExperienceHost::log_plasticity_event(std::string_view kind, std::string_view target_id,
                                               std::string_view experience_id) {
  if (v_.audit_ == nullptr) return;
  const std::string reason = "plasticity:" + std::string(kind) + ":" + std::string(experience_id);
  (void)append_correction_entry(*v_.audit_, "experience", target_id, kind, reason);
}

}  // namespace vesk
