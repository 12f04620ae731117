#include "index/tag_index.h"

#include <algorithm>

#include "base/trace.h"
#include "model/unicode_text.h"

namespace vesk {

void TagIndex::add(std::string_view id, const std::vector<std::string>& tags) {
  if (tags.empty()) return;
  const uint32_t d = ids_.intern(id);
  if (doc_tags_.size() <= d) doc_tags_.resize(d + 1);
  auto& mine = doc_tags_[d];
  for (const std::string& tag : tags) {
    auto it = tags_.find(tag);
    if (it == tags_.end()) it = tags_.emplace(tag, std::vector<uint32_t>{}).first;
    const std::string* key = &it->first;
    if (std::find(mine.begin(), mine.end(), key) != mine.end()) continue;
    mine.push_back(key);
    it->second.push_back(d);
  }
}

void TagIndex::remove(std::string_view id) {
  const auto d = ids_.find(id);
  if (!d) return;
  for (const std::string* key : doc_tags_[*d]) {
    auto it = tags_.find(*key);
    auto& docs = it->second;
    auto pos = std::find(docs.begin(), docs.end(), *d);
    if (pos != docs.end()) {
      *pos = docs.back();
      docs.pop_back();
    }
    if (docs.empty()) tags_.erase(it);
  }
  std::vector<const std::string*>().swap(doc_tags_[*d]);
  ids_.release(*d);
}

std::vector<std::string> TagIndex::ids_with(std::string_view tag) const {
  std::vector<std::string> out;
  auto it = tags_.find(tag);
  if (it != tags_.end())
    for (uint32_t d : it->second) out.push_back(ids_.id(d));
  return out;
}

bool TagIndex::holds(std::string_view id, std::string_view tag) const {
  const auto d = ids_.find(id);
  if (!d) return false;
  for (const std::string* key : doc_tags_[*d])
    if (*key == tag) return true;
  return false;
}

std::vector<std::string> tag_query_tokens(std::string_view query) {
  std::vector<std::string> out;
  size_t start = std::string_view::npos;
  for (size_t i = 0; i < query.size();) {
    const size_t at = i;
    const bool space = is_unicode_white_space(next_code_point(query, i));
    if (!space && start == std::string_view::npos) start = at;
    if (space && start != std::string_view::npos) {
      out.push_back(to_lower_full(query.substr(start, at - start)));
      start = std::string_view::npos;
    }
  }
  if (start != std::string_view::npos) out.push_back(to_lower_full(query.substr(start)));
  std::sort(out.begin(), out.end());
  out.erase(std::unique(out.begin(), out.end()), out.end());
  return out;
}

RankedList collect_tags(const TagIndex& index, const RecordLookup& records, std::string_view query, size_t top_k,
                        std::span<const std::string> namespaces) {
  VESK_SPAN(span, "collect_tags", "vesk::recall", trace::Level::Info, trace::field("top_k", top_k));
  RankedList out;
  if (top_k == 0) return out;
  const std::vector<std::string> q = tag_query_tokens(query);
  if (q.empty()) return out;
  // Matched query tokens per document (each token counts once: q is a set).
  std::vector<std::pair<uint32_t, uint32_t>> matched;  // (document, |M|)
  {
    std::vector<uint32_t> docs;
    for (const std::string& token : q) {
      auto it = index.tags_.find(token);
      if (it != index.tags_.end()) docs.insert(docs.end(), it->second.begin(), it->second.end());
    }
    std::sort(docs.begin(), docs.end());
    for (size_t i = 0; i < docs.size();) {
      size_t j = i;
      while (j < docs.size() && docs[j] == docs[i]) ++j;
      matched.emplace_back(docs[i], static_cast<uint32_t>(j - i));
      i = j;
    }
  }
  std::vector<RecallHit> hits;
  std::vector<std::string> extra;  // the record's lower-cased tags that are not query tokens
  for (const auto& [d, m] : matched) {
    const std::string& id = index.ids_.id(d);
    const Record* r = records(id);
    if (!r || !record_visible(*r, namespaces)) continue;
    extra.clear();
    for (const std::string& tag : r->tags) {
      std::string lowered = to_lower_full(tag);
      if (std::binary_search(q.begin(), q.end(), lowered)) continue;
      if (std::find(extra.begin(), extra.end(), lowered) == extra.end()) extra.push_back(std::move(lowered));
    }
    const size_t distinct = q.size() + extra.size();  // |L u Q|, never 0
    hits.push_back(RecallHit{static_cast<float>(m) / static_cast<float>(distinct), content_hash(r->content), &id});
  }
  return top_hits_in_recall_order(hits, top_k);
}

}  // namespace vesk
