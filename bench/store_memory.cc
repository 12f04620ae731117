// Where the memory of an open store goes: opens the store in the directory
// given, prints the heap it holds per record, then takes its parts away one
// at a time and prints what each gave back.
//
//   build/py/store_memory /path/to/store
//
// Heap figures come from the C library's allocator (in use after a trim),
// so they do not depend on what the kernel has mapped; the resident figure
// is the process's own.
#include <malloc.h>

#include <cstdio>
#include <memory>

#include "store/vesk.h"
#include "store/vesk_test_access.h"

namespace {

size_t heap_in_use() {
  malloc_trim(0);
  struct mallinfo2 m = mallinfo2();
  return m.uordblks + m.hblkhd;
}

size_t resident() {
  FILE* f = std::fopen("/proc/self/statm", "r");
  long pages = 0, rss = 0;
  if (f) {
    if (std::fscanf(f, "%ld %ld", &pages, &rss) != 2) rss = 0;
    std::fclose(f);
  }
  return static_cast<size_t>(rss) * 4096;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace vesk;
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s STORE_DIR\n", argv[0]);
    return 2;
  }
  const size_t heap0 = heap_in_use(), rss0 = resident();
  auto opened = Vesk::open(argv[1], std::nullopt);
  if (!opened.ok()) {
    std::fprintf(stderr, "%s\n", opened.status().message().c_str());
    return 1;
  }
  std::unique_ptr<Vesk> v = std::move(opened).value();
  const double n = static_cast<double>(v->count());
  std::printf("%.0f records: heap %.0f B/record, resident %.0f B/record\n", n, (heap_in_use() - heap0) / n,
              (resident() - rss0) / n);
  auto part = [&](const char* name, auto&& drop) {
    const size_t before = heap_in_use();
    drop();
    std::printf("  %-24s %8.0f B/record\n", name, (before - heap_in_use()) / n);
  };
  SearchIndexes& indexes = VeskTestAccess::indexes(*v);
  RecordState& records = VeskTestAccess::records(*v);
  part("n-gram index", [&] { indexes.ngram.unguarded() = NgramIndex(); });
  part("term index", [&] { indexes.terms.unguarded() = Bm25Index(); });
  part("tag index", [&] { indexes.tags.unguarded() = TagIndex(); });
  part("SDR index", [&] { indexes.sdr_index.reset(); });
  part("record SDRs", [&] { indexes.record_sdrs.unguarded() = RecordSdrMap(); });
  part("substring index", [&] { indexes.substrings.unguarded() = SubstringIndex(); });
  part("embeddings", [&] { indexes.embeddings.reset(); });
  part("duplicates", [&] { records.duplicates.unguarded() = DuplicateIndex(); });
  part("recall index", [&] { records.recall_index.unguarded() = RecallRecordIndex(); });
  part("id map", [&] { records.id_map.unguarded() = IdMap(); });
  part("connections", [&] {
    for (auto& [id, r] : records.records.unguarded()) {
      WeightMap().swap(r.connections);
      ConnectionTypeMap().swap(r.connection_types);
    }
  });
  part("metadata and tags", [&] {
    for (auto& [id, r] : records.records.unguarded()) {
      StringMap().swap(r.metadata);
      std::vector<std::string>().swap(r.tags);
    }
  });
  part("record map", [&] { records.records.unguarded() = RecordMap(); });
  part("the rest (record log...)", [&] { v.reset(); });
  return 0;
}
