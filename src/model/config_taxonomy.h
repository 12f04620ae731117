// TagTaxonomy: the seven tag sets that classify records by their tags.
// Membership is by exact, case-sensitive text; a tag may sit in several sets,
// and each set is consulted only by its own users (write path, maintenance).
#pragma once

#include "base/string_hash.h"

namespace vesk {

struct TagTaxonomy {
  // Tags that mark records as permanent identity (never decayed, never archived).
  StringSet identity_tags{"user-profile", "identity"};
  // Tags that mark records as stable (low volatility, slow decay).
  StringSet stable_tags{"identity", "contact", "credential", "financial", "person"};
  // Tags that mark records as volatile (high volatility, fast decay).
  StringSet volatile_tags{"cache", "scheduled-task", "todo-item", "web-search-cache"};
  // Tags that should never be at the Identity level (transient/system data).
  StringSet non_identity_tags{"session-summary",   "cache",           "outcome",          "plan",
                              "reflection",        "research-finding", "web-search-cache", "proactive-session",
                              "action-plan",       "session-reflection", "scheduled-task", "consolidated-meta",
                              "research-project",  "autonomous-outcome", "autonomous-goal"};
  // Tags that should never be consolidated (sensitive/unique records).
  StringSet consolidation_skip_tags{"identity",        "contact",        "credential",    "financial",
                                    "person",          "user-profile",   "session-summary", "scheduled-task",
                                    "health-metric",   "extracted-fact", "todo-item"};
  // Tags that should never be auto-archived (personal data).
  StringSet archive_protected_tags{"identity", "contact", "person", "health-metric", "extracted-fact", "relationship"};
  // Tags that trigger human approval before write (sensitive operations).
  StringSet sensitive_tags{"financial", "credential", "wallet"};

  bool operator==(const TagTaxonomy&) const = default;
};

// The taxonomy every store starts from (a default-constructed TagTaxonomy).
TagTaxonomy tag_taxonomy_default();

}  // namespace vesk
