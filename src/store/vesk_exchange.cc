// Context capsules and the whole-store JSON: read-only views of the record
// map, each built under the map's read lock from its first look at a record
// to its last, so writers wait and the answer is one consistent picture.
#include <cmath>
#include <string>

#include "exchange/context_capsule/context_capsule.h"
#include "model/json_writer.h"
#include "model/record_json.h"
#include "model/unicode_text.h"
#include "store/vesk.h"

namespace vesk {
namespace {

// The checks of both capsules, in their order; the namespace to search.
Result<std::string_view> check_capsule_arguments(std::string_view purpose, std::optional<std::string_view> namespace_,
                                                 std::optional<double> valid_at) {
  const std::string_view ns = namespace_.value_or("default");
  if (Status s = validate_namespace(ns); !s.ok()) return s.as(ErrorKind::Value);
  if (is_blank_text(purpose)) return Status::Value("context capsule purpose must not be empty");
  if (valid_at && !std::isfinite(*valid_at)) return Status::Value("valid_at must be a finite Unix timestamp");
  return ns;
}

}  // namespace

Result<ContextCapsule> Vesk::build_context_capsule(std::string_view purpose, uint64_t token_budget,
                                                   std::optional<std::string_view> namespace_,
                                                   std::optional<double> valid_at) const {
  auto ns = check_capsule_arguments(purpose, namespace_, valid_at);
  if (!ns.ok()) return ns.status();
  const double at = valid_at.value_or(env_.now_seconds());
  auto records = records_.records.read();
  return assemble_context_capsule(*records, *ns, purpose, at, token_budget, &records_.by_metadata(records));
}

Result<ContextCapsule> Vesk::build_compacted_context_capsule(std::string_view purpose, uint64_t token_budget,
                                                             std::optional<std::string_view> namespace_,
                                                             std::optional<double> valid_at) const {
  auto ns = check_capsule_arguments(purpose, namespace_, valid_at);
  if (!ns.ok()) return ns.status();
  const double at = valid_at.value_or(env_.now_seconds());
  auto records = records_.records.read();
  return assemble_compacted_context_capsule(*records, *ns, purpose, at, token_budget,
                                            &records_.by_metadata(records));
}

std::string Vesk::export_json() const {
  std::string out;
  auto records = records_.records.read();
  out.reserve(records->size() * 1024 + 2);
  JsonWriter w(out, JsonStyle::Pretty);
  w.begin_array();
  for (const auto& [id, record] : *records) JsonCodec<Record>::write(w, record);
  w.end_array();
  return out;
}

}  // namespace vesk
