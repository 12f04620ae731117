#include "recall/provenance_rank.h"

#include <algorithm>
#include <array>
#include <string>
#include <utility>

#include "base/finite.h"
#include "model/level.h"
#include "model/unicode_text.h"
#include "recall/recall_items.h"

namespace vesk {
namespace {

constexpr std::array<std::string_view, 5> kLivedTokens = {"exec", "cargo", "fetch", "cycle_recorder",
                                                          "capture_consequence"};
constexpr std::array<std::string_view, 4> kLivedHeads = {"sdk", "world", "tool", "test"};
constexpr std::array<std::string_view, 3> kModelTokens = {"model", "llm", "generated"};

template <size_t N>
bool listed(const std::array<std::string_view, N>& list, std::string_view word) {
  return std::find(list.begin(), list.end(), word) != list.end();
}

bool is_token_separator(char32_t c) { return c == '/' || c == ':' || c == '|' || is_unicode_white_space(c); }

std::vector<std::string_view> line_tokens(std::string_view line) {
  std::vector<std::string_view> tokens;
  size_t start = 0, i = 0;
  while (i < line.size()) {
    const size_t at = i;
    if (is_token_separator(next_code_point(line, i))) {
      if (at > start) tokens.push_back(line.substr(start, at - start));
      start = i;
    }
  }
  if (line.size() > start) tokens.push_back(line.substr(start));
  return tokens;
}

}  // namespace

std::string_view provenance_name(ProvenanceClass c) {
  switch (c) {
    case ProvenanceClass::ModelGenerated:
      return "model_generated";
    case ProvenanceClass::ExternalSource:
      return "external_source";
    case ProvenanceClass::LivedConsequence:
      return "lived_consequence";
  }
  return "external_source";
}

float provenance_multiplier(ProvenanceClass c) {
  switch (c) {
    case ProvenanceClass::ModelGenerated:
      return 0.7f;
    case ProvenanceClass::ExternalSource:
      return 1.0f;
    case ProvenanceClass::LivedConsequence:
      return 1.3f;
  }
  return 1.0f;
}

std::optional<ProvenanceClass> classify_cu_provenance(std::string_view value) {
  bool any_line = false;
  ProvenanceClass result = ProvenanceClass::ModelGenerated;
  size_t pos = 0;
  while (pos <= value.size()) {
    size_t end = value.find('\n', pos);
    if (end == std::string_view::npos) end = value.size();
    std::string_view raw = value.substr(pos, end - pos);
    if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
    pos = end + 1;
    raw = trim_unicode_white_space(raw);
    if (raw.empty()) continue;
    any_line = true;
    std::string line(raw);
    for (char& c : line) c = ascii_lower(c);
    const std::vector<std::string_view> tokens = line_tokens(line);
    const std::string_view head = trim_unicode_white_space(std::string_view(line).substr(0, line.find(':')));
    if (listed(kLivedHeads, head) ||
        std::any_of(tokens.begin(), tokens.end(), [](std::string_view t) { return listed(kLivedTokens, t); })) {
      return ProvenanceClass::LivedConsequence;
    }
    if (!tokens.empty() &&
        std::none_of(tokens.begin(), tokens.end(), [](std::string_view t) { return listed(kModelTokens, t); })) {
      result = ProvenanceClass::ExternalSource;
    }
  }
  if (!any_line) return std::nullopt;
  return result;
}

ProvenanceClass classify_provenance(const Record& record) {
  for (const std::string& tag : record.tags) {
    if (tag == "consequence-support" || tag == "consequence-refute") return ProvenanceClass::LivedConsequence;
  }
  if (!record.metadata.empty()) {
    if (auto it = record.metadata.find("cu_provenance"); it != record.metadata.end()) {
      if (std::optional<ProvenanceClass> c = classify_cu_provenance(it->second)) return *c;
    }
  }
  if (record.source_type == "inferred" || record.source_type == "generated") return ProvenanceClass::ModelGenerated;
  return ProvenanceClass::ExternalSource;
}

std::vector<ProvenanceRankedEntry> rank_by_provenance(std::vector<ScoredRecord> answer) {
  std::vector<ProvenanceRankedEntry> entries;
  entries.reserve(answer.size());
  for (ScoredRecord& r : answer) {
    ProvenanceRankedEntry& e = entries.emplace_back();
    e.provenance = classify_provenance(r.record);
    e.base_score = r.score;
    // A NaN score (none reaches here from the pipeline) sorts as 0.
    e.effective_score = clamp_or(provenance_multiplier(e.provenance) * r.score, 0.0f, 1.0f, 0.0f);
    e.record = std::move(r.record);
  }
  std::stable_sort(entries.begin(), entries.end(),
                   [](const ProvenanceRankedEntry& a, const ProvenanceRankedEntry& b) {
                     return a.effective_score > b.effective_score;
                   });
  return entries;
}

JsonObject provenance_ranked_item(const ProvenanceRankedEntry& entry) {
  const Record& r = entry.record;
  JsonObject o;
  o.reserve(10);
  o.append("id", r.id);
  o.append("content", r.content);
  o.append("score", static_cast<double>(entry.effective_score));
  o.append("effective_score", static_cast<double>(entry.effective_score));
  o.append("base_score", static_cast<double>(entry.base_score));
  o.append("provenance", std::string(provenance_name(entry.provenance)));
  o.append("level", level_display_name(r.level));
  o.append("strength", static_cast<double>(r.strength));
  o.append("tags", text_list(r.tags));
  o.append("source_type", r.source_type);
  return o;
}

}  // namespace vesk
