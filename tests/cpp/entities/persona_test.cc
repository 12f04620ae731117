// The persona prompt and the persisted JSON of a persona: the writer's exact
// text and what the lenient reader takes or refuses.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "entities/persona.h"
#include "entities/user_profile.h"

namespace vesk {
namespace {

TEST(PersonaPrompt, SentencesAndStyleThresholds) {
  const std::string base =
      "You are Assistant, a personal assistant. You help users with anything they need \u2014 help the user "
      "accomplish their goals. Your scope: universal. Speak warm and friendly.";
  AgentPersona p;
  EXPECT_EQ(render_persona_prompt(p), base + "\n\n");

  struct Case {
    float humor, formality, conciseness;
    std::string style;
  };
  const float nan = std::numeric_limits<float>::quiet_NaN();
  for (const Case& c : std::vector<Case>{{0.61f, 0.4f, 0.6f, " Style: feel free to use light humor."},
                                         {0.6f, 0.7f, 0.8f, ""},  // at the thresholds: nothing
                                         {nan, nan, nan, ""},
                                         {0.4f, 0.75f, 0.9f,
                                          " Style: maintain a professional tone; be especially concise."},
                                         {1.0f, 1.0f, 1.0f,
                                          " Style: feel free to use light humor; maintain a professional tone; be "
                                          "especially concise."}}) {
    p.traits.humor = c.humor;
    p.traits.formality = c.formality;
    p.traits.conciseness = c.conciseness;
    EXPECT_EQ(render_persona_prompt(p), base + c.style + "\n\n") << c.humor << " " << c.formality;
  }

  AgentPersona lists;
  lists.catchphrases = {"Cheers", "Onward"};
  lists.avoid = {"jargon", ""};
  EXPECT_EQ(render_persona_prompt(lists),
            base + " Signature phrases you may use: Cheers, Onward. Avoid: jargon, .\n\n");
}

TEST(PersonaJson, WriterText) {
  AgentPersona p;
  p.name = "A \"q\"\n\x01\xC3\xA9";
  p.traits.warmth = 1.0f;
  p.traits.humor = std::numeric_limits<float>::infinity();
  EXPECT_EQ(persona_json(p),
            "{\"name\":\"A \\\"q\\\"\\n\\u0001\xC3\xA9\",\"role\":\"personal assistant\",\"scope\":\"universal\","
            "\"tone\":\"warm and friendly\",\"motivations\":\"help the user accomplish their goals\","
            "\"languages\":[\"en\"],\"catchphrases\":[],\"avoid\":[],\"traits\":{\"warmth\":1.0,\"curiosity\":0.7,"
            "\"conciseness\":0.6,\"humor\":null,\"formality\":0.4}}");
  EXPECT_EQ(first_non_finite_trait(p.traits), "humor");
  EXPECT_EQ(first_non_finite_trait(PersonaTraits{}), std::nullopt);
}

TEST(PersonaJson, ReaderRoundTripAndLenience) {
  AgentPersona p;
  p.name = "Zo\xC3\xAB";
  p.catchphrases = {"Cheers"};
  p.traits.humor = 0.123456789f;
  Result<AgentPersona> back = parse_persona_json(persona_json(p));
  ASSERT_TRUE(back.ok()) << back.status().message();
  EXPECT_EQ(*back, p);

  const std::string traits = R"({"formality":0.4,"humor":0.4,"conciseness":0.6,"curiosity":0.7,"warmth":0.8})";
  const std::string rest = R"("name":"N","role":"R","scope":"S","tone":"T","motivations":"M","languages":[],)"
                           R"("catchphrases":[],"avoid":[])";
  struct Case {
    std::string text;
    bool readable;
  };
  for (const Case& c : std::vector<Case>{
           {"{" + rest + ",\"traits\":" + traits + "}", true},
           {"{\"traits\":" + traits + ",\"extra\":{\"x\":[1]}," + rest + "}", true},
           {R"(["N","R","S","T","M",[],[],[],[0.8,0.7,0.6,0.4,0.4]])", true},
           {R"(["N","R","S","T","M",[],[],[],[0.8,0.7,0.6,0.4]])", false},
           {R"(["N","R","S","T","M",[],[],[]])", false},
           {"{" + rest + "}", false},                                                  // traits missing
           {"{" + rest + ",\"traits\":" + traits + ",\"name\":\"again\"}", false},      // duplicate
           {"{" + rest + R"(,"traits":{"warmth":0.8,"curiosity":0.7,"conciseness":0.6,"formality":0.4}})", false},
           {"{" + rest + R"(,"traits":{"warmth":null,"curiosity":0.7,"conciseness":0.6,"humor":0.4,"formality":0.4}})",
            false},
           {"{" + rest + ",\"traits\":" + traits + "} x", false},
           {"null", false}}) {
    EXPECT_EQ(parse_persona_json(c.text).ok(), c.readable) << c.text;
  }
}

TEST(UserProfileText, KnownKeysFirstThenTheOthersByKey) {
  EXPECT_EQ(render_user_profile({}), "User Profile:");
  EXPECT_EQ(render_user_profile({{"name", ""}, {"zzz", ""}}), "User Profile:");
  EXPECT_EQ(render_user_profile({{"pet", "cat"}, {"bio", "b"}, {"Name", "N"}, {"city", "Paris"}, {"name", "Ada"},
                                 {"age", " "}, {"alpha", "a"}}),
            "User Profile:\n  name: Ada\n  age:  \n  city: Paris\n  bio: b\n  Name: N\n  alpha: a\n  pet: cat");
}

}  // namespace
}  // namespace vesk
