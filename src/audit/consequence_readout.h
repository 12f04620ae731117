// How a consequence unit reads: its polarity, from its trust and its wording,
// and its one-line readout.
//
// classify_consequence_outcome, with c the consequence trimmed and its ASCII
// letters lower-cased, takes the first rule that holds:
//   trust > 0                                                  Supports
//   c is "ok", "pass", "passed", "support", "success",
//        "supports" or "supported"                             Supports
//   trust < 0                                                  Refutes
//   c is "fail", "panic", "refute", "failed", "refutes",
//        "refuted" or "failure"                                Refutes
//   otherwise                                                  Inconclusive
// The whole trimmed text must be the word: a longer text that contains it
// does not count.
//
// consequence_unit_readout: "state `{situation}` action `{action}`
// consequence `{consequence}` trust {trust} scope [{scope joined by ", "}]"
// on one line (the backquotes are part of the text).
#pragma once

#include <string>

#include "audit/consequence_polarity.h"
#include "audit/consequence_unit.h"

namespace vesk {

ConsequencePolarity classify_consequence_outcome(const ConsequenceUnit& unit);
std::string consequence_unit_readout(const ConsequenceUnit& unit);

}  // namespace vesk
