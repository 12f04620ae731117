// ExperienceItem: one captured experience waiting for the next maintenance
// cycle (observations to record, reinforcements of beliefs, raises of belief
// volatility), and the ExperienceQueue that holds them in arrival order.
//
// The store keeps the queue behind its own mutex; each cycle takes the whole
// list out at its start and leaves an empty one (experience_intake.h). No
// operation of the store puts items into it: the intake is ready for a
// producer, and meanwhile finds the queue empty.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "write/claim_certainty.h"

namespace vesk {

// Who produced an experience. Each source has the text written into the
// "experience_source" metadata of the records it adds and the source type
// those records get:
//   WorldFact       "world_fact"       "recorded"
//   Human           "human"            "recorded"
//   ModelInference  "model_inference"  "generated"
//   Internal        "internal"         "inferred"
enum class ExperienceSource : uint8_t { WorldFact = 0, Human = 1, ModelInference = 2, Internal = 3 };

std::string_view experience_source_text(ExperienceSource source);
std::string_view experience_source_type(ExperienceSource source);

// One event of an experience, applied in list order.
struct ExperienceEvent {
  // A candidate new record.
  struct Observation {
    std::string text;
    std::vector<std::string> tags;
    std::string semantic_type;
    ClaimCertainty certainty = ClaimCertainty::Asserted;
  };
  // Raises (a negative delta lowers) a belief's confidence.
  struct BeliefReinforcement {
    std::string belief_id;
    float delta = 0.0f;
  };
  // Raises the volatility of the records behind a belief.
  struct VolatilityIncrease {
    std::string belief_id;
    float delta = 0.0f;
    bool contradiction = false;
  };
  // Counted and otherwise ignored.
  struct Commitment {};
  struct Uncertainty {};

  std::variant<Observation, BeliefReinforcement, VolatilityIncrease, Commitment, Uncertainty> kind;
};

struct ExperienceItem {
  std::string session_id;     // copied into every record the item adds
  std::string experience_id;  // named in the reason of every audit entry it causes
  std::vector<ExperienceEvent> events;
  ExperienceSource source = ExperienceSource::Human;
};

struct ExperienceQueue {
  std::vector<ExperienceItem> items;
};

}  // namespace vesk
