// The four lexical searches of the recall pipeline (SDR, BM25, n-gram, tag)
// over one candidate view, as every recall form runs them.
//
// Everything is held by reference: the caller holds the read locks of the
// n-gram, term and tag indexes and of the id map, keeps the record log's
// entry cache and the candidate view alive, and lets the collectors go
// before any of them.
#pragma once

#include "index/sdr_index.h"
#include "recall/recall_pipeline.h"
#include "store/search_indexes.h"

namespace vesk {

struct LexicalSources {
  const SearchIndexes& indexes;  // the SDR encoder and index
  const NgramIndex& ngram;
  const Bm25Index& terms;
  const TagIndex& tags;
  const SdrLookup& log_sdrs;
  const IdMapLookup& id_map;
};

LexicalCollectors lexical_collectors(const LexicalSources& sources, const RecordLookup& candidates);

}  // namespace vesk
