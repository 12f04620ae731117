#include "exchange/capsule/container_imports.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "base/hex.h"
#include "exchange/container_builder.h"
#include "storage/fault_env.h"
#include "storage/test_dir.h"

namespace vesk {
namespace {

using testing::ContainerBuilder;
using testing::TempDir;

std::string slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// Renames another file over the container's path as soon as the container
// has been opened for reading once: what a later open of the path would see.
class SwapAfterOpenEnv : public testing::FaultEnv {
 public:
  SwapAfterOpenEnv(fs::path container, fs::path replacement)
      : container_(std::move(container)), replacement_(std::move(replacement)) {}
  Result<std::unique_ptr<File>> open(const fs::path& path, OpenMode mode) override {
    auto f = FaultEnv::open(path, mode);
    if (f.ok() && mode == OpenMode::kRead && path == container_ && !swapped_) {
      swapped_ = true;
      fs::rename(replacement_, container_);
    }
    return f;
  }

 private:
  fs::path container_, replacement_;
  bool swapped_ = false;
};

std::unique_ptr<ContainerSigningKey> key_from_seed(char first) {
  std::string seed(32, '\0');
  for (int i = 0; i < 32; ++i) seed[i] = static_cast<char>(first + i);
  auto key = parse_signing_key_hex(hex_encode(seed));
  EXPECT_TRUE(key.ok());
  return std::move(key).value();
}

// What is authenticated is what is restored: a container renamed over the
// path after the first open changes nothing of an import that has begun.
TEST(ContainerImports, EachImportReadsTheFileItOpened) {
  auto key = key_from_seed(0);
  ContainerBuilder signed_container;
  testing::GenerationEdits signed_edits;
  signed_edits.key = key.get();
  signed_container.add({{"brain.vesk", "genuine records"}, {"index/sdr.idx", "genuine index"}}, signed_edits);
  ContainerBuilder forged;
  forged.add({{"brain.vesk", "forged records!"}, {"index/sdr.idx", "forged index!"}});

  const std::string public_hex = key->public_key_hex();
  const struct {
    const char* what;
    std::function<Result<ContainerImportReport>(const fs::path&, const fs::path&, Env&)> run;
  } cases[] = {
      {"authenticated",
       [&](const fs::path& c, const fs::path& t, Env& env) {
         return import_authenticated_container(c, t, public_hex, true, env);
       }},
      {"generation", [](const fs::path& c, const fs::path& t,
                        Env& env) { return import_container_generation(c, t, 1, env); }},
      {"extraction",
       [](const fs::path& c, const fs::path& t, Env& env) {
         return extract_container_segments(c, t, {"brain.vesk", "index/sdr.idx"}, env);
       }},
  };
  for (const auto& c : cases) {
    TempDir dir;
    signed_container.write(dir / "c.vesk");
    forged.write(dir / "forged.vesk");
    SwapAfterOpenEnv env(dir / "c.vesk", dir / "forged.vesk");
    auto report = c.run(dir / "c.vesk", dir / "t", env);
    ASSERT_TRUE(report.ok()) << c.what << ": " << report.status().message();
    EXPECT_EQ(slurp(dir / "t" / "brain.vesk"), "genuine records") << c.what;
    EXPECT_EQ(slurp(dir / "t" / "index/sdr.idx"), "genuine index") << c.what;
    EXPECT_EQ(slurp(dir / "c.vesk"), forged.bytes()) << c.what;  // the swap did happen
  }
}

}  // namespace
}  // namespace vesk
