#include "write/namespace_list.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace vesk {
namespace {

Record in(std::string ns) {
  Record r;
  r.namespace_ = std::move(ns);
  return r;
}

TEST(ListNamespaces, DistinctAndInByteOrder) {
  std::vector<Record> records{in("work"), in("default"), in("Alpha"), in("work"), in("_x"), in("9")};
  EXPECT_EQ(list_namespaces(records), (std::vector<std::string>{"9", "Alpha", "_x", "default", "work"}));
  EXPECT_TRUE(list_namespaces(std::vector<Record>{}).empty());
}

TEST(ListNamespaces, TakesMapEntriesAndPointers) {
  StringKeyMap<Record> by_id{{"a", in("work")}, {"b", in("default")}};
  EXPECT_EQ(list_namespaces(by_id), (std::vector<std::string>{"default", "work"}));
  std::map<std::string, std::shared_ptr<Record>> shared{{"a", std::make_shared<Record>(in("Beta"))}};
  EXPECT_EQ(list_namespaces(shared), (std::vector<std::string>{"Beta"}));
}

}  // namespace
}  // namespace vesk
