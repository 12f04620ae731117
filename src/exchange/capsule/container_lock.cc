#include "exchange/capsule/container_lock.h"

#include <cerrno>
#include <system_error>
#include <thread>
#include <utility>

#include "exchange/capsule/container_file.h"

namespace vesk {

namespace {

class SteadyLockWaitClock final : public LockWaitClock {
 public:
  std::chrono::nanoseconds now() override { return std::chrono::steady_clock::now().time_since_epoch(); }
  // std::this_thread::sleep_for sleeps again after an interruption.
  void sleep_for(std::chrono::nanoseconds d) override { std::this_thread::sleep_for(d); }
};

Status no_file_name() { return Status::OS("Vesk container path must include a file name"); }

Status system_error(const std::error_code& ec) { return Status::System(ec.value(), ec.message()); }

bool normal_name(const fs::path& name) { return !name.empty() && name != "." && name != ".." && name != "/"; }

}  // namespace

std::mutex& container_mutation_mutex() {
  static std::mutex* mu = new std::mutex();  // never destroyed: used until exit
  return *mu;
}

LockWaitClock& LockWaitClock::Default() {
  static SteadyLockWaitClock* clock = new SteadyLockWaitClock();
  return *clock;
}

Result<fs::path> container_lock_path(const fs::path& container_path) {
  VESK_RETURN_IF_ERROR(check_path_argument(container_path));
  std::error_code ec;
  fs::path canonical;
  if (fs::exists(container_path, ec)) {
    canonical = fs::canonical(container_path, ec);
    if (ec) return container_io_error(system_error(ec));
  } else {
    const fs::path name = container_path.filename();
    fs::path parent = container_path.parent_path();
    if (parent.empty()) parent = ".";
    fs::create_directories(parent, ec);
    if (ec) return container_io_error(system_error(ec));
    if (!normal_name(name)) return no_file_name();
    fs::path dir = fs::canonical(parent, ec);
    if (ec) return container_io_error(system_error(ec));
    canonical = dir / name;
  }
  if (!normal_name(canonical.filename())) return no_file_name();
  canonical += ".lock";
  return canonical;
}

Result<std::unique_ptr<ContainerMutationLock>> acquire_container_lock(const fs::path& container_path, Env& env,
                                                                      LockWaitClock& clock) {
  Result<fs::path> lock_path = container_lock_path(container_path);
  if (!lock_path.ok()) return lock_path.status();
  const fs::path& path = *lock_path;
  if (path.has_parent_path()) {
    if (Status s = env.create_dirs(path.parent_path()); !s.ok()) {
      return Status::Wrap(ErrorKind::OS, "Failed to create Vesk container lock directory: " +
                                             path.parent_path().native(), s);
    }
  }
  // Made (never emptied) once here, so that "cannot open" and "cannot lock"
  // are told apart.
  {
    auto opened = env.open(path, OpenMode::kReadWriteCreate);
    if (!opened.ok()) {
      return Status::Wrap(ErrorKind::OS, "Failed to open Vesk container mutation lock: " + path.native(),
                          opened.status());
    }
  }
  const auto start = clock.now();
  for (;;) {
    auto held = env.lock(path);
    if (held.ok()) return std::make_unique<ContainerMutationLock>(std::move(held).value());
    const int err = held.status().os_errno();
    if (err != EWOULDBLOCK && err != EAGAIN) {
      return Status::Wrap(ErrorKind::OS, "Failed to acquire Vesk container mutation lock: " + path.native(),
                          held.status());
    }
    const auto waited = clock.now() - start;
    if (waited >= kContainerLockTimeout) {
      return Status::OS("Timed out after " + std::to_string(kContainerLockTimeout.count()) +
                        " ms waiting for Vesk container mutation lock: " + path.native());
    }
    clock.sleep_for(std::min<std::chrono::nanoseconds>(kContainerLockRetry, kContainerLockTimeout - waited));
  }
}

Result<std::unique_ptr<ContainerMutation>> ContainerMutation::begin(const fs::path& container_path, Env& env,
                                                                    LockWaitClock& clock) {
  std::unique_lock<std::mutex> mutex(container_mutation_mutex());
  auto file_lock = acquire_container_lock(container_path, env, clock);
  if (!file_lock.ok()) return file_lock.status();
  return std::unique_ptr<ContainerMutation>(new ContainerMutation(std::move(mutex), std::move(file_lock).value()));
}

}  // namespace vesk
