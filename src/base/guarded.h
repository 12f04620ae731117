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
// Taking several guarded parts at once follows the store object's lock order
// (vesk.h); nothing here enforces it.
#pragma once

#include <mutex>
#include <shared_mutex>
#include <type_traits>
#include <utility>

namespace vesk {

template <class T, class Mutex = std::shared_mutex>
class Guarded {
  static constexpr bool kShared = std::is_same_v<Mutex, std::shared_mutex>;
  using SharedLock = std::conditional_t<kShared, std::shared_lock<Mutex>, std::unique_lock<Mutex>>;

 public:
  template <class Lock, class V>
  class Handle {
   public:
    Handle(Lock lock, V* value) : lock_(std::move(lock)), value_(value) {}
    V& operator*() const { return *value_; }
    V* operator->() const { return value_; }
    V* get() const { return value_; }
    // Lets the lock go before the handle dies.
    void unlock() { lock_.unlock(); }

   private:
    Lock lock_;
    V* value_;
  };
  using ReadHandle = Handle<SharedLock, const T>;
  using WriteHandle = Handle<std::unique_lock<Mutex>, T>;

  Guarded() = default;
  template <class... Args>
  explicit Guarded(std::in_place_t, Args&&... args) : value_(std::forward<Args>(args)...) {}
  Guarded(const Guarded&) = delete;
  Guarded& operator=(const Guarded&) = delete;

  ReadHandle read() const { return ReadHandle(SharedLock(mu_), &value_); }
  WriteHandle write() { return WriteHandle(std::unique_lock<Mutex>(mu_), &value_); }

  // A copy taken under the read lock.
  T copy() const {
    SharedLock lock(mu_);
    return value_;
  }
  // Replaces the value under the write lock; the old value is destroyed after
  // the lock is released.
  void set(T value) {
    std::unique_lock<Mutex> lock(mu_);
    std::swap(value_, value);
  }

  // The lock itself, for helpers that take it on their own (they document
  // which way).
  Mutex& mutex() const { return mu_; }

  // The value without its lock: only while the owner is not shared yet
  // (during the store's open) or is being destroyed.
  T& unguarded() { return value_; }
  const T& unguarded() const { return value_; }

 private:
  mutable Mutex mu_;
  T value_{};
};

// A part behind a plain mutex: read() and write() both lock exclusively.
template <class T>
using MutexGuarded = Guarded<T, std::mutex>;

}  // namespace vesk
