#include "audit/audit_action.h"

#include <array>

namespace vesk {

namespace {

using A = AuditAction;

constexpr std::array<std::string_view, 14> kTags = {
    "open",       "store",           "retrieve", "delete", "purge",
    "update",     "crystallize",     "synthesize", "correction", "outcome_receipt",
    "flush",      "close",           "encryption_enabled", "integrity_check"};
static_assert(kTags.size() == std::variant_size_v<A::Variant>);

// The field table of each struct variant; unit variants have none.
template <typename V>
struct VariantFields;

template <>
struct VariantFields<A::Store> {
  static const JsonStruct<A::Store>& get() {
    static const JsonStruct<A::Store> s("struct variant AuditAction::Store",
                                        {json_field<&A::Store::id>("id"),
                                         json_field<&A::Store::text_preview>("text_preview")});
    return s;
  }
};
template <>
struct VariantFields<A::Retrieve> {
  static const JsonStruct<A::Retrieve>& get() {
    static const JsonStruct<A::Retrieve> s("struct variant AuditAction::Retrieve",
                                           {json_field<&A::Retrieve::query_preview>("query_preview"),
                                            json_field<&A::Retrieve::results_count>("results_count")});
    return s;
  }
};
template <>
struct VariantFields<A::Delete> {
  static const JsonStruct<A::Delete>& get() {
    static const JsonStruct<A::Delete> s("struct variant AuditAction::Delete", {json_field<&A::Delete::id>("id")});
    return s;
  }
};
template <>
struct VariantFields<A::Purge> {
  static const JsonStruct<A::Purge>& get() {
    static const JsonStruct<A::Purge> s("struct variant AuditAction::Purge",
                                        {json_field<&A::Purge::record_digest>("record_digest"),
                                         json_field<&A::Purge::scope>("scope"),
                                         json_field<&A::Purge::removed_surfaces>("removed_surfaces")});
    return s;
  }
};
template <>
struct VariantFields<A::Update> {
  static const JsonStruct<A::Update>& get() {
    static const JsonStruct<A::Update> s("struct variant AuditAction::Update", {json_field<&A::Update::id>("id")});
    return s;
  }
};
template <>
struct VariantFields<A::Crystallize> {
  static const JsonStruct<A::Crystallize>& get() {
    static const JsonStruct<A::Crystallize> s("struct variant AuditAction::Crystallize",
                                              {json_field<&A::Crystallize::id>("id"),
                                               json_field<&A::Crystallize::trigger>("trigger")});
    return s;
  }
};
template <>
struct VariantFields<A::Synthesize> {
  static const JsonStruct<A::Synthesize>& get() {
    static const JsonStruct<A::Synthesize> s("struct variant AuditAction::Synthesize",
                                             {json_field<&A::Synthesize::source_ids>("source_ids"),
                                              json_field<&A::Synthesize::result_id>("result_id")});
    return s;
  }
};
template <>
struct VariantFields<A::Correction> {
  static const JsonStruct<A::Correction>& get() {
    static const JsonStruct<A::Correction> s("struct variant AuditAction::Correction",
                                             {json_field<&A::Correction::target_kind>("target_kind"),
                                              json_field<&A::Correction::target_id>("target_id"),
                                              json_field<&A::Correction::operation>("operation"),
                                              json_field<&A::Correction::reason>("reason")});
    return s;
  }
};
template <>
struct VariantFields<A::OutcomeReceipt> {
  static const JsonStruct<A::OutcomeReceipt>& get() {
    static const JsonStruct<A::OutcomeReceipt> s("struct variant AuditAction::OutcomeReceipt",
                                                 {json_field<&A::OutcomeReceipt::receipt>("receipt")});
    return s;
  }
};
template <>
struct VariantFields<A::IntegrityCheck> {
  static const JsonStruct<A::IntegrityCheck>& get() {
    static const JsonStruct<A::IntegrityCheck> s("struct variant AuditAction::IntegrityCheck",
                                                 {json_field<&A::IntegrityCheck::passed>("passed")});
    return s;
  }
};

template <typename V>
constexpr bool kIsUnit = std::is_empty_v<V>;

// Reads the content of the variant at `index` after its tag.
template <size_t I = 0>
bool read_variant(JsonReader& r, size_t index, bool object_form, A::Variant& out) {
  if constexpr (I < std::variant_size_v<A::Variant>) {
    if (index != I) return read_variant<I + 1>(r, index, object_form, out);
    using V = std::variant_alternative_t<I, A::Variant>;
    V v{};
    if constexpr (kIsUnit<V>) {
      if (object_form && !r.read_unit()) return false;
    } else {
      if (!object_form) return r.fail_invalid_type("unit variant", "struct variant");
      if (!json_read_struct(r, v, VariantFields<V>::get())) return false;
    }
    out = std::move(v);
    return true;
  } else {
    return false;
  }
}

}  // namespace

std::string_view AuditAction::tag() const { return kTags[value.index()]; }

bool JsonCodec<AuditAction>::read(JsonReader& r, AuditAction& v) {
  size_t index = 0;
  bool object_form = false;
  if (!r.begin_enum(kTags, index, object_form)) return false;
  const bool ok = read_variant(r, index, object_form, v.value);
  return r.end_enum(object_form, ok);
}

void JsonCodec<AuditAction>::write(JsonWriter& w, const AuditAction& v) {
  std::visit(
      [&](const auto& variant) {
        using V = std::decay_t<decltype(variant)>;
        if constexpr (kIsUnit<V>) {
          w.string(v.tag());
        } else {
          w.begin_object();
          w.key(v.tag());
          json_write_struct(w, variant, VariantFields<V>::get());
          w.end_object();
        }
      },
      v.value);
}

}  // namespace vesk
