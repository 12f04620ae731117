// InsightSink: where a detector puts what it found. The maintenance cycle
// only wants the number of insights, so a counting sink takes the count and
// never builds the texts; the collecting sink builds each insight whole.
// Both walk the same detector code, so the count is always the length of
// the list the same records would give.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "base/env.h"
#include "maintenance/insight.h"

namespace vesk {

class InsightSink {
 public:
  // Collects into `out`, or only counts when it is null.
  explicit InsightSink(std::vector<Insight>* out) : out_(out) {}

  // One insight; make() builds it, and is called only when collecting.
  template <class F>
  void emit(F&& make) {
    ++count_;
    if (out_) out_->push_back(std::forward<F>(make)());
  }
  uint64_t count() const { return count_; }

 private:
  std::vector<Insight>* out_;
  uint64_t count_ = 0;
};

// An insight of a kind with its fixed severity and phase, the rest empty.
inline Insight new_insight(const char* type, InsightSeverity severity, InsightPhase phase) {
  Insight in;
  in.insight_type = type;
  in.severity = severity;
  in.phase = phase;
  return in;
}

// Days since `last_activated` by the clock read now: negative for a time in
// the future; a clock before the epoch reads as 0.
double days_since(Env& env, double last_activated);

}  // namespace vesk
