// Status and Result: how every layer of the core reports failure.
//
// An operation returns a Status (or a Result<T> carrying a value) instead of
// throwing. The status holds the error family and the exact message the caller
// sees; the Python binding maps the family to a built-in exception class:
//   Runtime -> RuntimeError, Value -> ValueError, OS -> OSError,
//   Key -> KeyError, Type -> TypeError, Attribute -> AttributeError.
//
// A failure of a system call (System) also keeps the operating system's error
// number, for callers that show it beside the text.
//
// A failure may wrap the lower failure that caused it (Wrap): its message is
// then the outer text alone ("topology::save: write /s/topology.cog"), and
// cause() keeps the inner one (the file system's error) for whoever wants
// to look further. Nothing that shows a message adds the causes to it.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace vesk {

enum class ErrorKind : unsigned char { Runtime, Value, OS, Key, Type, Attribute };

class [[nodiscard]] Status {
 public:
  Status() = default;
  static Status Ok() { return Status(); }
  static Status Error(ErrorKind kind, std::string message) { return Status(kind, std::move(message)); }
  static Status Runtime(std::string m) { return Status(ErrorKind::Runtime, std::move(m)); }
  static Status Value(std::string m) { return Status(ErrorKind::Value, std::move(m)); }
  static Status OS(std::string m) { return Status(ErrorKind::OS, std::move(m)); }
  static Status Key(std::string m) { return Status(ErrorKind::Key, std::move(m)); }
  static Status Type(std::string m) { return Status(ErrorKind::Type, std::move(m)); }
  // An OS failure of a system call: the operating system's text for `err`
  // as the message, and the number kept in os_errno().
  static Status System(int err, std::string m) {
    Status s(ErrorKind::OS, std::move(m));
    s.os_errno_ = err;
    return s;
  }
  // A failure with its own message that keeps `cause` (itself a failure).
  static Status Wrap(ErrorKind kind, std::string message, Status cause) {
    Status s(kind, std::move(message));
    if (!cause.ok()) s.cause_ = std::make_shared<const Status>(std::move(cause));
    return s;
  }

  bool ok() const { return !failed_; }
  explicit operator bool() const { return ok(); }
  ErrorKind kind() const { return kind_; }
  const std::string& message() const { return message_; }
  // The operating system's error number of a System failure; 0 otherwise.
  int os_errno() const { return os_errno_; }
  // The wrapped failure, or null.
  const Status* cause() const { return cause_.get(); }

  // The same failure under another family (e.g. an I/O error surfacing from
  // an operation whose family is Runtime).
  Status as(ErrorKind kind) const {
    Status s = *this;
    if (failed_) s.kind_ = kind;
    return s;
  }

 private:
  Status(ErrorKind kind, std::string message) : failed_(true), kind_(kind), message_(std::move(message)) {}
  bool failed_ = false;
  ErrorKind kind_ = ErrorKind::Runtime;
  int os_errno_ = 0;
  std::string message_;
  std::shared_ptr<const Status> cause_;
};

// A value or a failure.
template <typename T>
class [[nodiscard]] Result {
 public:
  Result(T value) : v_(std::move(value)) {}
  Result(Status status) : v_(std::move(status)) {}

  bool ok() const { return v_.index() == 0; }
  explicit operator bool() const { return ok(); }
  T& value() & { return std::get<0>(v_); }
  const T& value() const& { return std::get<0>(v_); }
  T&& value() && { return std::get<0>(std::move(v_)); }
  T& operator*() & { return value(); }
  const T& operator*() const& { return value(); }
  T* operator->() { return &value(); }
  const T* operator->() const { return &value(); }
  const Status& status() const {
    static const Status kOk;
    return ok() ? kOk : std::get<1>(v_);
  }

 private:
  std::variant<T, Status> v_;
};

}  // namespace vesk

// Propagate a failed Status out of the current function.
#define VESK_RETURN_IF_ERROR(expr)            \
  do {                                        \
    ::vesk::Status _vesk_st = (expr);         \
    if (!_vesk_st.ok()) return _vesk_st;      \
  } while (0)
