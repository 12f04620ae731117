#include "exchange/context_capsule/capsule_hash.h"

#include <sodium.h>

#include "base/hex.h"
#include "model/json_writer.h"

namespace vesk {

std::string serialize_capsule_hash_input(const ContextCapsule& c) {
  std::string out;
  out.reserve(256 + c.entries.size() * 256);
  JsonWriter w(out);
  w.begin_array();
  w.string(c.namespace_);
  w.string(c.purpose);
  w.u64(c.token_budget);
  w.u64(c.estimated_tokens);
  w.u64(c.source_record_count);
  w.begin_array();
  for (const CapsuleEntry& e : c.entries) {
    w.begin_object();
    w.key("record_id");
    w.string(e.record_id);
    w.key("category");
    w.string(capsule_category_name(e.category));
    w.key("content");
    w.string(e.content);
    w.key("source_type");
    w.string(e.source_type);
    w.key("semantic_type");
    w.string(e.semantic_type);
    w.key("level");
    w.string(level_json_name(e.level));
    w.key("confidence");
    w.f32(e.confidence);
    w.key("strength");
    w.f32(e.strength);
    w.key("salience");
    w.f32(e.salience);
    w.key("estimated_tokens");
    w.u64(e.estimated_tokens);
    w.key("selection_reasons");
    w.begin_array();
    for (const std::string& r : e.selection_reasons) w.string(r);
    w.end_array();
    w.end_object();
  }
  w.end_array();
  w.u64(c.omitted_count);
  w.u64(c.refutation_count);
  w.u64(c.evidence_debt_count);
  w.u64(c.contradiction_count);
  w.end_array();
  return out;
}

std::string compute_capsule_hash(const ContextCapsule& capsule) {
  const std::string input = serialize_capsule_hash_input(capsule);
  unsigned char digest[crypto_hash_sha256_BYTES];
  crypto_hash_sha256(digest, reinterpret_cast<const unsigned char*>(input.data()), input.size());
  return hex_encode(std::string_view(reinterpret_cast<const char*>(digest), sizeof digest));
}

}  // namespace vesk
