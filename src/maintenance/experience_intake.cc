#include "maintenance/experience_intake.h"

#include <algorithm>
#include <array>
#include <optional>
#include <type_traits>
#include <utility>

#include "base/string_hash.h"
#include "model/level.h"
#include "model/unicode_case.h"

namespace vesk {
namespace {

// Compared byte for byte with the lower-cased text; "no " keeps its space so
// that words beginning with "no" do not count.
constexpr std::array<std::string_view, 10> kNegations = {
    "not", "no ", "never", "wrong", "incorrect", "false", "не є", "не буде", "хибно", "помилково"};

constexpr float kContradictionLow = 0.5f;
constexpr float kContradictionHigh = 0.65f;

// What one item did, added to the store's counters at its end.
struct ItemCounts {
  uint64_t events = 0;
  uint64_t stored = 0;
  uint64_t alerts = 0;
  uint64_t volatility_raises = 0;
  // Records whose confidence or volatility the item changed, each once.
  std::vector<std::string> changed;

  void note_changed(const std::string& id) {
    if (std::find(changed.begin(), changed.end(), id) == changed.end()) changed.push_back(id);
  }
};

// Whether the observation's SDR is close to, but not the same as, that of
// some first-hand record: the first such record in map order decides. The
// contents are copied under the record map's lock and encoded here, so
// stores do not wait for the encoding.
bool contradicts_first_hand_memory(ExperienceIntakeHost& host, const Sdr& observation) {
  const SdrEncoder& encoder = host.sdr_encoder();
  for (const std::string& content : host.first_hand_contents()) {
    const float sim = sdr_tanimoto(observation, encode_sdr(encoder, content, SdrRange::General, SdrCase::Preserve));
    if (sim >= kContradictionLow && sim < kContradictionHigh) return true;
  }
  return false;
}

void take_observation(ExperienceIntakeHost& host, const ExperienceItem& item, const PlasticitySettings& settings,
                      const ExperienceEvent::Observation& obs, ItemCounts& counts) {
  if (!settings.allow_new_records) return;
  if (counts.stored >= settings.max_new_records_per_call) return;
  if (static_cast<uint8_t>(obs.certainty) < settings.min_certainty) return;

  if (reads_as_negation(unicode_lower(obs.text))) {
    const Sdr sdr = encode_sdr(host.sdr_encoder(), obs.text, SdrRange::General, SdrCase::Preserve);
    if (item.source == ExperienceSource::ModelInference && contradicts_first_hand_memory(host, sdr)) {
      ++counts.alerts;
      return;
    }
  }

  StoreRequest request;
  request.content = obs.text;
  request.level = Level::Working;
  request.tags = obs.tags;
  request.pin = false;
  request.content_type = "text";
  request.source_type = std::string(experience_source_type(item.source));
  request.metadata = StringMap{{"experience_source", std::string(experience_source_text(item.source))},
                               {"session_id", item.session_id}};
  request.deduplicate = true;
  request.channel = "experience";
  request.auto_promote = false;
  request.semantic_type = obs.semantic_type;
  Result<std::string> id = host.store(std::move(request));
  if (!id.ok()) return;

  if (host.set_record_confidence(*id, observation_confidence(obs.certainty))) counts.note_changed(*id);
  ++counts.stored;
  host.log_plasticity_event("new_record", *id, item.experience_id);
}

void take_reinforcement(ExperienceIntakeHost& host, const ExperienceItem& item, const PlasticitySettings& settings,
                        const ExperienceEvent::BeliefReinforcement& event) {
  if (!settings.allow_belief_reinforcement) return;
  if (host.reinforce_belief(event.belief_id, event.delta)) {
    host.log_plasticity_event("belief_reinforced", event.belief_id, item.experience_id);
  }
}

void take_volatility_increase(ExperienceIntakeHost& host, const ExperienceItem& item,
                              const PlasticitySettings& settings, const ExperienceEvent::VolatilityIncrease& event,
                              ItemCounts& counts) {
  if (!settings.allow_volatility_increase) return;
  if (item.source == ExperienceSource::ModelInference && event.contradiction) ++counts.alerts;
  const std::vector<std::string> ids = host.belief_record_ids(event.belief_id);
  for (const std::string& id : host.raise_record_volatility(ids, event.delta)) {
    ++counts.volatility_raises;
    counts.note_changed(id);
  }
  host.log_plasticity_event("volatility_raised", event.belief_id, item.experience_id);
}

}  // namespace

std::string_view experience_source_text(ExperienceSource source) {
  switch (source) {
    case ExperienceSource::WorldFact: return "world_fact";
    case ExperienceSource::Human: return "human";
    case ExperienceSource::ModelInference: return "model_inference";
    case ExperienceSource::Internal: return "internal";
  }
  return "human";
}

std::string_view experience_source_type(ExperienceSource source) {
  switch (source) {
    case ExperienceSource::WorldFact:
    case ExperienceSource::Human: return "recorded";
    case ExperienceSource::ModelInference: return "generated";
    case ExperienceSource::Internal: return "inferred";
  }
  return "recorded";
}

bool reads_as_negation(std::string_view lower_text) {
  return std::any_of(kNegations.begin(), kNegations.end(),
                     [&](std::string_view n) { return lower_text.find(n) != std::string_view::npos; });
}

float sdr_tanimoto(const Sdr& a, const Sdr& b) {
  size_t common = 0;
  for (size_t i = 0, j = 0; i < a.size() && j < b.size();) {
    if (a[i] < b[j]) {
      ++i;
    } else if (b[j] < a[i]) {
      ++j;
    } else {
      ++common, ++i, ++j;
    }
  }
  const size_t all = a.size() + b.size() - common;
  return all == 0 ? 0.0f : static_cast<float>(common) / static_cast<float>(all);
}

uint64_t run_experience_intake(ExperienceQueue taken, ExperienceIntakeHost& host, CycleContext&) {
  if (taken.items.empty()) return 0;
  PlasticityCounters& counters = host.plasticity_counters();
  const PlasticityAlertLevel level =
      plasticity_alert_level(static_cast<uint32_t>(counters.alert_count.load()),
                             plasticity_contradiction_rate(counters), host.generated_ratio());

  uint64_t injected = 0;
  for (const ExperienceItem& item : taken.items) {
    // Custom settings are read anew for each item.
    const uint8_t mode = host.plasticity_mode();
    const PlasticitySettings custom =
        mode == static_cast<uint8_t>(PlasticityMode::Custom) ? host.plasticity_settings() : PlasticitySettings{};
    const PlasticitySettings settings = apply_alert_level(plasticity_settings_for(mode, custom), level);
    ItemCounts counts;
    for (const ExperienceEvent& event : item.events) {
      ++counts.events;
      std::visit(
          [&](const auto& e) {
            using E = std::decay_t<decltype(e)>;
            if constexpr (std::is_same_v<E, ExperienceEvent::Observation>) {
              take_observation(host, item, settings, e, counts);
            } else if constexpr (std::is_same_v<E, ExperienceEvent::BeliefReinforcement>) {
              take_reinforcement(host, item, settings, e);
            } else if constexpr (std::is_same_v<E, ExperienceEvent::VolatilityIncrease>) {
              take_volatility_increase(host, item, settings, e, counts);
            }
          },
          event.kind);
    }
    (void)host.journal_records(counts.changed);
    counters.alert_count += counts.alerts;
    counters.volatility_raise_count += counts.volatility_raises;
    counters.experience_event_count += counts.events;
    injected += counts.stored;
  }
  return injected;
}

}  // namespace vesk
