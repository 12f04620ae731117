// The word handling of the concept phase.
//
// Two tokenisations of a record's content, both on the full Unicode
// lower-casing and split at White_Space characters, trimming at both ends
// every character that is neither Alphabetic nor a number (general category
// Nd, Nl or No):
//
//   concept_feature_terms  the features seeds are compared by in the
//                          CanonicalFeature similarity mode: tokens of 3 bytes
//                          or more, minus FEATURE_STOP_WORDS, mapped through
//                          the canonical term table, else stemmed and mapped
//                          again, kept when 2 bytes or longer.
//   concept_record_terms   the terms a candidate's core and shell terms are
//                          counted from: pieces of 3 bytes or more before
//                          trimming, minus TERM_STOP_WORDS; no table, no stem.
//
// Lengths are byte lengths of the UTF-8 text throughout.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/string_hash.h"

namespace vesk {

bool is_feature_stop_word(std::string_view token);
bool is_term_stop_word(std::string_view token);

// The canonical term of an exact lower-case input (174 inputs, 57 terms);
// none for any other input.
std::optional<std::string_view> canonical_concept_term(std::string_view token);

// The suffix rules: tokens under 6 bytes are unchanged, otherwise the first
// of ten rules that matches applies.
std::string stem_concept_term(std::string_view token);

// Adds the features of one content to `out`.
void add_concept_feature_terms(std::string_view content, StringSet& out);

// The distinct terms of one content, in first-seen order.
std::vector<std::string> concept_record_terms(std::string_view content);

}  // namespace vesk
