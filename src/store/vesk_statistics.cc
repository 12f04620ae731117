// Store statistics and the security report of the store object.
#include "store/vesk.h"

namespace vesk {

StoreStats Vesk::stats() const {
  auto records = records_.records.read();
  StoreStats s = count_store_stats(*records);
  // The tag index after the record map, which stays held: the store's lock
  // order.
  s.total_tags = indexes_.tags.read()->tag_count();
  return s;
}

TierStats Vesk::tier_stats() const { return count_tier_stats(*records_.records.read()); }

StringKeyMap<uint64_t> Vesk::namespace_stats() const { return count_namespace_stats(*records_.records.read()); }

SecurityReport Vesk::security_report() const {
  SecurityStats stats = scan_security_stats(*records_.records.read());
  SecurityFacts facts;
  facts.strict = flags_.security_profile.load() == SecurityProfile::Strict;
  facts.encrypted = is_encrypted();
  facts.audit_open = audit_ && audit_->enabled();
  facts.claim_classifier = *callbacks_.claim_classifier.read() != nullptr;
  facts.claim_rules = flags_.claim_rules.load();
  return build_security_report(std::move(stats), facts);
}

}  // namespace vesk
