#include "write/source_credibility.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>
#include <string>
#include <vector>

namespace vesk {
namespace {

TEST(SourceCredibility, DefaultTableHoldsTheScoresOfItsCategories) {
  CredibilityTables t = default_domain_credibility();
  ASSERT_EQ(t.defaults.size(), 43u);
  EXPECT_TRUE(t.overrides.empty());
  // Count per score: the categories' entries added up.
  std::map<float, int> per_score;
  for (const auto& [host, score] : t.defaults) {
    ++per_score[score];
    EXPECT_FALSE(host.starts_with("www.")) << host;
    EXPECT_EQ(credibility_override_key(host), host) << host;
  }
  EXPECT_EQ(per_score, (std::map<float, int>{{0.95f, 4}, {0.9f, 8}, {0.85f, 9}, {0.8f, 6}, {0.75f, 2}, {0.7f, 2},
                                             {0.65f, 2}, {0.5f, 2}, {0.4f, 2}, {0.35f, 1}, {0.3f, 2}, {0.25f, 2},
                                             {0.2f, 1}}));
}

TEST(SourceCredibility, RatesTheHostOfAUrl) {
  CredibilityTables t = default_domain_credibility();
  // nature.com (0.9) has two labels; docs.python.org (0.85) three.
  struct Case {
    std::string url;
    float want;
  };
  const std::vector<Case> cases = {
      {"", 0.5f},
      {"https://unknown-host.example/x", 0.5f},
      {"nature.com", 0.9f},
      {"http://nature.com/articles/1", 0.9f},
      {"https://WWW.NATURE.COM:8443/world", 0.9f},
      {"https://a.b.c.nature.com/x", 0.9f},         // any depth below a two-label host
      {"https://x.docs.python.org/3/", 0.5f},       // its last two labels are not in the table
      {"https://docs.python.org/3/", 0.85f},
      {"https://user@nature.com/", 0.5f},           // user information stays in the host
      {"HTTPS://nature.com/", 0.5f},                // the scheme test is case-sensitive
      {"ftp://nature.com/", 0.5f},                  // another scheme becomes the host
      {"https://www./", 0.5f},
      {"https://bbc.co.uk/", 0.5f},                 // a public suffix is no parent
      // The query and the fragment end the host.
      {"https://evil.example?x=.nature.com", 0.5f},
      {"https://evil.example#.nature.com", 0.5f},
      {"https://nature.com?q=1", 0.9f},
      {"https://nature.com#top", 0.9f},
  };
  for (const Case& c : cases) EXPECT_EQ(source_credibility(t, c.url), c.want) << c.url;
}

TEST(SourceCredibility, OverrideRatesItsExactHostOnly) {
  CredibilityTables t = default_domain_credibility();
  t.overrides.emplace(credibility_override_key("Nature.COM"), 0.1f);
  t.overrides.emplace(credibility_override_key("Blog.Example"), 0.6f);
  EXPECT_EQ(source_credibility(t, "https://www.nature.com/"), 0.1f);
  EXPECT_EQ(source_credibility(t, "https://news.nature.com/"), 0.9f);  // the parent rule reads the defaults only
  EXPECT_EQ(source_credibility(t, "blog.example"), 0.6f);
  EXPECT_EQ(source_credibility(t, "a.blog.example"), 0.5f);
}

TEST(SourceCredibility, OverrideKeysAndScores) {
  EXPECT_EQ(credibility_override_key(" WWW.Ä.org "), " www.ä.org ");  // lower case only
  const double inf = std::numeric_limits<double>::infinity();
  struct Case {
    double score;
    float want;
  };
  for (const Case& c : std::vector<Case>{{2.0, 1.0f}, {-1.0, 0.0f}, {0.3, 0.3f}, {inf, 1.0f}, {-inf, 0.0f},
                                         {std::nan(""), 0.5f}, {1.0000000001, 1.0f}}) {
    EXPECT_EQ(clamp_credibility(c.score), c.want) << c.score;
  }
}

}  // namespace
}  // namespace vesk
