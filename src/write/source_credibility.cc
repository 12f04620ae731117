#include "write/source_credibility.h"

#include <string_view>
#include <utility>

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

}  // namespace vesk
