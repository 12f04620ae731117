#include "write/claim_rules.h"

#include <array>
#include <string>
#include <utility>
#include <vector>

#include "write/phrase_automaton.h"

namespace vesk {
namespace {

enum Mark : uint8_t {
  kHearsay = 1,
  kReporting = 2,
  kSpeculative = 4,
  kHedged = 8,
  kIdentity = 16,
};

// Phrases as they appear in the normalised text: lower case, words joined by
// one space.
constexpr std::string_view kHearsayPhrases[] = {
    "чув",          "чула",          "чули",         "кажуть",          "говорять",         "подейкують",
    "за словами",   "згідно з",      "як пишуть",    "пишуть що",       "із чуток",         "з чуток",
    "ходять чутки", "нібито",        "начебто",      "мені казали",     "мені сказали",     "мені розповіли",
    "мені розповідали", "нам сказали", "нам казали", "стверджують",     "повідомляють",     "i heard",
    "we heard",     "heard that",    "they say",     "people say",      "everyone says",    "according to",
    "apparently",   "reportedly",    "allegedly",    "rumor",           "rumour",           "word is",
    "as per",       "i was told",    "we were told", "told me",         "told us",          "is said to",
};

// Words that pass on what somebody else said, unless the speaker is the one
// reporting ("i said", "we never said") or the word follows "to".
constexpr std::string_view kReportingWords[] = {
    "сказав",    "сказала",  "сказали",   "казав",     "казала",     "казали",      "розповів", "розповіла",
    "розповідав", "розповідала", "розповіли", "говорив", "говорила",  "пише",        "писав",    "писала",
    "повідомив", "повідомила", "повідомили", "стверджує", "стверджував", "said",      "say",      "says",
    "told",      "mentioned", "wrote",     "writes",    "reported",   "claims",      "claimed",
};

constexpr std::string_view kFirstPersonWords[] = {"i", "we", "я", "ми"};

constexpr std::string_view kSpeculativePhrases[] = {
    "може бути", "можливо", "не виключено", "не знаю чи", "важко сказати", "може статися", "припускаю",
    "теоретично", "якщо пощастить", "maybe", "might", "could be", "possibly", "perhaps", "not sure",
    "may be", "there may", "i wonder", "hard to say", "who knows", "theoretically",
};

constexpr std::string_view kHedgedPhrases[] = {
    "мабуть",   "здається", "схоже",     "напевно",    "ймовірно",  "скоріш за все", "скоріше за все",
    "думаю",    "вважаю",   "видно",     "вочевидь",   "певно",     "probably",      "likely",
    "seems",    "it seems", "looks",     "appears",    "i think",   "i believe",     "i guess",
    "i suppose", "presumably", "chances are", "arguably",
};

constexpr std::string_view kIdentityPhrases[] = {
    "я народився",  "я народилася", "мій день народження", "мене звати",    "моє ім'я",     "у мене алергія",
    "i was born",   "my birthday",  "my name is",          "i am allergic", "i'm allergic",
};

// A text opening with this word is speculative ("Може, завтра").
constexpr std::string_view kMaybeOpening = " може ";

const PhraseAutomaton& claim_phrases() {
  static const PhraseAutomaton automaton = [] {
    std::vector<std::string> texts;
    std::vector<uint8_t> marks;
    auto add = [&](std::span<const std::string_view> phrases, Mark mark) {
      for (std::string_view p : phrases) {
        std::string text(1, ' ');
        text.append(p).push_back(' ');
        texts.push_back(std::move(text));
        marks.push_back(mark);
      }
    };
    add(kHearsayPhrases, kHearsay);
    add(kReportingWords, kReporting);
    add(kSpeculativePhrases, kSpeculative);
    add(kHedgedPhrases, kHedged);
    add(kIdentityPhrases, kIdentity);
    std::vector<PhraseAutomaton::Pattern> patterns;
    for (size_t i = 0; i < texts.size(); ++i) patterns.push_back({texts[i], marks[i]});
    return PhraseAutomaton(patterns);
  }();
  return automaton;
}

// The word of `text` that ends just before the space at `end`; `end` moves to
// the space before that word. Empty at the start of the text.
std::string_view word_before(std::string_view text, size_t& end) {
  if (end == 0) return {};
  size_t space = text.rfind(' ', end - 1);
  std::string_view word = text.substr(space + 1, end - space - 1);
  end = space;
  return word;
}

bool is_first_person(std::string_view word) {
  for (std::string_view w : kFirstPersonWords) {
    if (w == word) return true;
  }
  return false;
}

// A reporting word ending at `end` (one past its closing space) passes on
// somebody else's words unless it follows "to" ("going to say") or one of the
// two words before it is first-person ("i said", "we never said").
bool reports_hearsay(std::string_view normalized, size_t end) {
  size_t space = end - 1;
  word_before(normalized, space);  // the reporting word itself
  std::string_view previous = word_before(normalized, space);
  if (previous == "to") return false;
  if (is_first_person(previous)) return false;
  return !is_first_person(word_before(normalized, space));
}

// The marks of the phrases present, stopping once any of `enough` is found.
// A reporting word counts as hearsay only when it reports somebody else.
uint8_t scan_marks(std::string_view normalized, uint8_t enough) {
  uint8_t found = 0;
  claim_phrases().scan(normalized, [&](size_t end, uint8_t marks) {
    if ((marks & kReporting) && reports_hearsay(normalized, end)) marks |= kHearsay;
    found |= marks & ~kReporting;
    return (found & enough) == 0;
  });
  return found;
}

}  // namespace

ClaimCertainty classify_claim_rules(std::string_view normalized) {
  uint8_t marks = scan_marks(normalized, kHearsay);
  if (marks & kHearsay) return ClaimCertainty::Hearsay;
  if (normalized.size() >= 10 && normalized.starts_with(kMaybeOpening)) return ClaimCertainty::Speculative;
  if (marks & kSpeculative) return ClaimCertainty::Speculative;
  if (marks & kHedged) return ClaimCertainty::Hedged;
  return ClaimCertainty::Asserted;
}

bool has_identity_phrase(std::string_view normalized) { return scan_marks(normalized, kIdentity) & kIdentity; }

std::optional<ClaimCertainty> classify_certainty(const ClassifierSlot& classifier, bool rules_enabled,
                                                 std::string_view text) {
  if (std::optional<ClaimCertainty> verdict = call_claim_classifier(classifier, text)) return verdict;
  if (!rules_enabled) return std::nullopt;
  return classify_claim_rules(normalize_claim_text(text));
}

}  // namespace vesk
