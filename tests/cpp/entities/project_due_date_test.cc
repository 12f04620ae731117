#include "entities/project_due_date.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace vesk {
namespace {

constexpr int64_t kDay = 86400;
// 2030-01-01 in days since 1970-01-01.
constexpr int64_t k2030 = 21915;

TEST(ProjectDueDate, DayFollowsTheWrittenDateKeyTheInstant) {
  struct Case {
    std::string text;
    std::optional<ProjectDue> want;
  };
  for (const Case& c : std::vector<Case>{
           {"2030-01-01", ProjectDue{k2030, k2030 * kDay}},
           {"2030-1-1", ProjectDue{k2030, k2030 * kDay}},
           {"2030-01-01T12:00:00Z", ProjectDue{k2030, k2030 * kDay + 12 * 3600}},
           // 23:30 at -05:00 is due on its written day, sorted at 04:30 UTC
           // of the next.
           {"2030-01-01T23:30:00-05:00", ProjectDue{k2030, (k2030 + 1) * kDay + 4 * 3600 + 1800}},
           {"2030-01-02T01:00:00+02:00", ProjectDue{k2030 + 1, k2030 * kDay + 23 * 3600}},
           {"1969-12-31", ProjectDue{-1, -kDay}},
           {"2024-02-29", ProjectDue{19782, 19782 * kDay}},
           {"2023-02-29", std::nullopt},
           {"2030-13-01", std::nullopt},
           {"2030-01-01 ", std::nullopt},
           {" 2030-01-01", std::nullopt},
           {"20300-01-01", std::nullopt},
           {"next week", std::nullopt},
           {"", std::nullopt},
       }) {
    std::optional<ProjectDue> got = parse_project_due(c.text);
    ASSERT_EQ(got.has_value(), c.want.has_value()) << c.text;
    if (got) {
      EXPECT_EQ(got->day, c.want->day) << c.text;
      EXPECT_EQ(got->sort_key, c.want->sort_key) << c.text;
    }
  }
}

TEST(ProjectDueDate, UtcDayOfAnInstant) {
  EXPECT_EQ(utc_day(UtcInstant{k2030 * kDay + kDay - 1, 999999999}), k2030);
  EXPECT_EQ(utc_day(UtcInstant{-1, 0}), -1);
}

}  // namespace
}  // namespace vesk
