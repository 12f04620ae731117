// CachedLogEntry: what the record log keeps in memory for the latest entry
// of each id, and CachedEntryPtr, the counted handle that shares it.
//
// An entry is one allocation: its fixed fields, the link, and its SDR
// positions (packed_sdr.h) right behind them. A scanned entry holds them
// packed. An appended entry refers to the list it was appended with: the
// store road hands that same list to the SDR index, which keeps it while the
// process runs, so referring to it costs neither a copy nor the time to pack
// (the next open packs it). The id is the key the log files the entry under.
// The text is not kept: the record map holds every record's content, and
// VeskStorage::read_entry() reads an entry's text from the log when it is
// wanted.
//
// Everything but the link is fixed once built; the link (the id this entry
// points to, from the side map) has its own lock, an atomic shared pointer.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "storage/log_entry.h"
#include "storage/packed_sdr.h"

namespace vesk {

// The tier field, as far as the log reads it.
enum class LogTier : uint8_t { kGeneral, kUserCore, kOther };
LogTier log_tier_of(std::string_view tier);

class CachedEntryPtr;

class CachedLogEntry {
 public:
  // The entry as appended.
  static CachedEntryPtr make(const LogEntry& entry);
  // The entry as scanned: its fixed part and, at `positions`, its
  // `fixed.sdr_count` little-endian positions.
  static CachedEntryPtr make(const LogEntryFixed& fixed, const char* positions);

  CachedLogEntry(const CachedLogEntry&) = delete;
  CachedLogEntry& operator=(const CachedLogEntry&) = delete;

  const double created_at;
  const float strength;
  const float pin_factor;
  const uint32_t reserved1;
  const uint32_t reserved2;
  const LogTier tier;

  // The positions; empty when the entry has none.
  const PackedSdr& sdr() const {
    return *std::launder(reinterpret_cast<const PackedSdr*>(reinterpret_cast<const char*>(this) + sizeof(CachedLogEntry)));
  }

  std::optional<std::string> linked_id() const;
  bool has_link_to(std::string_view id) const;
  void set_linked_id(std::optional<std::string> linked) const;

 private:
  struct Fields {
    double created_at;
    float strength;
    float pin_factor;
    uint32_t reserved1;
    uint32_t reserved2;
    LogTier tier;
  };
  CachedLogEntry(const Fields& f, SdrPositions list);
  static CachedEntryPtr build(const Fields& f, const SdrPacker& packer);

  friend class CachedEntryPtr;
  mutable std::atomic<uint32_t> refs_{1};
  mutable std::atomic<std::shared_ptr<const std::string>> link_;
  const SdrPositions list_;  // an appended entry's positions, which sdr() refers to
};
// The positions (or the view of an appended list) follow the fields, 8-byte
// aligned.
static_assert(sizeof(CachedLogEntry) % 8 == 0);

// Shares a CachedLogEntry by reference count, like a shared pointer to a
// const entry, in one word and without a separate control block.
class CachedEntryPtr {
 public:
  CachedEntryPtr() = default;
  CachedEntryPtr(std::nullptr_t) {}
  CachedEntryPtr(const CachedEntryPtr& other) : p_(other.p_) {
    if (p_) p_->refs_.fetch_add(1, std::memory_order_relaxed);
  }
  CachedEntryPtr(CachedEntryPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  CachedEntryPtr& operator=(CachedEntryPtr other) noexcept {
    std::swap(p_, other.p_);
    return *this;
  }
  ~CachedEntryPtr() { release(); }

  const CachedLogEntry* get() const { return p_; }
  const CachedLogEntry* operator->() const { return p_; }
  const CachedLogEntry& operator*() const { return *p_; }
  explicit operator bool() const { return p_ != nullptr; }

 private:
  friend class CachedLogEntry;
  explicit CachedEntryPtr(const CachedLogEntry* adopted) : p_(adopted) {}
  void release();

  const CachedLogEntry* p_ = nullptr;
};

}  // namespace vesk
