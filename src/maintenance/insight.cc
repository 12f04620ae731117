#include "maintenance/insight.h"

#include <charconv>

namespace vesk {

std::string_view severity_name(InsightSeverity s) {
  switch (s) {
    case InsightSeverity::Low: return "Low";
    case InsightSeverity::Medium: return "Medium";
    case InsightSeverity::High: return "High";
    case InsightSeverity::Critical: return "Critical";
  }
  return "";
}

std::string_view phase_name(InsightPhase p) {
  switch (p) {
    case InsightPhase::RecordHealth: return "record_health";
    case InsightPhase::Relationships: return "relationships";
    case InsightPhase::CrossDomain: return "cross_domain";
  }
  return "";
}

std::string fixed_decimals(float v, int decimals) {
  // Widening is exact, so the digits are those of the float's own value.
  char buf[400];
  auto res = std::to_chars(buf, buf + sizeof buf, static_cast<double>(v), std::chars_format::fixed, decimals);
  return std::string(buf, res.ptr);
}

}  // namespace vesk
