// Tag index and tag search.
//
// The index maps each tag, exactly as stored on records (case, inner spaces
// and punctuation kept), to the records carrying it. The search reads the
// query's words as tags: split at white space, lower-cased, repeats dropped.
// A record scores |matched query words| / |its lower-cased tags u query
// words|, so stored tags only match a query word byte for byte. Rebuilt at
// every open; the store's tag-index lock guards it.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "index/doc_ids.h"
#include "model/scored_record.h"

namespace vesk {

class TagIndex {
 public:
  // Adds the id under each of the tags (already present pairs stay once).
  void add(std::string_view id, const std::vector<std::string>& tags);
  // Takes the id out of every tag it is under.
  void remove(std::string_view id);

  size_t size() const { return ids_.size(); }
  // Tags under which at least one id is filed (a tag no id carries is gone).
  size_t tag_count() const { return tags_.size(); }
  // The ids under a tag, in no particular order.
  std::vector<std::string> ids_with(std::string_view tag) const;
  // Calls visit(id) for each id under the tag, in no particular order, until
  // it returns false: a caller that needs a few of a popular tag's records
  // does not copy them all.
  template <class Visit>
  void visit_ids_with(std::string_view tag, Visit&& visit) const {
    auto it = tags_.find(tag);
    if (it == tags_.end()) return;
    for (uint32_t d : it->second)
      if (!visit(std::string_view(ids_.id(d)))) return;
  }
  // True when the id is filed under exactly this tag.
  bool holds(std::string_view id, std::string_view tag) const;

 private:
  friend RankedList collect_tags(const TagIndex&, const RecordLookup&, std::string_view, size_t,
                                 std::span<const std::string>);
  DocIds ids_;
  std::unordered_map<std::string, std::vector<uint32_t>, TransparentStringHash, std::equal_to<>> tags_;
  std::vector<std::vector<const std::string*>> doc_tags_;  // by document: the tag keys it is under
};

// The query's tag tokens: split at White_Space, each lower-cased, ascending
// and without repeats.
std::vector<std::string> tag_query_tokens(std::string_view query);

// The tag search: at most top_k visible records in the recall order.
RankedList collect_tags(const TagIndex& index, const RecordLookup& records, std::string_view query, size_t top_k,
                        std::span<const std::string> namespaces);

}  // namespace vesk
