#include "write/source_credibility.h"

#include <cmath>
#include <string_view>
#include <utility>

#include "model/unicode_case.h"

namespace vesk {

CredibilityTables default_domain_credibility() {
  static constexpr std::pair<std::string_view, float> kDefaults[] = {
      // Public-health agencies and the national medical literature index.
      {"cdc.gov", 0.95f}, {"who.int", 0.95f}, {"ncbi.nlm.nih.gov", 0.95f}, {"pubmed.ncbi.nlm.nih.gov", 0.95f},
      // Major clinics, a public medical encyclopedia, leading journals.
      {"mayoclinic.org", 0.9f}, {"clevelandclinic.org", 0.9f}, {"medlineplus.gov", 0.9f}, {"nature.com", 0.9f},
      {"science.org", 0.9f}, {"thelancet.com", 0.9f}, {"nejm.org", 0.9f},
      // A scientific article platform.
      {"sciencedirect.com", 0.85f},
      // Consumer health information.
      {"webmd.com", 0.7f}, {"healthline.com", 0.65f}, {"medicalnewstoday.com", 0.65f},
      // A preprint server and a scholarly search engine.
      {"arxiv.org", 0.9f}, {"scholar.google.com", 0.85f},
      // Encyclopedias.
      {"wikipedia.org", 0.75f}, {"britannica.com", 0.85f},
      // News agencies and a weekly news magazine.
      {"reuters.com", 0.85f}, {"apnews.com", 0.85f}, {"economist.com", 0.85f},
      // Broadcasters, newspapers and a financial news service.
      {"bbc.com", 0.8f}, {"nytimes.com", 0.8f}, {"theguardian.com", 0.8f}, {"washingtonpost.com", 0.8f},
      {"bloomberg.com", 0.8f},
      // Official documentation of languages and the web platform.
      {"docs.python.org", 0.85f}, {"developer.mozilla.org", 0.85f}, {"doc.rust-lang.org", 0.85f},
      // Package documentation, Q&A and code hosting.
      {"docs.rs", 0.8f}, {"stackoverflow.com", 0.75f}, {"github.com", 0.7f},
      // Blogging and professional networks.
      {"medium.com", 0.5f}, {"linkedin.com", 0.5f},
      // Forums and video.
      {"reddit.com", 0.4f}, {"youtube.com", 0.4f},
      // Social Q&A, microblogging, social networks, short video.
      {"quora.com", 0.35f}, {"twitter.com", 0.3f}, {"x.com", 0.3f}, {"facebook.com", 0.25f},
      {"instagram.com", 0.25f}, {"tiktok.com", 0.2f},
  };
  static_assert(std::size(kDefaults) == 43);
  CredibilityTables tables;
  for (const auto& [host, score] : kDefaults) tables.defaults.emplace(host, score);
  return tables;
}

namespace {

constexpr float kUnknownCredibility = 0.5f;

// Steps 2 to 4 of source_credibility: the host text of a url, lower case.
std::string credibility_host(std::string_view url) {
  std::string with_scheme;
  if (!url.starts_with("http://") && !url.starts_with("https://")) {
    with_scheme = "https://";
    with_scheme += url;
    url = with_scheme;
  }
  std::string_view host = url.substr(url.find("://") + 3);
  host = host.substr(0, host.find("://"));
  host = host.substr(0, host.find_first_of("/?#"));
  std::string lower = unicode_lower(host);
  if (lower.starts_with("www.")) lower.erase(0, 4);
  if (size_t colon = lower.find(':'); colon != std::string::npos) lower.resize(colon);
  return lower;
}

}  // namespace

float source_credibility(const CredibilityTables& tables, std::string_view url) {
  if (url.empty()) return kUnknownCredibility;
  std::string host = credibility_host(url);
  if (auto it = tables.overrides.find(host); it != tables.overrides.end()) return it->second;
  if (auto it = tables.defaults.find(host); it != tables.defaults.end()) return it->second;
  // Only the last two labels are tried, and only in the default table.
  size_t last = host.rfind('.');
  if (last != std::string::npos && last > 0) {
    size_t second = host.rfind('.', last - 1);
    if (second != std::string::npos) {
      if (auto it = tables.defaults.find(std::string_view(host).substr(second + 1)); it != tables.defaults.end()) {
        return it->second;
      }
    }
  }
  return kUnknownCredibility;
}

std::string credibility_override_key(std::string_view domain) { return unicode_lower(domain); }

float clamp_credibility(double score) {
  float f = static_cast<float>(score);
  if (std::isnan(f)) return kUnknownCredibility;
  return f < 0.0f ? 0.0f : (f > 1.0f ? 1.0f : f);
}

}  // namespace vesk
