// SearchIndexes: what recall searches, kept in step with the record map.
//
// Contract: the n-gram, term, tag and substring indexes, the SDR index and
// the record SDRs name exactly the records of the map (the SDR index may hold a record
// whose content changed since: its postings describe the stored SDR, which
// an update does not change). They change only through RecordChanges.
//
// Locks (store/lock_order.h): n-gram -> terms -> tags -> (id map) -> record
// SDRs -> substrings. The SDR index and the embedding store lock themselves; the synonyms
// lock themselves and are only ever extended.
#pragma once

#include <memory>

#include "base/guarded.h"
#include "base/string_hash.h"
#include "index/bm25_index.h"
#include "index/embedding_store.h"
#include "index/ngram_index.h"
#include "index/sdr_encoder.h"
#include "index/sdr_index.h"
#include "index/substring_index.h"
#include "index/tag_index.h"
#include "model/flat_map.h"
#include "store/lock_order.h"
#include "write/synonyms.h"

namespace vesk {

// record id -> SDR of its content in the general range.
using RecordSdrMap = FlatStringMap<SharedSdr>;

struct SearchIndexes {
  Guarded<NgramIndex> ngram{lock_order::kNgram};
  Guarded<Bm25Index> terms{lock_order::kTerms};
  Guarded<TagIndex> tags{lock_order::kTags};
  const SdrEncoder sdr_encoder{};
  // Shared with the recall calls that search it.
  std::shared_ptr<SdrIndex> sdr_index;
  // The general-range SDR of each record stored in this session, for the
  // maintenance cycle's similarity tests.
  Guarded<RecordSdrMap> record_sdrs{lock_order::kRecordSdrs};
  // The lower-cased contents, for full recall's direct matches.
  Guarded<SubstringIndex> substrings{lock_order::kSubstrings};
  // Null only while the store opens.
  std::unique_ptr<EmbeddingStore> embeddings;
  SynonymMap synonyms;
};

}  // namespace vesk
