// Store statistics, the security report and the tool circuit breaker. All
// keep the interpreter lock except security_report, which lets it go while
// the records are scanned.
#include <string>

#include "binding/dict_builder.h"
#include "binding/gil.h"
#include "vesk_object.h"

namespace vesk::py {
namespace {

PyObject* stats(Vesk& self) {
  const StoreStats s = self.stats();
  return DictBuilder()
      .add("total_records", s.total_records)
      .add("working", s.working)
      .add("decisions", s.decisions)
      .add("domain", s.domain)
      .add("identity", s.identity)
      .add("total_connections", s.total_connections)
      .add("total_tags", s.total_tags)
      .finish();
}
constexpr Method kStats{"Vesk", "stats($self)", stats};

PyObject* tier_stats(Vesk& self) {
  const TierStats t = self.tier_stats();
  return DictBuilder()
      .add("cognitive_working", t.cognitive_working)
      .add("cognitive_decisions", t.cognitive_decisions)
      .add("cognitive_total", t.cognitive_total)
      .add("core_domain", t.core_domain)
      .add("core_identity", t.core_identity)
      .add("core_total", t.core_total)
      .add("total", t.total)
      .finish();
}
constexpr Method kTierStats{"Vesk", "tier_stats($self)", tier_stats};

StringKeyMap<uint64_t> namespace_stats(Vesk& self) { return self.namespace_stats(); }
constexpr Method kNamespaceStats{"Vesk", "namespace_stats($self)", namespace_stats};

PyObject* protection_dict(const SecurityProtection& p) {
  return DictBuilder()
      .add("name", p.name)
      .add("state", p.state)
      .add("evidence", p.evidence)
      .add("detail", p.detail)
      .finish();
}

PyObject* security_report(Vesk& self) {
  const SecurityReport r = without_gil([&] { return self.security_report(); });
  const SecurityStats& s = r.stats;
  return DictBuilder()
      .add("profile", r.profile)
      .add_with("protections",
                [&]() -> PyObject* {
                  PyRef list = PyRef::steal(PyList_New(static_cast<Py_ssize_t>(r.protections.size())));
                  if (!list) return nullptr;
                  for (size_t i = 0; i < r.protections.size(); ++i) {
                    PyObject* d = protection_dict(r.protections[i]);
                    if (!d) return nullptr;
                    PyList_SET_ITEM(list.get(), static_cast<Py_ssize_t>(i), d);
                  }
                  return list.release();
                })
      .add_with("stats",
                [&] {
                  return DictBuilder()
                      .add("records", s.records)
                      .add("by_effective_source", s.by_effective_source)
                      .add("relayed_by_model", s.relayed_by_model)
                      .add("hearsay_or_speculative", s.hearsay_or_speculative)
                      .add("restricted", s.restricted)
                      .add("untrusted_groups_over_cap", s.untrusted_groups_over_cap)
                      .add("records_in_groups_over_cap", s.records_in_groups_over_cap)
                      .add("outside_channel_first_hand", s.outside_channel_first_hand)
                      .finish();
                })
      .add("warnings", r.warnings)
      .finish();
}
constexpr Method kSecurityReport{
    "Vesk", "security_report($self)\n--\n\nProtections, their states and evidence, store statistics and warnings.",
    security_report};

void record_tool_failure(Vesk& self, std::string tool_name) { self.record_tool_failure(tool_name); }
constexpr Method kRecordToolFailure{"Vesk", "record_tool_failure($self, tool_name)", record_tool_failure};

void record_tool_success(Vesk& self, std::string tool_name) { self.record_tool_success(tool_name); }
constexpr Method kRecordToolSuccess{"Vesk", "record_tool_success($self, tool_name)", record_tool_success};

bool is_tool_available(Vesk& self, std::string tool_name) { return self.is_tool_available(tool_name); }
constexpr Method kIsToolAvailable{"Vesk", "is_tool_available($self, tool_name)", is_tool_available};

StringMap tool_health(Vesk& self) { return self.tool_health(); }
constexpr Method kToolHealth{"Vesk", "tool_health($self)", tool_health};

}  // namespace

MethodRows statistics_methods() {
  return {bind<kStats>(),           bind<kTierStats>(),          bind<kNamespaceStats>(),
          bind<kSecurityReport>(),  bind<kRecordToolFailure>(),  bind<kRecordToolSuccess>(),
          bind<kIsToolAvailable>(), bind<kToolHealth>()};
}

}  // namespace vesk::py
