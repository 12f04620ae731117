// The feedback step of a maintenance cycle on one core: 10k and 100k beliefs
// in two hypotheses each, one causal pattern per two beliefs (cause and
// effect, mixed states) and one policy hint per ten beliefs (mixed states and
// actions). Each iteration copies the belief engine (not timed) and feeds
// back into the copy, so every run starts from the same beliefs; the copy and
// the freeing of the last run's engine and report are not timed.
#include <benchmark/benchmark.h>

#include <random>
#include <string>

#include "base/env.h"
#include "maintenance/belief_feedback.h"

namespace {

using namespace vesk;

struct Layers {
  BeliefEngine beliefs;
  CausalEngine causal;
  PolicyEngine policies;
};

std::string belief_id(size_t i) { return "bel" + std::to_string(i); }

Layers make_layers(size_t n) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  Layers l;
  for (size_t i = 0; i < n; ++i) {
    Belief b{.id = belief_id(i), .score = unit(rng), .confidence = unit(rng), .volatility = unit(rng)};
    l.beliefs.beliefs.emplace(b.id, b);
  }
  for (size_t i = 0; i + 1 < n; i += 2) {
    CausalPattern p;
    p.id = "pat" + std::to_string(i);
    p.state = static_cast<CausalState>(i / 2 % 4);
    p.causal_strength = unit(rng);
    p.support_count = i % 7;
    p.counterevidence = i % 3;
    p.cause_belief_ids = {belief_id(i)};
    p.effect_belief_ids = {belief_id(i + 1)};
    l.causal.patterns.emplace(p.id, std::move(p));
  }
  for (size_t i = 0; i + 2 < n; i += 10) {
    PolicyHint h;
    h.id = "hint" + std::to_string(i);
    h.state = static_cast<PolicyState>(i / 10 % 4);
    h.action_kind = static_cast<PolicyActionKind>(i / 10 % 5);
    h.policy_strength = unit(rng);
    h.trigger_belief_ids = {belief_id(i), belief_id(i + 2)};
    l.policies.hints.emplace(h.id, std::move(h));
  }
  return l;
}

void BM_FeedBackIntoBeliefs(benchmark::State& state) {
  const Layers layers = make_layers(static_cast<size_t>(state.range(0)));
  // Copied and freed outside the timed part.
  BeliefEngine beliefs;
  FeedbackAuditReport r;
  for (auto _ : state) {
    state.PauseTiming();
    beliefs = layers.beliefs;
    r = FeedbackAuditReport{};
    state.ResumeTiming();
    r = feed_back_into_beliefs(beliefs, layers.causal, layers.policies, Env::Default());
    benchmark::DoNotOptimize(r);
  }
  state.counters["beliefs_touched"] = static_cast<double>(r.beliefs_touched);
  state.counters["entries"] = static_cast<double>(r.entries.size());
}
BENCHMARK(BM_FeedBackIntoBeliefs)->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
