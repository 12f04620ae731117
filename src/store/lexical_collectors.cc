#include "store/lexical_collectors.h"

namespace vesk {

LexicalCollectors lexical_collectors(const LexicalSources& sources, const RecordLookup& candidates) {
  const LexicalSources s = sources;
  const RecordLookup* c = &candidates;
  return LexicalCollectors{
      .sdr =
          [s, c](std::string_view q, std::span<const std::string> ns, size_t count) {
            return collect_sdr(s.indexes.sdr_encoder, *s.indexes.sdr_index, s.log_sdrs, s.id_map, *c, q, count, ns);
          },
      .bm25 = [s, c](std::string_view q, std::span<const std::string> ns,
                     size_t count) { return collect_bm25(s.terms, *c, q, count, ns); },
      .ngram = [s, c](std::string_view q, std::span<const std::string> ns,
                      size_t count) { return collect_ngram(s.ngram, *c, q, count, ns); },
      .tags = [s, c](std::string_view q, std::span<const std::string> ns,
                     size_t count) { return collect_tags(s.tags, *c, q, count, ns); },
  };
}

}  // namespace vesk
