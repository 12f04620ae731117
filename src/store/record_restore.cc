// RecordChanges::restore_all: the records of a labelled snapshot in place of
// the records held (record_changes.h).
#include <tbb/parallel_invoke.h>

#include <utility>

#include "store/record_changes.h"

namespace vesk {

void RecordChanges::restore_all(std::vector<Record> entries) {
  // The id map follows the file: an entry per vesk_id, a later entry with
  // the same vesk_id replacing the earlier one. Only the entry that stays in
  // the map for its id counts, so no vesk_id points at a version of a
  // record that the map no longer holds.
  StringKeyMap<size_t> last_of_id;
  for (size_t i = 0; i < entries.size(); ++i) last_of_id[entries[i].id] = i;
  IdMap id_map;
  for (size_t i = 0; i < entries.size(); ++i) {
    const Record& r = entries[i];
    if (r.vesk_id && last_of_id[r.id] == i) id_map.insert_or_assign(*r.vesk_id, r.id);
  }

  RecordMap records;
  records.reserve(last_of_id.size());
  for (Record& r : entries) {
    std::string id = r.id;
    records.insert_or_assign(std::move(id), std::move(r));
  }

  NgramIndex ngram;
  SubstringIndex substrings;
  TagIndex tags;
  DuplicateIndex duplicates;
  RecallRecordIndex recall_index;
  MetadataValueIndex by_metadata{kIndexedMetadataKeys};
  StructuralRelationIndex structural;
  tbb::parallel_invoke(
      [&] {
        std::vector<NgramIndex::Entry> texts;
        texts.reserve(records.size());
        for (const auto& [id, r] : records) texts.push_back({id, r.content});
        ngram.insert_all(texts);
      },
      [&] {
        std::vector<SubstringIndex::Entry> texts;
        texts.reserve(records.size());
        for (const auto& [id, r] : records) texts.push_back({id, r.content});
        substrings.insert_all(texts);
      },
      [&] { recall_index = recall_record_index_from(records); },
      [&] { by_metadata.rebuild(records); },
      [&] { structural.rebuild(records); },
      [&] {
        for (const auto& [id, r] : records) {
          if (!r.tags.empty()) tags.add(id, r.tags);
          duplicates.note_insert(r);
        }
      });

  {
    auto map = parts_.records.records.write();
    auto dup = parts_.records.duplicates.write();
    auto recall = parts_.records.recall_index.write();
    auto grams = parts_.indexes.ngram.write();
    auto tag_index = parts_.indexes.tags.write();
    auto ids = parts_.records.id_map.write();
    auto substring_index = parts_.indexes.substrings.write();
    // Swapped, so the old tables are freed below with every lock released.
    std::swap(*map, records);
    std::swap(parts_.records.by_metadata(map), by_metadata);
    std::swap(parts_.records.structural(map), structural);
    std::swap(*dup, duplicates);
    std::swap(*recall, recall_index);
    std::swap(*grams, ngram);
    std::swap(*tag_index, tags);
    std::swap(*ids, id_map);
    std::swap(*substring_index, substrings);
    parts_.recall.clear_caches();
  }
}

}  // namespace vesk
