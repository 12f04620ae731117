#include "storage/cached_log_entry.h"

#include <new>

#include "storage/record_log_format.h"

namespace vesk {

LogTier log_tier_of(std::string_view tier) {
  if (tier == kTierGeneral) return LogTier::kGeneral;
  if (tier == kTierUserCore) return LogTier::kUserCore;
  return LogTier::kOther;
}

CachedLogEntry::CachedLogEntry(const Fields& f, SdrPositions list)
    : created_at(f.created_at),
      strength(f.strength),
      pin_factor(f.pin_factor),
      reserved1(f.reserved1),
      reserved2(f.reserved2),
      tier(f.tier),
      list_(std::move(list)) {}

CachedEntryPtr CachedLogEntry::build(const Fields& f, const SdrPacker& packer) {
  void* block = ::operator new(sizeof(CachedLogEntry) + packer.packed_size());
  const CachedLogEntry* entry = new (block) CachedLogEntry(f, nullptr);
  packer.pack_into(static_cast<char*>(block) + sizeof(CachedLogEntry));
  return CachedEntryPtr(entry);
}

CachedEntryPtr CachedLogEntry::make(const LogEntry& entry) {
  void* block = ::operator new(sizeof(CachedLogEntry) + PackedSdr::kHeaderSize);
  const CachedLogEntry* cached = new (block) CachedLogEntry(
      Fields{entry.created_at, entry.strength, entry.pin_factor, entry.reserved1, entry.reserved2,
             log_tier_of(entry.tier)},
      entry.sdr);
  PackedSdr::plain_view_into(static_cast<char*>(block) + sizeof(CachedLogEntry), sdr_span(entry.sdr));
  return CachedEntryPtr(cached);
}

CachedEntryPtr CachedLogEntry::make(const LogEntryFixed& fixed, const char* positions) {
  return build(Fields{fixed.created_at, fixed.strength, fixed.pin_factor, fixed.reserved1, fixed.reserved2,
                      log_tier_of(fixed.tier)},
               SdrPacker(positions, fixed.sdr_count));
}

std::optional<std::string> CachedLogEntry::linked_id() const {
  auto p = link_.load();
  if (!p) return std::nullopt;
  return *p;
}

bool CachedLogEntry::has_link_to(std::string_view id) const {
  auto p = link_.load();
  return p && *p == id;
}

void CachedLogEntry::set_linked_id(std::optional<std::string> linked) const {
  link_.store(linked ? std::make_shared<const std::string>(std::move(*linked)) : nullptr);
}

void CachedEntryPtr::release() {
  if (!p_ || p_->refs_.fetch_sub(1, std::memory_order_acq_rel) != 1) return;
  const CachedLogEntry* entry = std::exchange(p_, nullptr);
  entry->~CachedLogEntry();
  ::operator delete(const_cast<CachedLogEntry*>(entry));
}

}  // namespace vesk
