#include "maintenance/consequence_tags.h"

#include "write/text_classifiers.h"

namespace vesk {

ConsequenceTagCounts count_consequence_tags(const Record& record) {
  ConsequenceTagCounts counts;
  for (const std::string& tag : record.tags) {
    if (tag == "consequence-support") ++counts.support;
    if (tag == "consequence-refute") ++counts.refute;
  }
  if (auto it = record.metadata.find("outcome"); it != record.metadata.end()) {
    if (std::optional<OutcomePolarity> polarity = parse_polarity(it->second)) {
      if (*polarity == OutcomePolarity::Positive) ++counts.support;
      else ++counts.refute;
    }
  }
  if (record.semantic_type == "contradiction") counts.refute += 2;
  return counts;
}

}  // namespace vesk
