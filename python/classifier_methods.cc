// The caller's claim and outcome classifiers, and the switch of the built-in
// claim rules.
//
// A classifier may be called from a thread that released the interpreter
// lock (the store road) or holds it; the wrapper takes the lock for the call
// only, with no store lock held. It answers with the returned str; an
// exception (discarded, never printed), None, or any other result is no
// answer. The object is not checked to be callable when it is set: calling
// a non-callable simply raises inside the wrapper, which is no answer.
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "binding/gil.h"
#include "binding/py_ref.h"
#include "vesk_object.h"

namespace vesk::py {
namespace {

// The Python side of one call, lock held. Any error of the classifier or of
// reading its answer is cleared here; an exception that was already pending
// on this thread (a caller holding the lock) is kept as it was.
std::optional<std::string> call_classifier(PyObject* func, std::string_view text) {
  PyObject* pending = PyErr_GetRaisedException();
  std::optional<std::string> answer;
  PyRef arg = PyRef::steal(PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size())));
  PyRef result = arg ? PyRef::steal(PyObject_CallOneArg(func, arg.get())) : PyRef();
  if (result && PyUnicode_Check(result.get())) {
    Py_ssize_t size = 0;
    if (const char* utf8 = PyUnicode_AsUTF8AndSize(result.get(), &size)) answer.emplace(utf8, size);
  }
  PyErr_Clear();
  PyErr_SetRaisedException(pending);
  return answer;
}

// A core classifier that calls `func` (lock held: it takes a reference). The
// last holder of the handle may be any thread, with or without the
// interpreter lock: the shared object drops its reference either way.
TextClassifierHandle make_text_classifier(PyObject* func) {
  SharedPyObject shared = share(func);
  return std::make_shared<const TextClassifier>([shared](std::string_view text) {
    WithGil gil;
    return call_classifier(shared.get(), text);
  });
}

void set_claim_rules_enabled(Vesk& self, bool enabled) { self.set_claim_rules_enabled(enabled); }
constexpr Method kSetClaimRulesEnabled{"Vesk", "set_claim_rules_enabled($self, enabled)", set_claim_rules_enabled};

void set_claim_classifier(Vesk& self, PyObject* func) { self.set_claim_classifier(make_text_classifier(func)); }
constexpr Method kSetClaimClassifier{
    "Vesk",
    "set_claim_classifier($self, func)\n--\n\n"
    "Set a Python callable that classifies each written text.\n\n"
    "The callable receives the text and returns \"asserted\", \"hedged\",\n"
    "\"speculative\", \"hearsay\", or None to defer to the built-in rules.\n"
    "It is called without Vesk's locks held, so it may itself be slow\n"
    "(for example a small local LLM).\n\n"
    "Example:\n"
    "  brain.set_claim_classifier(lambda text: my_model.classify(text))",
    set_claim_classifier};

void clear_claim_classifier(Vesk& self) { self.set_claim_classifier(nullptr); }
constexpr Method kClearClaimClassifier{
    "Vesk", "clear_claim_classifier($self)\n--\n\nRemove the Python claim classifier.", clear_claim_classifier};

void set_outcome_classifier(Vesk& self, PyObject* func) { self.set_outcome_classifier(make_text_classifier(func)); }
constexpr Method kSetOutcomeClassifier{
    "Vesk",
    "set_outcome_classifier($self, func)\n--\n\n"
    "Set a Python callable that labels each written text's outcome.\n\n"
    "The callable receives the text and returns \"positive\", \"negative\", or\n"
    "None. The result is stored as `metadata[\"outcome\"]` (unless the caller\n"
    "set it) and decides whether advice says avoid or prefer. Called without\n"
    "Vesk's locks held.",
    set_outcome_classifier};

void clear_outcome_classifier(Vesk& self) { self.set_outcome_classifier(nullptr); }
constexpr Method kClearOutcomeClassifier{
    "Vesk", "clear_outcome_classifier($self)\n--\n\nRemove the Python outcome classifier.", clear_outcome_classifier};

}  // namespace

MethodRows classifier_methods() {
  return {bind<kSetClaimRulesEnabled>(), bind<kSetClaimClassifier>(), bind<kClearClaimClassifier>(),
          bind<kSetOutcomeClassifier>(), bind<kClearOutcomeClassifier>()};
}

}  // namespace vesk::py
