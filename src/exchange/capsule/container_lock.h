// The container mutation lock: every change of a container file runs under
// the process-wide `container_mutation_mutex` and an exclusive advisory lock
// on a lock file beside the container.
//
// The mutex keeps two threads of this process from mutating containers at
// once (any containers: it is one mutex); the file lock keeps two processes
// from mutating the same container. The mutex is taken first and released
// last. Reading operations take neither: they see committed generations
// only (container_reader.h).
//
// The lock file is the container's canonical path with ".lock" appended
// (the directory part with symbolic links resolved, so a link to the
// container and the container itself share one lock file). It is created
// when missing, never read, written or deleted. A lock held by a process
// that dies is released with its open files.
//
// Taking the lock tries an exclusive non-blocking lock and, while another
// holder has it, tries again every 25 ms; after 30 s it gives up. The wait
// reads a monotonic clock and sleeps through a LockWaitClock, so tests run
// the 30 s on a clock of their own.
#pragma once

#include <chrono>
#include <memory>
#include <mutex>

#include "base/env.h"
#include "base/status.h"

namespace vesk {

// The one mutex of the process that guards the right to mutate a container.
std::mutex& container_mutation_mutex();

// Time for the lock's retry loop: a monotonic clock and a sleep that runs its
// whole length (a sleep cut short by a signal goes on for the rest).
class LockWaitClock {
 public:
  virtual ~LockWaitClock() = default;
  virtual std::chrono::nanoseconds now() = 0;
  virtual void sleep_for(std::chrono::nanoseconds d) = 0;
  // The steady clock and the system's sleep.
  static LockWaitClock& Default();
};

inline constexpr std::chrono::milliseconds kContainerLockTimeout{30000};
inline constexpr std::chrono::milliseconds kContainerLockRetry{25};

// The lock file's path. When the container exists it is its canonical path +
// ".lock"; otherwise the parent directory is created (with its ancestors)
// and canonicalised, and the container's file name appended. A path with no
// normal file name ("", "..", "/"): "Vesk container path must include a
// file name". A path holding a NUL byte fails before any file call.
Result<fs::path> container_lock_path(const fs::path& container_path);

// A held lock file. Destroying it unlocks (an unlock failure is ignored) and
// closes the file.
class ContainerMutationLock {
 public:
  explicit ContainerMutationLock(std::unique_ptr<FileLock> held) : held_(std::move(held)) {}

 private:
  std::unique_ptr<FileLock> held_;
};

// Takes the lock file of `container_path`, first failure wins:
//   the lock path's errors, as they are;
//   "Failed to create Vesk container lock directory: {dir}";
//   "Failed to open Vesk container mutation lock: {lock path}";
//   "Failed to acquire Vesk container mutation lock: {lock path}" (locking
//     failed other than by contention);
//   "Timed out after 30000 ms waiting for Vesk container mutation lock: {lock path}".
// The operating system's error is kept as the cause, never in the text.
Result<std::unique_ptr<ContainerMutationLock>> acquire_container_lock(const fs::path& container_path, Env& env,
                                                                      LockWaitClock& clock = LockWaitClock::Default());

// Both locks of one mutation, taken in order (mutex, then file lock) and
// released in reverse. When the file lock cannot be taken the mutex is let go
// again and the error returned.
class ContainerMutation {
 public:
  static Result<std::unique_ptr<ContainerMutation>> begin(const fs::path& container_path, Env& env,
                                                          LockWaitClock& clock = LockWaitClock::Default());
  ~ContainerMutation() {
    file_lock_.reset();  // the file first, the mutex after it
  }

 private:
  ContainerMutation(std::unique_lock<std::mutex> mutex, std::unique_ptr<ContainerMutationLock> file_lock)
      : mutex_(std::move(mutex)), file_lock_(std::move(file_lock)) {}

  std::unique_lock<std::mutex> mutex_;
  std::unique_ptr<ContainerMutationLock> file_lock_;
};

}  // namespace vesk
