// Labelled snapshots: writing, rolling back to, comparing and listing the
// snapshot files beside the store. None releases the interpreter lock; every
// failure, the label rules included, is a RuntimeError.
#include <string>
#include <utility>
#include <vector>

#include "base/utf8.h"
#include "binding/json_result.h"
#include "vesk_object.h"

namespace vesk::py {
namespace {

Status runtime(Status s) { return s.as(ErrorKind::Runtime); }

// The path of the written file as text.
Result<std::string> snapshot(Vesk& self, std::string label) {
  Result<fs::path> path = self.snapshot(label);
  if (!path.ok()) return runtime(path.status());
  return decode_utf8_lossy(path->string());
}
constexpr Method kSnapshot{"Vesk", "snapshot($self, label)", snapshot};

// The number of entries the file held.
Result<uint64_t> rollback(Vesk& self, std::string label) {
  Result<uint64_t> count = self.rollback(label);
  if (!count.ok()) return runtime(count.status());
  return *count;
}
constexpr Method kRollback{"Vesk", "rollback($self, label)", rollback};

JsonValue::Array id_list(std::vector<std::string> ids) {
  JsonValue::Array out;
  out.reserve(ids.size());
  for (std::string& id : ids) out.emplace_back(std::move(id));
  return out;
}

// {"added": [...], "removed": [...], "modified": [...]}.
Result<JsonObject> diff(Vesk& self, std::string label_a, std::string label_b) {
  Result<SnapshotDiff> d = self.diff(label_a, label_b);
  if (!d.ok()) return runtime(d.status());
  JsonObject out;
  out.append("added", id_list(std::move(d->added)));
  out.append("removed", id_list(std::move(d->removed)));
  out.append("modified", id_list(std::move(d->modified)));
  return out;
}
constexpr Method kDiff{"Vesk", "diff($self, label_a, label_b)", diff};

std::vector<std::string> list_snapshots(Vesk& self) { return self.list_snapshots(); }
constexpr Method kListSnapshots{"Vesk", "list_snapshots($self)", list_snapshots};

}  // namespace

MethodRows snapshot_methods() {
  return {bind<kSnapshot>(), bind<kRollback>(), bind<kDiff>(), bind<kListSnapshots>()};
}

}  // namespace vesk::py
