// Claim records and their claim keys: which records the belief phase looks at
// and how it groups them before splitting by similarity.
//
// A claim record has a strength of at least 0.05 (NaN fails) and at least 10
// bytes of content. Its claim key is "{namespace}:{tag part}:{semantic type}"
// for the modes with a tag part, "{namespace}:{semantic type}" for SemanticOnly,
// DualKey, NeighborhoodPool and SdrTagPool. The tag part by mode:
//
//   Standard                  the tags as stored, byte-sorted, first three
//                             joined with ","
//   TopOneTag, TagFamily*     the first of those (the family tag)
//   TagFamilyPairBackoff      the first two, joined with ","
//   BridgeKey                 canonical_claim_tags, joined with ","
//
// A key with a tag part that contains "::" (every record without tags) drops
// the record from the phase. TagFamilyDenseBackoff then re-keys the records of
// its larger groups by their dense tags (dense_rekey).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/string_hash.h"
#include "cognitive/belief_layer.h"
#include "model/record.h"

namespace vesk {

// Records of one claim key, in the order they were met.
using ClaimGroup = std::vector<const Record*>;

// Claim keys with their records, in the order the keys were first met.
class ClaimGroups {
 public:
  void add(const std::string& key, const Record* record);
  void add_group(std::string key, ClaimGroup records);
  std::vector<std::pair<std::string, ClaimGroup>>& groups() { return groups_; }
  const std::vector<std::pair<std::string, ClaimGroup>>& groups() const { return groups_; }

 private:
  std::vector<std::pair<std::string, ClaimGroup>> groups_;
  StringKeyMap<size_t> index_;
};

bool is_claim_record(const Record& record);

// The record's canonical tags: trimmed of Unicode white space, ASCII lower
// case, the aliases ui -> frontend, auth -> authentication, deploy -> release,
// byte-sorted, without adjacent repeats, the first three. A tag that trims to
// nothing stays as an empty text.
std::vector<std::string> canonical_claim_tags(const std::vector<std::string>& tags);

// The tags trimmed, emptied ones dropped, ASCII lower case, byte-sorted and
// without repeats.
std::vector<std::string> normalized_claim_tags(const std::vector<std::string>& tags);

// The claim key of a record under a mode, or none when the record drops out
// (its key would contain "::").
std::optional<std::string> claim_key(const Record& record, CoarseKeyMode mode);

// The family tag of a key: its second ":"-separated component, empty when
// there is none.
std::string_view claim_key_family(std::string_view key);

// Tags of more than three records of a family group (normalised, "alerts"
// left out), with the family tag when any record counted it, byte-sorted; the
// family tag is put in front when it is not among them.
std::vector<std::string> dense_family_tags(const ClaimGroup& group, std::string_view family);

// TagFamilyDenseBackoff: groups of more than three records outside the
// "alerts" family whose dense tags number two or more re-key each record by
// the (at most three) dense tags it carries when it carries two or more.
ClaimGroups dense_rekey(const ClaimGroups& groups);

}  // namespace vesk
