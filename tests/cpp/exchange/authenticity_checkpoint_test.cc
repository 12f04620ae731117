#include "exchange/capsule/authenticity_checkpoint.h"

#include <gtest/gtest.h>

#include <string>

#include "base/hex.h"
#include "exchange/capsule/signing_key.h"
#include "storage/test_dir.h"

namespace vesk {
namespace {

using testing::spit;
using testing::TempDir;

// A valid checkpoint's text with one member's value replaced.
std::string checkpoint_text(const std::string& member = "", const std::string& value = "") {
  const auto key = parse_signing_key_hex(std::string(64, '1')).value();
  const std::string public_hex =
      hex_encode({reinterpret_cast<const char*>(key->public_key().data()), key->public_key().size()});
  std::string members[][2] = {{"format", "\"vesk-authenticity-checkpoint\""},
                              {"version", "1"},
                              {"public_key", "\"" + public_hex + "\""},
                              {"generation", "4"},
                              {"manifest_sha256", "\"" + std::string(64, 'A') + "\""},
                              {"updated_at", "17"}};
  std::string out = "{";
  for (auto& m : members) {
    if (out.size() > 1) out += ",";
    out += "\"" + m[0] + "\": " + (m[0] == member ? value : m[1]);
  }
  return out + "}";
}

TEST(AuthenticityCheckpoint, Reading) {
  struct Case {
    std::string text;
    std::string error;  // empty: reads
  };
  const Case cases[] = {
      {checkpoint_text(), ""},
      {checkpoint_text().substr(0, checkpoint_text().size() - 1) + ",\"note\":\"kept apart\"}", ""},
      {checkpoint_text() + "\n  ", ""},
      {checkpoint_text("version", "2"), "Invalid Vesk authenticity checkpoint"},
      {checkpoint_text("generation", "0"), "Invalid Vesk authenticity checkpoint"},
      {checkpoint_text("manifest_sha256", "\"" + std::string(63, 'a') + "\""), "Invalid Vesk authenticity checkpoint"},
      {checkpoint_text("format", "\"other\""), "Invalid Vesk authenticity checkpoint"},
      {checkpoint_text().substr(0, checkpoint_text().size() - 1) + ",\"generation\":5}",
       "Invalid Vesk authenticity checkpoint JSON"},
      {checkpoint_text() + "x", "Invalid Vesk authenticity checkpoint JSON"},
      {"[\"vesk-authenticity-checkpoint\",1]", "Invalid Vesk authenticity checkpoint JSON"},
      {"", "Vesk authenticity checkpoint has an invalid size"},
      {std::string(16385, ' '), "Vesk authenticity checkpoint has an invalid size"},
  };
  for (const Case& c : cases) {
    TempDir dir;
    spit(dir / "cp.json", c.text);
    auto read = read_authenticity_checkpoint(dir / "cp.json", Env::Default());
    EXPECT_EQ(read.ok() ? "" : read.status().message(), c.error) << c.text;
  }
  TempDir dir;
  EXPECT_EQ(read_authenticity_checkpoint(dir / "none.json", Env::Default()).status().message(),
            "Vesk authenticity checkpoint does not exist: " + (dir / "none.json").native());
}

TEST(AuthenticityCheckpoint, WrittenPrettyInMemberOrder) {
  CapsuleAuthenticityCheckpoint c{"vesk-authenticity-checkpoint", 1, std::string(64, 'b'), 9, std::string(64, 'c'), 5};
  EXPECT_EQ(serialize_authenticity_checkpoint(c),
            "{\n  \"format\": \"vesk-authenticity-checkpoint\",\n  \"version\": 1,\n  \"public_key\": \"" +
                std::string(64, 'b') + "\",\n  \"generation\": 9,\n  \"manifest_sha256\": \"" + std::string(64, 'c') +
                "\",\n  \"updated_at\": 5\n}");
}

}  // namespace
}  // namespace vesk
