// AuditAction: what one audit journal entry records.
//
// A tagged union of 14 variants. In JSON a unit variant is its bare tag
// ("close", also read from {"close":null}); a struct variant is an object
// whose only key is the tag and whose value holds the variant's fields in
// order ({"store":{"id":..,"text_preview":..}}), every field required when
// read, or given positionally as an array. A struct variant's tag as a bare
// string is a type error, and an unknown tag fails naming the 14 tags.
//
//   open                  -
//   store                 id, text_preview
//   retrieve              query_preview, results_count (u64)
//   delete                id
//   purge                 record_digest, scope, removed_surfaces (texts)
//   update                id
//   crystallize           id, trigger
//   synthesize            source_ids (texts), result_id
//   correction            target_kind, target_id, operation, reason
//   outcome_receipt       receipt (OutcomeReceipt)
//   flush, close, encryption_enabled   -
//   integrity_check       passed (bool)
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "audit/outcome_receipt.h"
#include "model/json_struct.h"

namespace vesk {

struct AuditAction {
  struct Open {
    bool operator==(const Open&) const = default;
  };
  struct Store {
    std::string id;
    std::string text_preview;
    bool operator==(const Store&) const = default;
  };
  struct Retrieve {
    std::string query_preview;
    uint64_t results_count = 0;
    bool operator==(const Retrieve&) const = default;
  };
  struct Delete {
    std::string id;
    bool operator==(const Delete&) const = default;
  };
  struct Purge {
    std::string record_digest;
    std::string scope;
    std::vector<std::string> removed_surfaces;
    bool operator==(const Purge&) const = default;
  };
  struct Update {
    std::string id;
    bool operator==(const Update&) const = default;
  };
  struct Crystallize {
    std::string id;
    std::string trigger;
    bool operator==(const Crystallize&) const = default;
  };
  struct Synthesize {
    std::vector<std::string> source_ids;
    std::string result_id;
    bool operator==(const Synthesize&) const = default;
  };
  struct Correction {
    std::string target_kind;
    std::string target_id;
    std::string operation;
    std::string reason;
    bool operator==(const Correction&) const = default;
  };
  struct OutcomeReceipt {
    ::vesk::OutcomeReceipt receipt;
    bool operator==(const OutcomeReceipt&) const = default;
  };
  struct Flush {
    bool operator==(const Flush&) const = default;
  };
  struct Close {
    bool operator==(const Close&) const = default;
  };
  struct EncryptionEnabled {
    bool operator==(const EncryptionEnabled&) const = default;
  };
  struct IntegrityCheck {
    bool passed = false;
    bool operator==(const IntegrityCheck&) const = default;
  };

  // In the order of the tags.
  using Variant = std::variant<Open, Store, Retrieve, Delete, Purge, Update, Crystallize, Synthesize, Correction,
                               OutcomeReceipt, Flush, Close, EncryptionEnabled, IntegrityCheck>;

  AuditAction() = default;
  template <typename T>
    requires std::is_constructible_v<Variant, T&&>
  AuditAction(T&& v) : value(std::forward<T>(v)) {}

  // The JSON tag ("store", "outcome_receipt", ...).
  std::string_view tag() const;

  bool operator==(const AuditAction&) const = default;

  Variant value;
};

template <>
struct JsonCodec<AuditAction> {
  static bool read(JsonReader& r, AuditAction& v);
  static void write(JsonWriter& w, const AuditAction& v);
};

}  // namespace vesk
