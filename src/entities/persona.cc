#include "entities/persona.h"

#include <cmath>

#include "model/json_struct.h"

namespace vesk {

template <>
struct JsonCodec<PersonaTraits> : JsonStructCodec<PersonaTraits> {
  static const JsonStruct<PersonaTraits>& fields() {
    using T = PersonaTraits;
    static const JsonStruct<T> s("struct PersonaTraits",
                                 {json_field<&T::warmth>("warmth"), json_field<&T::curiosity>("curiosity"),
                                  json_field<&T::conciseness>("conciseness"), json_field<&T::humor>("humor"),
                                  json_field<&T::formality>("formality")});
    return s;
  }
};

template <>
struct JsonCodec<AgentPersona> : JsonStructCodec<AgentPersona> {
  static const JsonStruct<AgentPersona>& fields() {
    using T = AgentPersona;
    static const JsonStruct<T> s(
        "struct AgentPersona",
        {json_field<&T::name>("name"), json_field<&T::role>("role"), json_field<&T::scope>("scope"),
         json_field<&T::tone>("tone"), json_field<&T::motivations>("motivations"),
         json_field<&T::languages>("languages"), json_field<&T::catchphrases>("catchphrases"),
         json_field<&T::avoid>("avoid"), json_field<&T::traits>("traits")});
    return s;
  }
};

namespace {

std::string join(const std::vector<std::string>& items, std::string_view separator) {
  std::string out;
  for (size_t i = 0; i < items.size(); ++i) {
    if (i) out.append(separator);
    out.append(items[i]);
  }
  return out;
}

}  // namespace

std::string render_persona_prompt(const AgentPersona& p) {
  std::vector<std::string> sentences;
  sentences.push_back("You are " + p.name + ", a " + p.role + ".");
  sentences.push_back("You help users with anything they need \u2014 " + p.motivations + ".");
  sentences.push_back("Your scope: " + p.scope + ".");
  sentences.push_back("Speak " + p.tone + ".");
  if (!p.catchphrases.empty())
    sentences.push_back("Signature phrases you may use: " + join(p.catchphrases, ", ") + ".");
  if (!p.avoid.empty()) sentences.push_back("Avoid: " + join(p.avoid, ", ") + ".");
  std::vector<std::string> style;
  if (p.traits.humor > 0.6f) style.emplace_back("feel free to use light humor");
  if (p.traits.formality > 0.7f) style.emplace_back("maintain a professional tone");
  if (p.traits.conciseness > 0.8f) style.emplace_back("be especially concise");
  if (!style.empty()) sentences.push_back("Style: " + join(style, "; ") + ".");
  return join(sentences, " ") + "\n\n";
}

std::string persona_json(const AgentPersona& persona) { return json_to_string(persona); }

Result<AgentPersona> parse_persona_json(std::string_view text) { return json_parse<AgentPersona>(text); }

std::optional<std::string_view> first_non_finite_trait(const PersonaTraits& t) {
  const std::pair<std::string_view, float> traits[] = {{"warmth", t.warmth},
                                                       {"curiosity", t.curiosity},
                                                       {"conciseness", t.conciseness},
                                                       {"humor", t.humor},
                                                       {"formality", t.formality}};
  for (const auto& [name, value] : traits)
    if (!std::isfinite(value)) return name;
  return std::nullopt;
}

}  // namespace vesk
