#include "base/trace.h"

#include <gtest/gtest.h>

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "base/status.h"

namespace vesk {
namespace {

// Records what it sees as lines: "enter name target parent-name field=value...".
class Recorder : public trace::Receiver {
 public:
  void enter(const trace::SpanData& s) override {
    std::lock_guard<std::mutex> g(mu_);
    names_[s.id] = std::string(s.name);
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

 private:
  std::mutex mu_;
  std::map<uint64_t, std::string> names_;
};

Status failing_operation(int& evaluated) {
  VESK_SPAN(span, "outer", "vesk::test", trace::Level::Info, trace::field("n", ++evaluated),
            trace::field("who", std::optional<std::string>()), trace::empty("count"));
  {
    VESK_SPAN(inner, "inner", "vesk::test", trace::Level::Debug, trace::field("ok", true));
    VESK_EVENT("step", "vesk::test", trace::Level::Info);
  }
  span.record("count", size_t{3});
  return Status::Runtime("refused");
}

TEST(Trace, SpansNestAndLeaveOnEveryPathAndCostNothingWithoutAReceiver) {
  int evaluated = 0;
  EXPECT_FALSE(failing_operation(evaluated).ok());
  EXPECT_EQ(evaluated, 0) << "no receiver: the fields are never evaluated";

  auto recorder = std::make_shared<Recorder>();
  trace::set_receiver(recorder);
  EXPECT_FALSE(failing_operation(evaluated).ok());
  trace::set_receiver(nullptr);
  EXPECT_EQ(recorder->lines, (std::vector<std::string>{
                                 "enter outer vesk::test in - n=1 who=? count=?",
                                 "enter inner vesk::test in outer ok=true",
                                 "event step in inner",
                                 "leave inner",
                                 "record outer count=3",
                                 "leave outer",
                             }));
}

}  // namespace
}  // namespace vesk
