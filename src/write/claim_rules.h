// The claim certainty of a text: the caller's classifier first, then the
// built-in phrase rules for Ukrainian and English.
//
// The rules look for phrases in the normalised text (normalize_claim_text):
// a phrase is present when " phrase " occurs, so it matches whole words only.
// All phrase lists (hearsay, reporting words, speculation, hedges, and the
// identity phrases the store road reads) are found in one pass by a single
// automaton built once per process. Mixed texts are decided by rank: a
// hearsay marker beats speculation, speculation beats a hedge, and a text with
// none of them is asserted.
#pragma once

#include <optional>
#include <string_view>

#include "write/claim_certainty.h"
#include "write/text_classifiers.h"

namespace vesk {

// The rules alone, on a normalised text; never "not classified".
//   Hearsay      a hearsay phrase ("i heard", "кажуть", ...), or a reporting
//                word ("said", "сказав", ...) unless the word before it is
//                "to" or one of the two words before it is "i", "we", "я" or
//                "ми" (first-hand reporting);
//   Speculative  the text opens with the word "може", or a speculative
//                phrase ("maybe", "можливо", ...);
//   Hedged       a hedging phrase ("probably", "мабуть", ...);
//   Asserted     otherwise.
ClaimCertainty classify_claim_rules(std::string_view normalized);

// Whether a normalised text holds one of the identity phrases ("my name is",
// "i was born", "мене звати", ...).
bool has_identity_phrase(std::string_view normalized);

// The certainty of a new text: the classifier in `classifier` when it gives a
// verdict (it is called with no lock held); else, when `rules_enabled`, the
// built-in rules; else not classified.
std::optional<ClaimCertainty> classify_certainty(const ClassifierSlot& classifier, bool rules_enabled,
                                                 std::string_view text);

}  // namespace vesk
