// The security report: which protections of the store are active for its
// configuration and what each rests on, counts over the in-memory records
// that show trust risks, and plain-language warnings. It only states the
// protections (they are built in the write path and recall); it changes
// nothing.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "model/record_map.h"

namespace vesk {

struct SecurityProtection {
  std::string name;
  std::string state;  // "on", "off", "partial", "explicit" or "not_in_core"
  std::string evidence;
  std::string detail;
};

struct SecurityStats {
  uint64_t records = 0;
  std::map<std::string, uint64_t> by_effective_source;  // ascending by bytes
  uint64_t relayed_by_model = 0;
  uint64_t hearsay_or_speculative = 0;
  uint64_t restricted = 0;
  uint64_t untrusted_groups_over_cap = 0;   // source groups of more than 2 records
  uint64_t records_in_groups_over_cap = 0;
  uint64_t outside_channel_first_hand = 0;  // outside channel, yet first-hand
};

// The facts of the store's configuration the report states.
struct SecurityFacts {
  bool strict = false;
  bool encrypted = false;
  bool audit_open = false;
  bool claim_classifier = false;
  bool claim_rules = false;
};

struct SecurityReport {
  std::string profile;  // "strict" or "balanced"
  std::vector<SecurityProtection> protections;  // the 11, in fixed order
  SecurityStats stats;
  std::vector<std::string> warnings;
};

// One pass over the records (no count depends on the map's order).
SecurityStats scan_security_stats(const RecordMap& records);
SecurityReport build_security_report(SecurityStats stats, const SecurityFacts& facts);

}  // namespace vesk
