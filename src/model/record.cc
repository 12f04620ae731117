#include "model/record.h"

#include <cmath>

#include "base/env.h"
#include "base/finite.h"

namespace vesk {

std::optional<std::string> Record::connection_type(std::string_view target) const {
  auto it = connection_types.find(target);
  if (it == connection_types.end()) return std::nullopt;
  return it->second.str();
}

bool Record::set_connection(std::string_view target, float weight, std::string_view relation_type) {
  // A NaN weight has no JSON form: storing it would make the record unreadable.
  auto w = clamp_unit(weight);
  if (!w) return false;
  connections.insert_or_assign(target, *w);
  connection_types.insert_or_assign(target, CompactString(relation_type));
  return true;
}

Result<std::string> new_record_id(Env& env) {
  unsigned char b[16];
  if (Status s = env.random_bytes(b, sizeof b); !s.ok()) {
    return Status::Runtime("could not retrieve random bytes for uuid: " + s.message());
  }
  b[6] = static_cast<unsigned char>((b[6] & 0x0f) | 0x40);
  b[8] = static_cast<unsigned char>((b[8] & 0x3f) | 0x80);
  static const char* hex = "0123456789abcdef";
  std::string id(12, '0');
  for (int i = 0; i < 6; ++i) {
    id[2 * i] = hex[b[i] >> 4];
    id[2 * i + 1] = hex[b[i] & 15];
  }
  return id;
}

Result<Record> new_record(std::string content, Level level, Env& env) {
  const double now = env.now_seconds();
  auto id = new_record_id(env);
  if (!id.ok()) return id.status();
  Record r;
  r.id = std::move(id).value();
  r.content = std::move(content);
  r.level = level;
  r.created_at = now;
  r.last_activated = now;
  return r;
}

std::optional<std::string_view> non_finite_field(const Record& r) {
  auto bad = [](auto x) { return !std::isfinite(x); };
  auto bad_opt = [](const std::optional<double>& x) { return x && !std::isfinite(*x); };
  if (bad(r.strength)) return "strength";
  if (bad(r.created_at)) return "created_at";
  if (bad(r.last_activated)) return "last_activated";
  if (bad_opt(r.valid_from)) return "valid_from";
  if (bad_opt(r.valid_until)) return "valid_until";
  if (bad_opt(r.superseded_at)) return "superseded_at";
  for (const auto& [target, w] : r.connections)
    if (bad(w)) return "connections";
  if (bad(r.activation_velocity)) return "activation_velocity";
  if (bad(r.salience)) return "salience";
  if (bad(r.confidence)) return "confidence";
  if (bad(r.volatility)) return "volatility";
  return std::nullopt;
}

Status validate_validity_window(std::optional<double> valid_from, std::optional<double> valid_until) {
  if (valid_from && !std::isfinite(*valid_from)) return Status::Runtime("valid_from must be a finite Unix timestamp");
  if (valid_until && !std::isfinite(*valid_until)) return Status::Runtime("valid_until must be a finite Unix timestamp");
  if (valid_from && valid_until && *valid_from >= *valid_until)
    return Status::Runtime("valid_from must be earlier than valid_until");
  return Status::Ok();
}

Status validate_namespace(std::string_view ns) {
  if (ns.empty()) return Status::Runtime("Namespace cannot be empty");
  if (ns.size() > 64) return Status::Runtime("Namespace cannot exceed 64 characters");
  for (unsigned char c : ns) {
    bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
    if (!ok) return Status::Runtime("Namespace must contain only ASCII alphanumeric, hyphens, or underscores");
  }
  return Status::Ok();
}

Status validate_source_type(std::string_view st) {
  if (st == "recorded" || st == "retrieved" || st == "inferred" || st == "generated") return Status::Ok();
  return Status::Runtime("Invalid source_type '" + std::string(st) +
                         "'. Must be one of: recorded, retrieved, inferred, generated");
}

}  // namespace vesk
