// The recall caches: the rendered text of `recall` and the result list of
// `recall_structured`, kept so that a repeated request skips the pipeline.
//
// A cache maps a key text to (value, insertion instant on a monotonic clock).
// An entry is answered while its age in whole seconds is below the time to
// live (300 s); a lookup that finds it older removes it and misses. A put into
// a cache holding `capacity` (50) entries or more first removes the entry with
// the earliest instant (the first met among equals), before it looks at its
// own key: a full cache loses its oldest entry even when the key is already
// present, and the oldest may be that key itself. Stale entries leave only by
// a lookup of their key, by eviction or by a clear, and count towards the
// capacity until then. Every operation that changes what a recall could
// return clears both caches.
//
// Each cache has its own mutex, held for one get, put or clear; a get hands
// out a copy, so no caller renders or converts under the lock. Clearing both
// takes the text cache's lock, then the structured cache's, never together.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/string_hash.h"
#include "model/scored_record.h"

namespace vesk {

using MonotonicClock = std::function<std::chrono::steady_clock::time_point()>;

inline constexpr uint64_t kRecallCacheTtlSecs = 300;
inline constexpr uint64_t kRecallCacheCapacity = 50;

template <typename V>
class RecallCache {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;

  explicit RecallCache(MonotonicClock clock = [] { return std::chrono::steady_clock::now(); },
                       uint64_t ttl_secs = kRecallCacheTtlSecs,
                       uint64_t capacity = kRecallCacheCapacity)
      : clock_(std::move(clock)), ttl_secs_(ttl_secs), capacity_(capacity) {}

  // A copy of the value under the key unchanged, or none.
  std::optional<V> get(std::string_view key) {
    std::lock_guard lock(mu_);
    auto it = entries_.find(key);
    if (it == entries_.end()) return std::nullopt;
    const auto age = std::chrono::duration_cast<std::chrono::seconds>(clock_() - it->second.inserted).count();
    if (age >= 0 && static_cast<uint64_t>(age) >= ttl_secs_) {
      entries_.erase(it);
      return std::nullopt;
    }
    return it->second.value;
  }

  void put(std::string key, V value) {
    std::lock_guard lock(mu_);
    if (entries_.size() >= capacity_ && !entries_.empty()) {
      auto oldest = entries_.begin();
      for (auto it = entries_.begin(); it != entries_.end(); ++it)
        if (it->second.inserted < oldest->second.inserted) oldest = it;
      entries_.erase(oldest);
    }
    entries_.insert_or_assign(std::move(key), Entry{std::move(value), clock_()});
  }

  // Drops every entry; the table keeps its allocation.
  void clear() {
    std::lock_guard lock(mu_);
    entries_.clear();
  }

  size_t size() const {
    std::lock_guard lock(mu_);
    return entries_.size();
  }

 private:
  struct Entry {
    V value;
    TimePoint inserted;
  };

  MonotonicClock clock_;
  const uint64_t ttl_secs_;
  const uint64_t capacity_;
  mutable std::mutex mu_;
  StringKeyMap<Entry> entries_;
};

using TextRecallCache = RecallCache<std::string>;
using StructuredRecallCache = RecallCache<std::vector<ScoredRecord>>;

// The text of the text-recall key: format name, recall scope text, token
// budget, min_strength and the expand flag joined by ":". min_strength is
// written in the shortest decimal form that reads back to the same 32-bit
// float, without an exponent (0.1 -> "0.1", 1.0 -> "1", 1e-7 -> "0.0000001").
std::string text_recall_cache_source(std::string_view format, std::string_view scope_key, uint64_t token_budget,
                                     float min_strength, bool expand_connections);

// The text lower-cased with the full Unicode mapping, then stripped of
// leading and trailing Unicode White_Space.
std::string recall_cache_key(std::string_view text);

// The text cache, keyed by recall_cache_key of the source text.
std::optional<std::string> recall_cache_get(TextRecallCache& cache, std::string_view source);
void recall_cache_put(TextRecallCache& cache, std::string_view source, std::string value);
void recall_cache_clear(TextRecallCache& cache);

// The structured key, used unchanged: the compact JSON array
// [query lower-cased and trimmed, top_k, the bit pattern of min_strength as an
// unsigned integer, the namespaces sorted in byte order without repeats, or
// ["default"] when none are given]. The caller folds whatever else must keep
// entries apart (the expand flag) into the query text it passes.
std::string structured_recall_cache_key(std::string_view query, uint64_t top_k,
                                        const std::optional<std::vector<std::string>>& namespaces,
                                        float min_strength);
void structured_recall_cache_clear(StructuredRecallCache& cache);

// Clears both caches, the text cache first.
void clear_recall_caches(TextRecallCache& text, StructuredRecallCache& structured);

}  // namespace vesk
