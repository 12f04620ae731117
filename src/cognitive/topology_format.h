// The co-recall graph file "topology.cog": one Topology.
//
// One JSON object, compact and sealed like every layer file
// (layer_file_save.h, sealed_format.h):
//
//   level     key     JSON value                                 absent
//   Topology  edges   object: node number -> array of Edge       refused
//                     objects, in the list's order
//   Edge      target  integer, u64: the other record's node      refused
//   Edge      weight  number, f32 in [0.01, 1]                   refused
//
// A node number is the FNV-1a 64 hash of a record id (topology.h), so the
// file holds no record ids. Node numbers are member names written as the
// decimal digits of the u64 inside a JSON string; they and the targets are
// full 64-bit values, most above 2^53, written and read exactly, never
// through a double. The nodes follow the in-memory map's order; each node's
// edges keep the order in which they were first added. An empty graph is
// {"edges":{}}. A weight that is not finite is written as 0.0 (the decay
// drops such an edge before any save it makes).
//
// Reading: members of other names are skipped at both levels; a member given
// twice in the top object or in one edge is refused, and so are a member
// name under "edges" that is not the decimal form of a u64, a negative or
// fractional target, and a null weight. A node number given twice keeps the
// later list. A target need not be a node itself. The top object and each
// edge may also be a JSON array of their values in table order.
#pragma once

#include <string_view>

#include "base/status.h"
#include "cognitive/topology.h"
#include "model/json_struct.h"

namespace vesk {

template <>
struct JsonCodec<Edge> : JsonStructCodec<Edge> {
  static const JsonStruct<Edge>& fields();
};
template <>
struct JsonCodec<Topology> : JsonStructCodec<Topology> {
  static const JsonStruct<Topology>& fields();
};

// The whole payload as the object above; errors carry " at line {} column {}".
Result<Topology> parse_topology(std::string_view payload);

}  // namespace vesk
