// A tracing receiver for tests: keeps what it sees as lines of text.
#pragma once

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "base/trace.h"

namespace vesk::testing {

// Records what it sees as lines: "enter name target parent-name field=value...".
class TraceRecorder : public trace::Receiver {
 public:
  void enter(const trace::SpanData& s) override {
    std::lock_guard<std::mutex> g(mu_);
    names_[s.id] = std::string(s.name);
    levels[std::string(s.name)] = s.level;
    std::string line = "enter " + std::string(s.name) + " " + std::string(s.target);
    line += " in " + (s.parent ? names_[s.parent] : std::string("-"));
    for (const trace::Field& f : s.fields) line += " " + std::string(f.name) + "=" + text(f.value);
    lines.push_back(line);
  }
  void record(uint64_t id, std::string_view field, const trace::Value& v) override {
    std::lock_guard<std::mutex> g(mu_);
    lines.push_back("record " + names_[id] + " " + std::string(field) + "=" + text(v));
  }
  void leave(uint64_t id) override {
    std::lock_guard<std::mutex> g(mu_);
    lines.push_back("leave " + names_[id]);
  }
  void event(uint64_t parent, std::string_view name, std::string_view, trace::Level,
             const std::vector<trace::Field>&) override {
    std::lock_guard<std::mutex> g(mu_);
    lines.push_back("event " + std::string(name) + " in " + (parent ? names_[parent] : std::string("-")));
  }
  static std::string text(const trace::Value& v) {
    struct {
      std::string operator()(std::monostate) const { return "?"; }
      std::string operator()(bool b) const { return b ? "true" : "false"; }
      std::string operator()(int64_t i) const { return std::to_string(i); }
      std::string operator()(uint64_t u) const { return std::to_string(u); }
      std::string operator()(double d) const { return std::to_string(d); }
      std::string operator()(const std::string& s) const { return '"' + s + '"'; }
    } visit;
    return std::visit(visit, v);
  }
  std::vector<std::string> lines;
  std::map<std::string, trace::Level> levels;  // the level each span name was last entered at

  // The lines that start with `prefix`, in order.
  std::vector<std::string> starting(const std::string& prefix) {
    std::lock_guard<std::mutex> g(mu_);
    std::vector<std::string> out;
    for (const std::string& l : lines)
      if (l.rfind(prefix, 0) == 0) out.push_back(l);
    return out;
  }

 private:
  std::mutex mu_;
  std::map<uint64_t, std::string> names_;
};

}  // namespace vesk::testing
