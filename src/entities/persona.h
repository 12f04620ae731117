// The agent persona: who the agent is and how it should speak. A plain
// value that the caller builds and the store keeps in one identity record.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/status.h"

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

// The persona as a system prompt: "You are {name}, a {role}." "You help
// users with anything they need — {motivations}." "Your scope: {scope}."
// "Speak {tone}.", then "Signature phrases you may use: {catchphrases}." and
// "Avoid: {avoid}." when those lists are not empty (entries joined by ", "),
// then "Style: {phrases}." when a style phrase applies (joined by "; "):
// humor above 0.6, formality above 0.7, conciseness above 0.8, each compared
// strictly on 32-bit values, so a trait at its threshold or NaN adds nothing.
// Sentences joined by one blank, then two line feeds. Values go in as they
// are. warmth, curiosity and languages do not show.
std::string render_persona_prompt(const AgentPersona& persona);

// The persisted form: one compact JSON object, keys in field order ("name",
// "role", "scope", "tone", "motivations", "languages", "catchphrases",
// "avoid", "traits" with "warmth", "curiosity", "conciseness", "humor",
// "formality"); traits as the shortest text that reads back as the same
// 32-bit float, ".0" on integral values, null when not finite.
std::string persona_json(const AgentPersona& persona);

// Reads the persisted form back: keys in any order, unknown keys skipped; a
// missing or repeated key, a value of the wrong type (a null trait too) or
// trailing text fails. An array of the nine field values (and of the five
// trait values for "traits") in field order is read as well.
Result<AgentPersona> parse_persona_json(std::string_view text);

// The name of the first trait, in field order, that is NaN or infinite, or
// none. Such a persona would be written with a null trait that no reader
// takes back, so the store refuses it.
std::optional<std::string_view> first_non_finite_trait(const PersonaTraits& traits);

}  // namespace vesk
