// Results handed to Python through JSON text and the host's json.loads.
#include "binding/json_bridge.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "binding/embedded_python.h"
#include "model/json_struct.h"

namespace vesk {

// A small nested result with the field kinds the audit graph results hold.
struct BridgeRow {
  std::string zeta;  // first in field order, last alphabetically
  float score = 0.0f;
  std::optional<double> valid_at;
  int64_t count = 0;
  std::vector<std::string> ids;
};

template <>
struct JsonCodec<BridgeRow> : JsonStructCodec<BridgeRow> {
  static const JsonStruct<BridgeRow>& fields() {
    static const JsonStruct<BridgeRow> s("struct BridgeRow",
                                         {json_field<&BridgeRow::zeta>("zeta"), json_field<&BridgeRow::score>("score"),
                                          json_field<&BridgeRow::valid_at>("valid_at"),
                                          json_field<&BridgeRow::count>("count"), json_field<&BridgeRow::ids>("ids")});
    return s;
  }
};

namespace py {
namespace {

class JsonBridgeTest : public EmbeddedPython {};

TEST_F(JsonBridgeTest, FieldOrderNullsAndNumbers) {
  std::vector<BridgeRow> rows = {
      {"a", std::nanf(""), std::nullopt, INT64_MAX, {"x"}},
      {"b", std::numeric_limits<float>::infinity(), 12.0, -1, {}},
      {"c", 0.5f, 1.5, 0, {}},
  };
  bind("rows", to_python_via_json(rows));
  EXPECT_EQ(eval("[list(r) for r in rows][0]"), "['zeta', 'score', 'valid_at', 'count', 'ids']");
  EXPECT_EQ(eval("[(r['score'], r['valid_at']) for r in rows]"), "[(None, None), (None, 12.0), (0.5, 1.5)]");
  EXPECT_EQ(eval("(rows[0]['count'] == 2**63 - 1, type(rows[1]['valid_at']).__name__)"), "(True, 'float')");
}

}  // namespace
}  // namespace py
}  // namespace vesk
