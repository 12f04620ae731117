// Whether an audit entry names a record: the test by which a history purge
// removes audit lines.
//
// A purged record is known by its id and by its content text as the purge
// found it (empty when none was found); its preview is the first 50
// characters of that text. An entry names it when its action's own rule
// holds, or else when the entry's context contains the id, or contains a
// preview of at least 12 characters (a shorter preview, such as "ok", would
// match unrelated contexts and remove lines that say nothing of the record).
//
//   store, delete, update, crystallize   id is the record id
//   synthesize                           result_id is it, or source_ids holds it
//   correction                           target_id is it
//   outcome_receipt                      candidate or selected ids hold it
//   retrieve                             with q the query preview trimmed of
//                                        white space, the first that holds:
//       the preview is not empty and the query preview equals it;
//       the preview has 12+ characters and the query preview contains it;
//       content and q are not empty, q has 12+ characters and the content
//         contains q;
//       content and q are not empty and the content contains an
//         identifier-like token of q
//   every other action                   none (only the context rule)
//
// "Contains" is a case-sensitive byte comparison. An identifier-like token is
// a maximal run of Unicode letters and digits, '_' and '-', at least 8
// characters long, holding an '_' or an ASCII digit.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "audit/audit_entry.h"

namespace vesk {

struct PurgedRecordTrace {
  PurgedRecordTrace(std::string id, std::string content);

  std::string id;
  std::string content;
  std::string preview;       // the first 50 characters of content
  size_t preview_chars = 0;  // its length in characters
};

bool audit_entry_names_record(const AuditEntry& entry, const PurgedRecordTrace& record);

std::vector<std::string_view> identifier_like_tokens(std::string_view text);

}  // namespace vesk
