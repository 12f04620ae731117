#include "base/trace.h"

#include <mutex>
#include <utility>

namespace vesk::trace {

namespace detail {
std::atomic<bool> active{false};
}  // namespace detail

namespace {

std::mutex receiver_mu;
std::shared_ptr<Receiver> installed;
std::atomic<uint64_t> next_id{1};

// The innermost open span of this thread (0: none).
uint64_t& current() {
  thread_local uint64_t id = 0;
  return id;
}

std::shared_ptr<Receiver> receiver() {
  std::lock_guard<std::mutex> g(receiver_mu);
  return installed;
}

}  // namespace

void set_receiver(std::shared_ptr<Receiver> r) {
  std::lock_guard<std::mutex> g(receiver_mu);
  installed = std::move(r);
  detail::active.store(installed != nullptr, std::memory_order_relaxed);
}

Span Span::enter(std::string_view name, std::string_view target, Level level, std::initializer_list<Field> fields) {
  Span s;
  s.receiver_ = receiver();
  if (!s.receiver_) return s;
  s.id_ = next_id.fetch_add(1, std::memory_order_relaxed);
  s.parent_ = current();
  s.receiver_->enter(SpanData{s.id_, s.parent_, name, target, level, std::vector<Field>(fields)});
  current() = s.id_;
  return s;
}

void Span::record_value(std::string_view name, const Value& value) { receiver_->record(id_, name, value); }

void Span::leave() {
  if (!id_) return;
  receiver_->leave(id_);
  // Spans leave in reverse order of entry on their thread; a guard moved to
  // another thread restores that thread's view only if it was innermost.
  if (current() == id_) current() = parent_;
  id_ = 0;
  receiver_.reset();
}

void event(std::string_view name, std::string_view target, Level level, std::initializer_list<Field> fields) {
  if (std::shared_ptr<Receiver> r = receiver()) r->event(current(), name, target, level, std::vector<Field>(fields));
}

}  // namespace vesk::trace
