#include "index/embedding_fn.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <mutex>
#include <thread>

namespace vesk {
namespace {

using Vec = std::vector<float>;
using namespace std::chrono_literals;

EmbeddingFnHandle constant_fn(std::optional<Vec> answer) {
  return std::make_shared<const EmbeddingFn>([answer](std::string_view) { return answer; });
}

TEST(EmbedText, AnswersFromTheFunctionInTheSlot) {
  EmbeddingFnSlot slot;
  EXPECT_FALSE(embed_text(slot, "q"));
  slot.set(std::make_shared<const EmbeddingFn>(
      [](std::string_view text) { return std::optional<Vec>(Vec{static_cast<float>(text.size()), 0.5f}); }));
  EXPECT_EQ(embed_text(slot, "four"), (Vec{4, 0.5f}));
  slot.set(constant_fn(std::nullopt));  // a function that declines, as a raising callable does
  EXPECT_FALSE(embed_text(slot, "q"));
  slot.set(constant_fn(Vec{}));  // not checked here; the store refuses it
  EXPECT_EQ(embed_text(slot, "q"), Vec{});
  slot.clear();
  EXPECT_FALSE(embed_text(slot, "q"));
}

// The binding's deleter takes the interpreter lock, so a function must be let
// go only by its last holder and never while the slot's lock is held.
TEST(EmbeddingFnSlot, AReplacedFunctionIsReleasedByItsLastHolderOutsideTheSlotLock) {
  EmbeddingFnSlot slot;
  std::atomic<int> released{0};
  std::atomic<int> slot_free_in_deleter{0};
  std::mutex probes_mu;
  std::vector<std::thread> probes;  // joined at the end: a blocked probe must not hang the deleter
  auto tracked = [&](EmbeddingFn fn) {
    return EmbeddingFnHandle(new EmbeddingFn(std::move(fn)), [&](const EmbeddingFn* f) {
      auto done = std::make_shared<std::promise<void>>();
      auto read = done->get_future();
      std::lock_guard g(probes_mu);
      probes.emplace_back([&slot, done] {
        (void)slot.get();
        done->set_value();
      });
      if (read.wait_for(2s) == std::future_status::ready) ++slot_free_in_deleter;
      ++released;
      delete f;
    });
  };

  // Replaced while idle: released by set(), after it dropped the lock.
  slot.set(tracked(*constant_fn(Vec{0})));
  slot.set(constant_fn(Vec{1}));
  EXPECT_EQ(released, 1);

  // Replaced during a call: the running call keeps it alive and releases it.
  std::promise<void> entered, finish;
  std::shared_future<void> finish_signal = finish.get_future().share();
  slot.set(tracked([&](std::string_view) {
    entered.set_value();
    finish_signal.wait();
    return std::optional<Vec>(Vec{2});
  }));
  auto call = std::async(std::launch::async, [&] { return embed_text(slot, "q"); });
  entered.get_future().wait();
  slot.set(constant_fn(Vec{3}));
  EXPECT_EQ(released, 1);
  EXPECT_EQ(embed_text(slot, "q"), Vec{3});
  finish.set_value();
  EXPECT_EQ(call.get(), Vec{2});
  EXPECT_EQ(released, 2);
  EXPECT_EQ(slot_free_in_deleter, 2);
  for (auto& t : probes) t.join();
}

}  // namespace
}  // namespace vesk
