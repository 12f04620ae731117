#include "cognitive/claim_keys.h"

#include <algorithm>
#include <cmath>

#include "model/unicode_text.h"

namespace vesk {
namespace {

std::string ascii_folded(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = ascii_lower(c);
  return out;
}

void sort_unique(std::vector<std::string>& v) {
  std::sort(v.begin(), v.end());
  v.erase(std::unique(v.begin(), v.end()), v.end());
}

std::string joined(const std::vector<std::string>& parts, size_t limit) {
  std::string out;
  for (size_t i = 0; i < parts.size() && i < limit; ++i) {
    if (i) out += ',';
    out += parts[i];
  }
  return out;
}

}  // namespace

void ClaimGroups::add(const std::string& key, const Record* record) {
  auto [it, fresh] = index_.try_emplace(key, groups_.size());
  if (fresh) groups_.emplace_back(key, ClaimGroup{});
  groups_[it->second].second.push_back(record);
}

void ClaimGroups::add_group(std::string key, ClaimGroup records) {
  auto [it, fresh] = index_.try_emplace(key, groups_.size());
  if (fresh) {
    groups_.emplace_back(std::move(key), std::move(records));
  } else {
    ClaimGroup& g = groups_[it->second].second;
    g.insert(g.end(), records.begin(), records.end());
  }
}

bool is_claim_record(const Record& record) { return record.strength >= 0.05f && record.content.size() >= 10; }

std::vector<std::string> canonical_claim_tags(const std::vector<std::string>& tags) {
  std::vector<std::string> out;
  out.reserve(tags.size());
  for (const std::string& tag : tags) {
    std::string t = ascii_folded(trim_unicode_white_space(tag));
    if (t == "ui") t = "frontend";
    else if (t == "auth") t = "authentication";
    else if (t == "deploy") t = "release";
    out.push_back(std::move(t));
  }
  sort_unique(out);
  if (out.size() > 3) out.resize(3);
  return out;
}

std::vector<std::string> normalized_claim_tags(const std::vector<std::string>& tags) {
  std::vector<std::string> out;
  out.reserve(tags.size());
  for (const std::string& tag : tags) {
    std::string_view t = trim_unicode_white_space(tag);
    if (!t.empty()) out.push_back(ascii_folded(t));
  }
  sort_unique(out);
  return out;
}

std::optional<std::string> claim_key(const Record& record, CoarseKeyMode mode) {
  std::string key = record.namespace_;
  key += ':';
  switch (mode) {
    case CoarseKeyMode::SemanticOnly:
    case CoarseKeyMode::DualKey:
    case CoarseKeyMode::NeighborhoodPool:
    case CoarseKeyMode::SdrTagPool:
      key += record.semantic_type;
      return key;
    default:
      break;
  }
  std::vector<std::string> sorted = record.tags;
  std::sort(sorted.begin(), sorted.end());
  switch (mode) {
    case CoarseKeyMode::Standard:
      key += joined(sorted, 3);
      break;
    case CoarseKeyMode::TagFamilyPairBackoff:
      key += joined(sorted, 2);
      break;
    case CoarseKeyMode::BridgeKey:
      key += joined(canonical_claim_tags(record.tags), 3);
      break;
    default:  // TopOneTag and the tag-family modes
      key += joined(sorted, 1);
      break;
  }
  key += ':';
  key += record.semantic_type;
  if (key.find("::") != std::string::npos) return std::nullopt;
  return key;
}

std::string_view claim_key_family(std::string_view key) {
  const size_t first = key.find(':');
  if (first == std::string_view::npos) return {};
  std::string_view rest = key.substr(first + 1);
  return rest.substr(0, rest.find(':'));
}

std::vector<std::string> dense_family_tags(const ClaimGroup& group, std::string_view family) {
  StringKeyMap<size_t> counts;
  for (const Record* r : group)
    for (std::string& t : normalized_claim_tags(r->tags))
      if (t != "alerts") ++counts[std::move(t)];
  std::vector<std::string> dense;
  for (const auto& [tag, n] : counts)
    if (n > 3 || tag == family) dense.push_back(tag);
  std::sort(dense.begin(), dense.end());
  if (std::find(dense.begin(), dense.end(), family) == dense.end()) dense.insert(dense.begin(), std::string(family));
  return dense;
}

ClaimGroups dense_rekey(const ClaimGroups& groups) {
  ClaimGroups out;
  for (const auto& [key, records] : groups.groups()) {
    const std::string_view family = claim_key_family(key);
    if (records.size() <= 3 || family == "alerts") {
      out.add_group(key, records);
      continue;
    }
    const std::vector<std::string> dense = dense_family_tags(records, family);
    if (dense.size() <= 1) {
      out.add_group(key, records);
      continue;
    }
    for (const Record* r : records) {
      const std::vector<std::string> own = normalized_claim_tags(r->tags);
      std::vector<std::string> kept;
      for (const std::string& d : dense)
        if (std::binary_search(own.begin(), own.end(), d)) kept.push_back(d);
      sort_unique(kept);
      if (kept.size() < 2) {
        out.add(key, r);
        continue;
      }
      out.add(r->namespace_ + ":" + joined(kept, 3) + ":" + r->semantic_type, r);
    }
  }
  return out;
}

}  // namespace vesk
