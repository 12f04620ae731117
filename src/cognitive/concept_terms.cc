#include "cognitive/concept_terms.h"

#include <algorithm>
#include <array>
#include <span>
#include <utility>

#include "model/unicode_text.h"

namespace vesk {
namespace {

constexpr std::string_view FEATURE_STOP_WORDS[] = {
    "the", "and", "for", "are", "but", "not", "you", "all", "can", "had", "her", "was", "one", "our", "out",
    "has", "his", "how", "its", "may", "new", "now", "old", "see", "way", "who", "did", "get", "let", "say",
    "she", "too", "use", "set", "via", "per",
    "with", "this", "that", "have", "from", "they", "been", "will", "into", "when", "what", "than", "each",
    "make", "like", "just", "over", "such", "take", "also", "some", "them", "only", "very", "most", "then",
    "more", "does", "much", "both", "need",
    "which", "their", "could", "other", "after", "would", "there", "about", "these", "where", "being", "every",
    "using", "while", "since", "still", "least",
    "should", "always", "during", "before",
    "between", "through", "already",
};

constexpr std::string_view TERM_STOP_WORDS[] = {
    "the", "and", "for", "are", "but", "not", "you", "all", "can", "had", "her", "was", "one", "our", "out",
    "has", "his", "how", "its", "may", "new", "now", "old", "see", "way", "who", "did", "get", "let", "say",
    "she", "too", "use",
    "with", "this", "that", "have", "from", "they", "been", "will", "into", "when", "what", "than", "each",
    "make", "like", "just", "over", "such", "take", "also", "some", "them", "only", "very", "most", "then",
    "more", "does",
    "which", "their", "could", "other", "after", "would", "there", "about", "these", "where", "being",
    "should",
};

struct CanonicalGroup {
  std::string_view term;
  std::initializer_list<std::string_view> inputs;
};

// Canonical term, then the inputs that map to it. Inputs are exact byte
// strings: the hyphens of "blue-green", "roll-out" and "post-deploy" belong
// to them.
const CanonicalGroup kCanonicalGroups[] = {
    {"approval", {"approval", "approve", "approved", "approving"}},
    {"artifact", {"artifact", "artifacts"}},
    {"automated", {"auto", "automated", "automatic"}},
    {"backup", {"backed", "backup", "backups"}},
    {"bluegreen", {"blue-green"}},
    {"canary", {"canaries", "canary"}},
    {"config", {"config", "configuration", "configurations", "configure", "configured", "configuring"}},
    {"connection", {"connect", "connecting", "connection", "connections"}},
    {"container", {"container", "containers"}},
    {"credential", {"credential", "credentials"}},
    {"dark", {"dark", "darker"}},
    {"database", {"database", "databases", "db", "mysql", "postgres", "postgresql"}},
    {"deploy", {"deploy", "deployed", "deploying", "deployment", "deployments", "deploys", "post-deploy"}},
    {"downtime", {"downtime"}},
    {"editor", {"editor", "editors"}},
    {"environment", {"env", "environment", "environments"}},
    {"error", {"error", "errors"}},
    {"extension", {"extension", "extensions"}},
    {"feature", {"feature", "features"}},
    {"flag", {"flag", "flags"}},
    {"font", {"font", "fonts"}},
    {"health", {"health", "healthy"}},
    {"index", {"index", "indexed", "indexes", "indexing", "indices"}},
    {"keybinding", {"binding", "bindings", "keybinding", "keybindings"}},
    {"log", {"log", "logged", "logging", "logs"}},
    {"metric", {"metric", "metrics"}},
    {"migration", {"migrate", "migrating", "migration", "migrations"}},
    {"mode", {"mode", "modes"}},
    {"monitor", {"monitor", "monitored", "monitoring", "monitors"}},
    {"partition", {"partition", "partitioned", "partitioning", "partitions"}},
    {"performance", {"perf", "performance"}},
    {"pipeline", {"pipeline", "pipelines"}},
    {"pool", {"pool", "pooling", "pools"}},
    {"production", {"prod", "production"}},
    {"promote", {"promote", "promoted", "promotes", "promoting", "promotion"}},
    {"query", {"queried", "queries", "query", "querying"}},
    {"region", {"region", "regional", "regions"}},
    {"registry", {"registries", "registry"}},
    {"release", {"release", "released", "releases", "releasing"}},
    {"replica", {"replica", "replicas", "replicate", "replication"}},
    {"review", {"review", "reviewed", "reviewer", "reviewing", "reviews"}},
    {"rollback", {"rollback", "rollbacks"}},
    {"rollout", {"roll-out", "rolling", "rollout", "rollouts"}},
    {"scan", {"scan", "scanned", "scanner", "scanning", "scans"}},
    {"schema", {"schema", "schemas"}},
    {"security", {"secure", "secured", "securing", "security"}},
    {"service", {"service", "services"}},
    {"smoke", {"smoke"}},
    {"staging", {"stage", "staged", "staging"}},
    {"strategy", {"strategies", "strategy"}},
    {"table", {"table", "tables"}},
    {"test", {"test", "tested", "testing", "tests"}},
    {"theme", {"theme", "themed", "themes"}},
    {"timeout", {"timeout", "timeouts"}},
    {"validate", {"validate", "validated", "validates", "validating", "validation"}},
    {"version", {"version", "versioned", "versioning", "versions"}},
    {"vim", {"vi", "vim"}},
};

using TermPair = std::pair<std::string_view, std::string_view>;  // input, term

// Ordered by (length, bytes): a lookup finds the inputs of its own length
// first, so a miss costs a few comparisons.
bool shorter_first(std::string_view a, std::string_view b) {
  return a.size() != b.size() ? a.size() < b.size() : a < b;
}

const std::vector<TermPair>& canonical_table() {
  static const std::vector<TermPair> table = [] {
    std::vector<TermPair> t;
    for (const CanonicalGroup& g : kCanonicalGroups)
      for (std::string_view input : g.inputs) t.emplace_back(input, g.term);
    std::sort(t.begin(), t.end(), [](const TermPair& a, const TermPair& b) { return shorter_first(a.first, b.first); });
    return t;
  }();
  return table;
}

// Both stop lists are short; a sorted copy turns each check into a binary
// search.
std::vector<std::string_view> sorted_words(std::span<const std::string_view> words) {
  std::vector<std::string_view> v(words.begin(), words.end());
  std::sort(v.begin(), v.end(), shorter_first);
  return v;
}

bool in_sorted(const std::vector<std::string_view>& words, std::string_view token) {
  return std::binary_search(words.begin(), words.end(), token, shorter_first);
}

bool ends_with(std::string_view s, std::string_view suffix) { return s.ends_with(suffix); }

// Calls `piece` with every maximal run of non-White_Space characters.
template <class F>
void for_each_piece(std::string_view text, F&& piece) {
  size_t start = std::string_view::npos;
  for (size_t i = 0; i < text.size();) {
    const size_t at = i;
    const char32_t c = next_code_point(text, i);
    if (is_unicode_white_space(c)) {
      if (start != std::string_view::npos) piece(text.substr(start, at - start));
      start = std::string_view::npos;
    } else if (start == std::string_view::npos) {
      start = at;
    }
  }
  if (start != std::string_view::npos) piece(text.substr(start));
}

// The piece without the characters at either end that are neither
// Alphabetic nor numeric (Nd, Nl, No): is_unicode_alphanumeric.
std::string_view trim_to_alphanumeric(std::string_view piece) {
  size_t first = std::string_view::npos, last_end = 0;
  for (size_t i = 0; i < piece.size();) {
    const size_t at = i;
    if (is_unicode_alphanumeric(next_code_point(piece, i))) {
      if (first == std::string_view::npos) first = at;
      last_end = i;
    }
  }
  if (first == std::string_view::npos) return {};
  return piece.substr(first, last_end - first);
}

}  // namespace

bool is_feature_stop_word(std::string_view token) {
  static const std::vector<std::string_view> words = sorted_words(FEATURE_STOP_WORDS);
  return in_sorted(words, token);
}

bool is_term_stop_word(std::string_view token) {
  static const std::vector<std::string_view> words = sorted_words(TERM_STOP_WORDS);
  return in_sorted(words, token);
}

std::optional<std::string_view> canonical_concept_term(std::string_view token) {
  const std::vector<TermPair>& t = canonical_table();
  auto it = std::lower_bound(t.begin(), t.end(), token,
                             [](const TermPair& p, std::string_view k) { return shorter_first(p.first, k); });
  if (it == t.end() || it->first != token) return std::nullopt;
  return it->second;
}

std::string stem_concept_term(std::string_view token) {
  const size_t n = token.size();
  std::string_view t = token;
  if (n < 6) return std::string(t);
  if (n >= 8 && ends_with(t, "ations")) return std::string(t.substr(0, n - 6));
  if (n != 6 && ends_with(t, "ation")) return std::string(t.substr(0, n - 5));
  if (n != 6 && ends_with(t, "ments")) return std::string(t.substr(0, n - 5));
  if (ends_with(t, "ment") && n >= 8) return std::string(t.substr(0, n - 4));
  if (ends_with(t, "ness") && n >= 8) return std::string(t.substr(0, n - 4));
  if (n != 6 && ends_with(t, "ing")) return std::string(t.substr(0, n - 3));
  if (ends_with(t, "ied") || ends_with(t, "ies")) return std::string(t.substr(0, n - 3)) + "y";
  if (ends_with(t, "ed") || ends_with(t, "ly") || ends_with(t, "es") || ends_with(t, "er"))
    return std::string(t.substr(0, n - 2));
  if (ends_with(t, "s") && !ends_with(t, "ss")) return std::string(t.substr(0, n - 1));
  return std::string(t);
}

void add_concept_feature_terms(std::string_view content, StringSet& out) {
  const std::string lower = unicode_lower(content);
  for_each_piece(lower, [&](std::string_view piece) {
    const std::string_view token = trim_to_alphanumeric(piece);
    if (token.size() < 3 || is_feature_stop_word(token)) return;
    std::string feature;
    if (std::optional<std::string_view> canonical = canonical_concept_term(token)) {
      feature = *canonical;
    } else {
      feature = stem_concept_term(token);
      if (std::optional<std::string_view> c = canonical_concept_term(feature)) feature = *c;
    }
    if (feature.size() >= 2) out.insert(std::move(feature));
  });
}

std::vector<std::string> concept_record_terms(std::string_view content) {
  const std::string lower = unicode_lower(content);
  std::vector<std::string> terms;
  StringSet seen;
  for_each_piece(lower, [&](std::string_view piece) {
    if (piece.size() < 3) return;
    const std::string_view term = trim_to_alphanumeric(piece);
    if (term.empty()) return;
    if (term.size() >= 3 && term.size() <= 6 && is_term_stop_word(term)) return;
    if (seen.emplace(term).second) terms.emplace_back(term);
  });
  return terms;
}

}  // namespace vesk
