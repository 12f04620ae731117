// The store road and the record reads: store, get, count.
#include <cstdint>
#include <optional>
#include <string>

#include "binding/enums.h"
#include "enum_classes.h"
#include "record_class.h"
#include "vesk_object.h"
#include "write/store_request.h"

namespace vesk::py {

// The arguments of a record write, shared by every method that takes them.
template <>
struct RequestFields<StoreRequest> {
  static constexpr auto kFields = std::tuple{
      request_field<&StoreRequest::content>("content"),
      request_field<&StoreRequest::level>("level"),
      request_field<&StoreRequest::tags>("tags"),
      request_field<&StoreRequest::pin>("pin"),
      request_field<&StoreRequest::content_type>("content_type"),
      request_field<&StoreRequest::source_type>("source_type"),
      request_field<&StoreRequest::metadata>("metadata"),
      request_field<&StoreRequest::deduplicate>("deduplicate"),
      request_field<&StoreRequest::caused_by_id>("caused_by_id"),
      request_field<&StoreRequest::channel>("channel"),
      request_field<&StoreRequest::auto_promote>("auto_promote"),
      request_field<&StoreRequest::namespace_>("namespace"),
      request_field<&StoreRequest::semantic_type>("semantic_type"),
      request_field<&StoreRequest::valid_from>("valid_from"),
      request_field<&StoreRequest::valid_until>("valid_until"),
  };
};

namespace {

// Runs the whole road without the interpreter lock; the classifier and
// embedding callbacks take it for their own calls.
Result<std::string> store(Vesk& self, StoreRequest request) { return self.store(std::move(request)); }
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

MethodRows store_methods() { return {bind<kStore>(), bind<kGet>(), bind<kCount>()}; }

}  // namespace vesk::py
