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

// The same terms as views, for a caller that tokenises one text after
// another: an ASCII text is lower-cased once into `lowered` and its terms
// are views into it; a text with other characters has each term lowered
// into its own string of `owned`. The buffers keep their memory from one
// text to the next; the views are valid until the next call.
struct TermViews {
  std::string lowered;
  std::vector<std::string> owned;
  std::vector<std::string_view> terms;
};
void tokenize_term_views(std::string_view text, TermViews& out);

}  // namespace vesk
