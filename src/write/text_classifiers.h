// The caller's text classifiers (claim certainty and outcome), the slots the
// store object keeps them in, and the calls through them.
//
// The core sees a classifier as a plain callable from the text to an answer
// word, or none. The Python binding wraps the application's object in one:
// its call takes the interpreter lock for the duration of the call only and
// answers none when the object raises or returns anything but a str (the
// Python error is discarded, never printed). The core reads the word; an
// unknown word is no verdict, so a misbehaving classifier never makes the
// operation that asked fail.
//
// Locking: a slot's lock is held only to copy or swap the shared handle; the
// call runs with no lock held, so a slow classifier blocks no one, and a
// classifier replaced or cleared during a call finishes that call (the caller
// holds its own handle). A replaced handle is released after the slot's lock
// is dropped (Guarded::set).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "base/guarded.h"
#include "write/claim_certainty.h"

namespace vesk {

using TextClassifier = std::function<std::optional<std::string>(std::string_view text)>;
using TextClassifierHandle = std::shared_ptr<const TextClassifier>;
// Empty at open; filled and emptied by the set and clear methods.
using ClassifierSlot = Guarded<TextClassifierHandle>;

// The outcome a text reports, kept in the record's metadata as "outcome".
enum class OutcomePolarity : uint8_t { Positive = 0, Negative = 1 };

// "positive" or "negative".
std::string_view outcome_polarity_label(OutcomePolarity p);
// Surrounding white space removed, ASCII letters lower-cased, then exactly
// "positive" or "negative"; anything else is none.
std::optional<OutcomePolarity> parse_polarity(std::string_view text);

// The verdict of the classifier in the slot (none when the slot is empty,
// the classifier declines, or its answer is not a certainty).
std::optional<ClaimCertainty> call_claim_classifier(const ClassifierSlot& slot, std::string_view text);
// The same for an outcome classifier.
std::optional<OutcomePolarity> call_outcome_classifier(const ClassifierSlot& slot, std::string_view text);

}  // namespace vesk
