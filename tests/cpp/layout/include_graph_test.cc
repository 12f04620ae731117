// The source tree's folders form a house: each folder of src/ includes only
// folders below it, store/ sits on top, and base/ (the ground floor) includes
// nothing of ours at all. A folder include cycle means two subsystems can no
// longer be built or understood apart; these tests fail on the first one.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace vesk {
namespace {

namespace fs = std::filesystem;

// folder -> folder it includes -> one include line that shows it.
using FolderGraph = std::map<std::string, std::map<std::string, std::string>>;

FolderGraph folder_graph(const fs::path& src) {
  static const std::regex kInclude(R"re(^\s*#\s*include\s+"([a-z_]+)/[^"]+")re");
  FolderGraph graph;
  for (const auto& entry : fs::recursive_directory_iterator(src)) {
    if (!entry.is_regular_file()) continue;
    const std::string ext = entry.path().extension().string();
    if (ext != ".h" && ext != ".cc") continue;
    const std::string folder = fs::relative(entry.path(), src).begin()->string();
    graph[folder];
    std::ifstream in(entry.path());
    std::string line;
    for (int n = 1; std::getline(in, line); ++n) {
      std::smatch m;
      if (!std::regex_search(line, m, kInclude) || m[1] == folder) continue;
      graph[folder].try_emplace(m[1], fs::relative(entry.path(), src).string() + ":" + std::to_string(n) + ": " + line);
    }
  }
  return graph;
}

// A cycle of folders as "a -> b -> a" with the include lines that close it,
// or none when the graph has no cycle.
std::optional<std::string> find_cycle(const FolderGraph& graph) {
  std::map<std::string, int> state;  // 0 new, 1 on the path, 2 done
  std::vector<std::string> path;
  std::optional<std::string> found;
  auto visit = [&](auto& self, const std::string& node) -> void {
    state[node] = 1;
    path.push_back(node);
    if (auto it = graph.find(node); it != graph.end()) {
      for (const auto& [next, line] : it->second) {
        if (found) return;
        if (state[next] == 1) {
          std::string text;
          auto start = std::find(path.begin(), path.end(), next);
          for (auto p = start; p != path.end(); ++p) text += *p + " -> ";
          text += next;
          for (auto p = start; p != path.end(); ++p) {
            auto q = std::next(p) == path.end() ? next : *std::next(p);
            text += "\n  " + graph.at(*p).at(q);
          }
          found = text;
          return;
        }
        if (state[next] == 0) self(self, next);
      }
    }
    path.pop_back();
    state[node] = 2;
  };
  for (const auto& [node, edges] : graph) {
    if (state[node] == 0) visit(visit, node);
    if (found) break;
  }
  return found;
}

TEST(IncludeGraph, FindsACycleAndItsLines) {
  FolderGraph graph{{"a", {{"b", "a/x.h:1"}}}, {"b", {{"c", "b/y.h:2"}}}, {"c", {{"a", "c/z.h:3"}}}};
  std::optional<std::string> cycle = find_cycle(graph);
  ASSERT_TRUE(cycle);
  EXPECT_EQ(*cycle, "a -> b -> c -> a\n  a/x.h:1\n  b/y.h:2\n  c/z.h:3");
  graph["c"].clear();
  EXPECT_FALSE(find_cycle(graph));
}

TEST(IncludeGraph, SourceFoldersHaveNoCycle) {
  const FolderGraph graph = folder_graph(fs::path(VESK_SOURCE_DIR) / "src");
  ASSERT_TRUE(graph.contains("store"));
  std::optional<std::string> cycle = find_cycle(graph);
  EXPECT_FALSE(cycle) << "folder include cycle: " << *cycle;
}

TEST(IncludeGraph, StoreIsOnTopAndBaseOnTheGround) {
  const fs::path src = fs::path(VESK_SOURCE_DIR) / "src";
  const FolderGraph graph = folder_graph(src);
  for (const auto& [folder, edges] : graph) {
    if (auto it = edges.find("store"); it != edges.end()) ADD_FAILURE() << "below store/: " << it->second;
  }
  for (const auto& [target, line] : graph.at("base")) ADD_FAILURE() << "base/ includes " << target << ": " << line;
  // The core never sees the interpreter.
  for (const auto& entry : fs::recursive_directory_iterator(src)) {
    if (!entry.is_regular_file()) continue;
    std::ifstream in(entry.path());
    std::string line;
    while (std::getline(in, line)) {
      if (line.find("#include") != std::string::npos && line.find("Python.h") != std::string::npos) {
        ADD_FAILURE() << entry.path() << ": " << line;
      }
    }
  }
}

}  // namespace
}  // namespace vesk
