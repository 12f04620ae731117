#include "exchange/capsule/container_import.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "exchange/container_builder.h"
#include "storage/fault_env.h"
#include "storage/test_dir.h"

namespace vesk {
namespace {

using ::testing::UnorderedElementsAre;
using testing::ContainerBuilder;
using testing::TempDir;

// Every entry below `dir`, relative, directories marked with a '/'.
std::vector<std::string> tree(const fs::path& dir) {
  std::vector<std::string> out;
  for (const auto& e : fs::recursive_directory_iterator(dir)) {
    out.push_back(fs::relative(e.path(), dir).string() + (e.is_directory() ? "/" : ""));
  }
  return out;
}

struct Fixture {
  TempDir dir;
  fs::path container = dir / "c.vesk";
  std::vector<CapsuleSegment> segments;

  explicit Fixture(const testing::Files& files) {
    ContainerBuilder b;
    segments = b.add(files).segments;
    b.write(container);
  }
  Result<ContainerImportReport> import(const fs::path& target, Env& env = Env::Default()) {
    return import_container_segments(container, target, segments, env);
  }
};

TEST(ContainerImport, RestoresEveryFileAndLeavesNoStaging) {
  // The second name is what a temporary file beside the first would be
  // called: restoring it must not replace the first.
  Fixture f({{"brain.vesk", "records"}, {"index/x.import.tmp", "second"}, {"index/x.y", "first"}, {"e", ""}});
  const fs::path target = f.dir / "deep/er/restored";
  auto report = f.import(target);
  ASSERT_TRUE(report.ok()) << report.status().message();
  EXPECT_EQ(report->target_path, target.string());
  EXPECT_EQ(report->segment_count, 4u);
  EXPECT_EQ(report->restored_size, 18u);
  EXPECT_THAT(tree(target), UnorderedElementsAre("brain.vesk", "index/", "index/x.import.tmp", "index/x.y", "e"));
  EXPECT_EQ(testing::slurp(target / "index/x.y"), "first");
  EXPECT_EQ(testing::slurp(target / "index/x.import.tmp"), "second");
  EXPECT_THAT(tree(f.dir / "deep/er"), UnorderedElementsAre("restored/", "restored/brain.vesk", "restored/index/",
                                                            "restored/index/x.import.tmp", "restored/index/x.y",
                                                            "restored/e"));
}

TEST(ContainerImport, AFailureLeavesNeitherTargetNorStaging) {
  const struct {
    const char* what;
    testing::Files files;
    std::function<void(Fixture&, testing::FaultEnv&)> set_up;
    std::string error;  // empty: any
  } cases[] = {
      {"digest", {{"a", "one"}, {"b/c", "two"}},
       [](Fixture& f, testing::FaultEnv&) { f.segments[1].sha256 = std::string(64, '0'); },
       "Checksum mismatch for segment b/c"},
      {"two names, one file", {{"a/b", "one"}, {"a//b", "two"}}, nullptr,
       "Duplicate Vesk container segment: a//b"},
      {"unsafe name", {{"a", "one"}, {"b", "two"}},
       [](Fixture& f, testing::FaultEnv&) { f.segments[1].name = "../b"; },
       "Unsafe Vesk container segment path: ../b"},
      {"a file where a directory goes", {{"a", "one"}, {"a/b", "two"}}, nullptr, ""},
      {"rename", {{"a", "one"}, {"b/c", "two"}},
       [](Fixture&, testing::FaultEnv& env) { env.fail_rename("b/c"); }, "injected rename failure"},
      {"force", {{"a", "one"}, {"b/c", "two"}},
       [](Fixture&, testing::FaultEnv& env) { env.fail_sync("import.tmp/1"); }, "injected sync failure"},
      {"read", {{"a", "one"}, {"b/c", "two"}},
       [](Fixture&, testing::FaultEnv& env) { env.fail_reads("c.vesk"); }, "injected read failure"},
      {"short container", {{"a", "one"}, {"b/c", "two"}},
       [](Fixture& f, testing::FaultEnv&) { f.segments[1].offset = 1 << 20; }, "failed to fill whole buffer"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Fixture f(c.files);
    testing::FaultEnv env;
    if (c.set_up) c.set_up(f, env);
    auto report = f.import(f.dir / "target", env);
    ASSERT_FALSE(report.ok());
    EXPECT_EQ(report.status().kind(), ErrorKind::OS);
    if (!c.error.empty()) {
      EXPECT_EQ(report.status().message(), c.error);
    }
    EXPECT_THAT(tree(f.dir.path()), UnorderedElementsAre("c.vesk"));
  }
}

TEST(ContainerImport, TheTargetIsCheckedBeforeAnythingIsWritten) {
  Fixture f(testing::Files{{"a", "one"}});
  fs::create_directory(f.dir / "empty");
  const std::string staging = (f.dir / (".busy.vesk-import-" + std::to_string(::getpid()))).string();
  fs::create_directory(staging);
  const struct {
    std::string target;
    std::string error;
  } cases[] = {
      {(f.dir / "empty").string(), "Import target must not exist; refusing to overwrite " + (f.dir / "empty").string()},
      {(f.dir / "c.vesk").string(), "Import target must not exist; refusing to overwrite " + (f.dir / "c.vesk").string()},
      {"", "Import target must have a parent directory"},
      {(f.dir / "new/..").string(), "Invalid import target name"},
      {(f.dir / "busy").string(), "Import staging path already exists: " + staging},
      {(f.dir / "nul").string() + std::string("\0/x", 3), "Path contains a NUL byte"},
  };
  for (const auto& c : cases) {
    auto report = f.import(c.target);
    ASSERT_FALSE(report.ok()) << c.target;
    EXPECT_EQ(report.status().message(), c.error);
  }
  // Only "new" was made (the parent of "new/.."); the NUL never reached a
  // file call.
  EXPECT_THAT(tree(f.dir.path()),
              UnorderedElementsAre("c.vesk", "empty/", "new/", staging.substr(f.dir.path().string().size() + 1) + "/"));
}

TEST(ContainerImport, ABareNameRestoresBesideTheCurrentDirectory) {
  Fixture f(testing::Files{{"a", "one"}});
  const fs::path before = fs::current_path();
  fs::current_path(f.dir.path());
  auto report = f.import("restored/");
  fs::current_path(before);
  ASSERT_TRUE(report.ok()) << report.status().message();
  EXPECT_EQ(report->target_path, "restored/");
  EXPECT_EQ(testing::slurp(f.dir / "restored/a"), "one");
}

}  // namespace
}  // namespace vesk
