#include "cognitive/topology_format.h"

#include <charconv>
#include <string>
#include <utility>
#include <vector>

namespace vesk {

namespace {

// The node number a member name spells: decimal digits only, within u64.
bool parse_node_number(std::string_view text, uint64_t& out) {
  if (text.empty() || text[0] < '0' || text[0] > '9') return false;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
  return ec == std::errc() && end == text.data() + text.size();
}

bool read_edges(JsonReader& r, Topology& t) {
  if (!r.begin_map()) return false;
  t.edges.clear();
  bool ok = true, has = false;
  std::string_view key;
  while ((ok = r.next_key(has, key)) && has) {
    uint64_t node = 0;
    if (!parse_node_number(key, node)) {
      ok = r.fail_invalid_value("string \"" + std::string(key) + "\"", "a decimal u64 node number");
      break;
    }
    std::vector<Edge> list;
    if (!(ok = r.object_colon() && JsonCodec<std::vector<Edge>>::read(r, list))) break;
    t.edges.insert_or_assign(node, std::move(list));
  }
  return r.end_map(ok);
}

void write_edges(JsonWriter& w, const Topology& t) {
  w.begin_object();
  char digits[20];
  for (const auto& [node, list] : t.edges) {
    const char* end = std::to_chars(digits, digits + sizeof digits, node).ptr;
    w.key(std::string_view(digits, static_cast<size_t>(end - digits)));
    JsonCodec<std::vector<Edge>>::write(w, list);
  }
  w.end_object();
}

}  // namespace

const JsonStruct<Edge>& JsonCodec<Edge>::fields() {
  static const JsonStruct<Edge> s("struct Edge", {
                                                     json_field<&Edge::target>("target"),
                                                     json_field<&Edge::weight>("weight"),
                                                 });
  return s;
}

const JsonStruct<Topology>& JsonCodec<Topology>::fields() {
  static const JsonStruct<Topology> s("struct Topology", {json_field_fn<Topology>("edges", &read_edges, &write_edges)});
  return s;
}

Result<Topology> parse_topology(std::string_view payload) { return json_parse<Topology>(payload); }

}  // namespace vesk
