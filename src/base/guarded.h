// Guarded<T>: a value that can only be reached through its own lock.
//
// The store object keeps each of its parts behind a lock of its own; wrapping
// the value and the lock together makes "read it without the lock" impossible
// to write by accident. read() takes the lock shared (for a reader-writer
// lock), write() exclusively; each returns a handle that holds the lock for
// its lifetime and dereferences to the value.
//
//   Guarded<RecordMap> records;
//   { auto r = records.read(); n = r->size(); }
//   { auto w = records.write(); (*w)[id] = record; }
//
// A part built with a LockRank takes part in a lock order: while checking is
// on (lock_rank.h), taking it while holding a part of the same or a higher
// rank is reported. The store object's order is written in
// store/lock_order.h.
#pragma once

#include <mutex>
#include <shared_mutex>
#include <type_traits>
#include <utility>

#include "base/lock_rank.h"

namespace vesk {

template <class T, class Mutex = std::shared_mutex>
class Guarded {
  static constexpr bool kShared = std::is_same_v<Mutex, std::shared_mutex>;
  using SharedLock = std::conditional_t<kShared, std::shared_lock<Mutex>, std::unique_lock<Mutex>>;

 public:
  template <class Lock, class V>
  class Handle {
   public:
    // `rank`: the rank recorded as held by this thread, or null.
    Handle(Lock lock, V* value, const LockRank* rank) : lock_(std::move(lock)), value_(value), rank_(rank) {}
    Handle(Handle&& o) noexcept : lock_(std::move(o.lock_)), value_(o.value_), rank_(std::exchange(o.rank_, nullptr)) {}
    Handle& operator=(Handle&&) = delete;
    ~Handle() { forget_rank(); }
    V& operator*() const { return *value_; }
    V* operator->() const { return value_; }
    V* get() const { return value_; }
    // Lets the lock go before the handle dies.
    void unlock() {
      lock_.unlock();
      forget_rank();
    }

   private:
    void forget_rank() {
      if (rank_) lock_rank::released(*std::exchange(rank_, nullptr));
    }
    Lock lock_;
    V* value_;
    const LockRank* rank_;
  };
  using ReadHandle = Handle<SharedLock, const T>;
  using WriteHandle = Handle<std::unique_lock<Mutex>, T>;

  Guarded() = default;
  // A part with its place in the lock order (checked, see lock_rank.h).
  explicit Guarded(LockRank rank) : rank_(rank) {}
  Guarded(LockRank rank, T value) : rank_(rank), value_(std::move(value)) {}
  template <class... Args>
  explicit Guarded(std::in_place_t, Args&&... args) : value_(std::forward<Args>(args)...) {}
  Guarded(const Guarded&) = delete;
  Guarded& operator=(const Guarded&) = delete;

  ReadHandle read() const {
    const LockRank* r = note_rank();
    return ReadHandle(SharedLock(mu_), &value_, r);
  }
  WriteHandle write() {
    const LockRank* r = note_rank();
    return WriteHandle(std::unique_lock<Mutex>(mu_), &value_, r);
  }

  // A copy taken under the read lock.
  T copy() const { return *read(); }
  // Replaces the value under the write lock; the old value is destroyed after
  // the lock is released.
  void set(T value) {
    auto w = write();
    std::swap(*w, value);
    w.unlock();
  }

  // The lock itself, for helpers that take it on their own (they document
  // which way). Taken this way, it is not checked against the lock order.
  Mutex& mutex() const { return mu_; }
  const LockRank& rank() const { return rank_; }

  // The value without its lock: only while the owner is not shared yet
  // (during the store's open) or is being destroyed.
  T& unguarded() { return value_; }
  const T& unguarded() const { return value_; }

 private:
  // Records the rank as held when checking is on; the handle forgets it.
  const LockRank* note_rank() const {
    if (rank_.level == 0 || !lock_rank::checking()) return nullptr;
    lock_rank::acquired(rank_);
    return &rank_;
  }

  mutable Mutex mu_;
  LockRank rank_{};
  T value_{};
};

// A part behind a plain mutex: read() and write() both lock exclusively.
template <class T>
using MutexGuarded = Guarded<T, std::mutex>;

}  // namespace vesk
