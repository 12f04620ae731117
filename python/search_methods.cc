// The filter search over the records.
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "enum_classes.h"
#include "record_class.h"
#include "vesk_object.h"

namespace vesk::py {
namespace {

// The namespace filter is converted after every other argument; the search
// runs without the interpreter lock.
PyObject* search(Vesk& self, std::optional<std::string> query, std::optional<Level> level,
                 std::optional<std::vector<std::string>> tags, std::optional<uint64_t> limit,
                 std::optional<std::string> content_type, std::optional<std::string> source_type,
                 PyObject* namespace_, std::optional<std::string> semantic_type) {
  NamespaceFilter filter;
  if (namespace_ && !FromPy<NamespaceFilter>::convert(namespace_, filter)) return nullptr;
  SearchQuery q{std::move(query),        level,
                std::move(tags),         limit ? std::optional<size_t>(static_cast<size_t>(*limit)) : std::nullopt,
                std::move(content_type), std::move(source_type),
                std::move(semantic_type), std::move(filter.names)};
  std::vector<Record> records = without_gil([&] { return self.search(q); });
  return to_py(records);
}
constexpr Method kSearch{"Vesk",
                         "search($self, query=None, level=None, tags=None, limit=None, content_type=None, "
                         "source_type=None, namespace=None, semantic_type=None)",
                         search};

}  // namespace

MethodRows search_methods() { return {bind<kSearch>()}; }

}  // namespace vesk::py
