#include "base/trace.h"

#include <gtest/gtest.h>

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "base/status.h"
#include "base/trace_recorder.h"

namespace vesk {
namespace {

using Recorder = testing::TraceRecorder;

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
