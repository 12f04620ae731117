// Tracing: structured spans and events around the main operations.
//
// A span has a name, a target (the part of the system it belongs to, such as
// "vesk::storage"), a level and named fields; it is entered by a Span guard
// and left when the guard dies, on every path out of the operation, errors
// included. A field may be declared without a value and filled in later
// (Span::record). Spans nest per thread: a span entered while another is open
// on the same thread is its child. Events are single points with fields.
//
// Nothing is printed and no file is written: what happens to spans is up to
// a Receiver, and none is installed unless the embedding program (a test, a
// tool) installs one. With no receiver a span costs one relaxed atomic load
// and a branch: the VESK_SPAN macro evaluates its fields only when a receiver
// is there, so no text is formatted and nothing is allocated.
//
//   VESK_SPAN(span, "collect_sdr", "vesk::recall", trace::Level::Info, trace::field("top_k", top_k));
//   ...
//   span.record("selected_count", n);
#pragma once

#include <atomic>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

namespace vesk::trace {

enum class Level : uint8_t { Error, Warn, Info, Debug, Trace };

// A field's value: absent (declared only), or one of these.
using Value = std::variant<std::monostate, bool, int64_t, uint64_t, double, std::string>;

struct Field {
  std::string_view name;  // a literal: lives as long as the program
  Value value;
};

// A field with a value. Integers keep their sign, optionals without a value
// and nulls are absent, texts are copied.
template <class T>
Field field(std::string_view name, const T& v) {
  if constexpr (std::is_same_v<T, bool>) {
    return {name, Value(v)};
  } else if constexpr (std::is_integral_v<T> && std::is_signed_v<T>) {
    return {name, Value(static_cast<int64_t>(v))};
  } else if constexpr (std::is_integral_v<T>) {
    return {name, Value(static_cast<uint64_t>(v))};
  } else if constexpr (std::is_floating_point_v<T>) {
    return {name, Value(static_cast<double>(v))};
  } else if constexpr (requires { v.has_value(); *v; }) {
    return v ? field(name, *v) : Field{name, Value()};
  } else {
    return {name, Value(std::string(std::string_view(v)))};
  }
}
// A field declared without a value, to be recorded later.
inline Field empty(std::string_view name) { return {name, Value()}; }

struct SpanData {
  uint64_t id = 0;
  uint64_t parent = 0;  // 0: no enclosing span on this thread
  std::string_view name;
  std::string_view target;
  Level level = Level::Info;
  std::vector<Field> fields;
};

// Gets every span and event while it is installed; called on the thread
// that opens or leaves the span, possibly from several threads at once.
class Receiver {
 public:
  virtual ~Receiver() = default;
  virtual void enter(const SpanData& span) = 0;
  // A value recorded into a declared field of an open span.
  virtual void record(uint64_t span_id, std::string_view field, const Value& value) = 0;
  virtual void leave(uint64_t span_id) = 0;
  // parent: the innermost open span of the thread, or 0.
  virtual void event(uint64_t parent, std::string_view name, std::string_view target, Level level,
                     const std::vector<Field>& fields) = 0;
};

// Installs (or with null removes) the receiver. Spans already open when it
// changes are left through the receiver that saw them enter.
void set_receiver(std::shared_ptr<Receiver> receiver);

namespace detail {
extern std::atomic<bool> active;
}  // namespace detail

// Whether a receiver is installed: the one check on the hot path.
inline bool enabled() { return detail::active.load(std::memory_order_relaxed); }

// The guard of one span; an empty Span (no receiver at entry) does nothing.
class Span {
 public:
  Span() = default;
  static Span enter(std::string_view name, std::string_view target, Level level, std::initializer_list<Field> fields);
  Span(Span&& o) noexcept : receiver_(std::move(o.receiver_)), id_(o.id_), parent_(o.parent_) { o.id_ = 0; }
  Span& operator=(Span&&) = delete;
  ~Span() { leave(); }

  // Fills a field declared at entry.
  template <class T>
  void record(std::string_view name, const T& v) {
    if (id_) record_value(name, field(name, v).value);
  }

 private:
  void record_value(std::string_view name, const Value& value);
  void leave();

  std::shared_ptr<Receiver> receiver_;
  uint64_t id_ = 0;
  uint64_t parent_ = 0;
};

void event(std::string_view name, std::string_view target, Level level, std::initializer_list<Field> fields);

}  // namespace vesk::trace

// Opens a span named `var` for the rest of the enclosing scope; the fields
// are evaluated only when a receiver is installed.
#define VESK_SPAN(var, name, target, level, ...)                                                         \
  ::vesk::trace::Span var = ::vesk::trace::enabled()                                                    \
                                ? ::vesk::trace::Span::enter(name, target, level, {__VA_ARGS__}) \
                                : ::vesk::trace::Span()

#define VESK_EVENT(name, target, level, ...) \
  do {                                       \
    if (::vesk::trace::enabled()) ::vesk::trace::event(name, target, level, {__VA_ARGS__}); \
  } while (false)
