// Terms of a text for the term index: maximal runs of characters that are
// alphabetic, numeric (Nd, Nl, No) or '_', each lower-cased as a whole (full
// mapping, so the final-sigma rule applies within the term). Everything else
// separates terms: hyphen, apostrophe, full stop, white space, punctuation.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vesk {

// In text order, repeats included.
std::vector<std::string> tokenize_terms(std::string_view text);

}  // namespace vesk
