// The padded word form of a text, in which whole-word phrases are found by a
// plain substring search, and its trimmed form, which names a text's words in
// signatures and digests.
#pragma once

#include <string>
#include <string_view>

namespace vesk {

// One space, then the text lower-cased by the full Unicode mapping with its
// ASCII letters and digits kept and every run of other characters (white
// space, punctuation, non-ASCII letters) turned into one space, then one space
// after the last kept character. A text with no ASCII letter or digit gives a
// single space. "Data-Base" gives " data base ", "Straße" gives " stra e ".
std::string normalize_padded_words(std::string_view text);

// The padded form without its framing spaces: the words separated by single
// spaces, or the empty text. "  Data-Base / 42!  " gives "data base 42",
// "--" gives "".
std::string normalize_words(std::string_view text);

}  // namespace vesk
