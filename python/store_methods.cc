#include "store_methods.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "binding/enums.h"
#include "enum_classes.h"
#include "record_class.h"
#include "vesk_object.h"
#include "write/store_request.h"

namespace vesk::py {
namespace {

// Runs the whole road without the interpreter lock; the classifier and
// embedding callbacks take it for their own calls.
Result<std::string> store(Vesk& self, std::string content, std::optional<Level> level,
                          std::optional<std::vector<std::string>> tags, std::optional<bool> pin,
                          std::optional<std::string> content_type, std::optional<std::string> source_type,
                          std::optional<StringMap> metadata, std::optional<bool> deduplicate,
                          std::optional<std::string> caused_by_id, std::optional<std::string> channel,
                          std::optional<bool> auto_promote, std::optional<std::string> namespace_,
                          std::optional<std::string> semantic_type, std::optional<double> valid_from,
                          std::optional<double> valid_until) {
  StoreRequest r;
  r.content = std::move(content);
  r.level = level;
  r.tags = std::move(tags);
  r.pin = pin;
  r.content_type = std::move(content_type);
  r.source_type = std::move(source_type);
  r.metadata = std::move(metadata);
  r.deduplicate = deduplicate;
  r.caused_by_id = std::move(caused_by_id);
  r.channel = std::move(channel);
  r.auto_promote = auto_promote.value_or(true);
  r.namespace_ = std::move(namespace_);
  r.semantic_type = std::move(semantic_type);
  r.valid_from = valid_from;
  r.valid_until = valid_until;
  Result<std::string> id = self.store(std::move(r));
  if (!id.ok()) return id.status().as(ErrorKind::Runtime);
  return id;
}
constexpr Method kStore{"Vesk",
                        "store($self, content, level=None, tags=None, pin=None, content_type=None, source_type=None, "
                        "metadata=None, deduplicate=None, caused_by_id=None, channel=None, auto_promote=None, "
                        "namespace=None, semantic_type=None, valid_from=None, valid_until=None)",
                        store, Gil::Released};

std::optional<Record> get(Vesk& self, std::string record_id) { return self.get(record_id); }
constexpr Method kGet{"Vesk", "get($self, record_id)", get};

uint64_t count(Vesk& self, std::optional<Level> level) { return self.count(level); }
constexpr Method kCount{"Vesk", "count($self, level=None)", count};

}  // namespace

PyMethodDef store_method() { return bind<kStore>(); }
PyMethodDef get_method() { return bind<kGet>(); }
PyMethodDef count_method() { return bind<kCount>(); }

}  // namespace vesk::py
