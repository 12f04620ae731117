// The record SDRs a search rescores against, read from the record log's
// entry cache. The log hands out its entries shared; the keeper holds every
// entry it has handed to the search, so the SDRs stay valid until the keeper
// dies. One keeper per search, its lookup used from one thread at a time.
#pragma once

#include <string_view>
#include <utility>
#include <vector>

#include "index/sdr_index.h"
#include "storage/vesk_storage.h"

namespace vesk {

class LogSdrKeeper {
 public:
  explicit LogSdrKeeper(const VeskStorage& storage) : storage_(storage) {}
  LogSdrKeeper(const LogSdrKeeper&) = delete;
  LogSdrKeeper& operator=(const LogSdrKeeper&) = delete;

  // The lookup refers to the keeper: it must not outlive it.
  SdrLookup lookup() {
    return [this](std::string_view id) -> const PackedSdr* {
      CachedEntryPtr entry = storage_.cached_entry(id);
      if (!entry) return nullptr;
      const PackedSdr* sdr = &entry->sdr();
      entries_.push_back(std::move(entry));
      return sdr;
    };
  }

 private:
  const VeskStorage& storage_;
  std::vector<CachedEntryPtr> entries_;
};

}  // namespace vesk
