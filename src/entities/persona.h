// The agent persona: who the agent is and how it should speak. A plain
// value that the caller builds and the store keeps in one identity record.
#pragma once

#include <string>
#include <vector>

namespace vesk {

// Agent persona trait values (0.0-1.0). The range is advice only: any value
// is kept as given.
struct PersonaTraits {
  float warmth = 0.8f;
  float curiosity = 0.7f;
  float conciseness = 0.6f;
  float humor = 0.4f;
  float formality = 0.4f;

  bool operator==(const PersonaTraits&) const = default;
};

// Agent persona configuration. Field order is also the order of its JSON form.
struct AgentPersona {
  std::string name = "Assistant";
  std::string role = "personal assistant";
  std::string scope = "universal";
  std::string tone = "warm and friendly";
  std::string motivations = "help the user accomplish their goals";
  std::vector<std::string> languages{"en"};
  std::vector<std::string> catchphrases;
  std::vector<std::string> avoid;
  PersonaTraits traits;

  bool operator==(const AgentPersona&) const = default;
};

}  // namespace vesk
