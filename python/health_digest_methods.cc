// The memory health digest. It keeps the interpreter lock, also while the
// correction log is read: every piece is a bounded read of one part.
#include <cstdint>
#include <optional>

#include "value_classes.h"
#include "vesk_object.h"

namespace vesk::py {
namespace {

MemoryHealthDigest get_memory_health_digest(Vesk& self, std::optional<uint64_t> limit) {
  return self.get_memory_health_digest(limit);
}
constexpr Method kGetMemoryHealthDigest{"Vesk", "get_memory_health_digest($self, limit=None)",
                                        get_memory_health_digest};

}  // namespace

MethodRows health_digest_methods() { return {bind<kGetMemoryHealthDigest>()}; }

}  // namespace vesk::py
