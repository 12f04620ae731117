// CompactString: an immutable text in 16 bytes, for the small texts a store
// holds by the million (the record ids and relation types of connections).
//
// A text of up to 15 bytes lives inside the object; a longer one in one heap
// block of exactly its size. Record ids (12 characters) and the relation
// types the store writes itself ("associative", "causal", "coactivation")
// never allocate. The text converts implicitly to std::string_view (and to
// std::string), so it is searched, hashed and compared like any other text.
//
// Layout (16 bytes):
//   inline: bytes 0..14 the text, byte 15 its length (0..15)
//   heap:   bytes 0..7 the block's address, bytes 8..11 the length,
//           byte 15 kHeapTag
#pragma once

#include <compare>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

namespace vesk {

class CompactString {
 public:
  static constexpr size_t kInlineCapacity = 15;

  CompactString() noexcept { clear_bytes(); }
  CompactString(std::string_view text) { assign(text); }  // NOLINT: implicit by design
  CompactString(const std::string& text) { assign(text); }  // NOLINT: implicit by design
  CompactString(const char* text) { assign(std::string_view(text)); }  // NOLINT: implicit by design
  CompactString(const CompactString& other) { assign(other.view()); }
  CompactString(CompactString&& other) noexcept {
    std::memcpy(bytes_, other.bytes_, sizeof bytes_);
    other.clear_bytes();
  }
  CompactString& operator=(const CompactString& other) {
    if (this != &other) {
      CompactString copy(other);
      swap(copy);
    }
    return *this;
  }
  CompactString& operator=(CompactString&& other) noexcept {
    if (this != &other) {
      release();
      std::memcpy(bytes_, other.bytes_, sizeof bytes_);
      other.clear_bytes();
    }
    return *this;
  }
  ~CompactString() { release(); }

  void swap(CompactString& other) noexcept {
    unsigned char tmp[sizeof bytes_];
    std::memcpy(tmp, bytes_, sizeof bytes_);
    std::memcpy(bytes_, other.bytes_, sizeof bytes_);
    std::memcpy(other.bytes_, tmp, sizeof bytes_);
  }

  const char* data() const noexcept { return on_heap() ? heap_ptr() : reinterpret_cast<const char*>(bytes_); }
  size_t size() const noexcept { return on_heap() ? heap_size() : bytes_[15]; }
  bool empty() const noexcept { return size() == 0; }
  std::string_view view() const noexcept { return {data(), size()}; }
  std::string str() const { return std::string(view()); }

  operator std::string_view() const noexcept { return view(); }  // NOLINT: implicit by design
  operator std::string() const { return str(); }                 // NOLINT: implicit by design

  friend bool operator==(const CompactString& a, const CompactString& b) noexcept { return a.view() == b.view(); }
  friend bool operator==(const CompactString& a, std::string_view b) noexcept { return a.view() == b; }
  friend bool operator==(const CompactString& a, const std::string& b) noexcept { return a.view() == b; }
  friend bool operator==(const CompactString& a, const char* b) noexcept { return a.view() == b; }
  friend std::strong_ordering operator<=>(const CompactString& a, const CompactString& b) noexcept {
    return a.view() <=> b.view();
  }
  friend std::strong_ordering operator<=>(const CompactString& a, std::string_view b) noexcept {
    return a.view() <=> b;
  }

  friend std::string operator+(const std::string& a, const CompactString& b) { return a + std::string(b.view()); }
  friend std::string operator+(const CompactString& a, const std::string& b) { return std::string(a.view()) + b; }

 private:
  static constexpr unsigned char kHeapTag = 0x80;

  bool on_heap() const noexcept { return bytes_[15] == kHeapTag; }
  const char* heap_ptr() const noexcept {
    const char* p;
    std::memcpy(&p, bytes_, sizeof p);
    return p;
  }
  size_t heap_size() const noexcept {
    uint32_t n;
    std::memcpy(&n, bytes_ + 8, sizeof n);
    return n;
  }
  void clear_bytes() noexcept { std::memset(bytes_, 0, sizeof bytes_); }
  void release() noexcept {
    if (on_heap()) delete[] heap_ptr();
    clear_bytes();
  }
  void assign(std::string_view text) {
    clear_bytes();
    if (text.size() <= kInlineCapacity) {
      if (!text.empty()) std::memcpy(bytes_, text.data(), text.size());
      bytes_[15] = static_cast<unsigned char>(text.size());
      return;
    }
    if (text.size() > UINT32_MAX) throw std::length_error("CompactString: text too long");
    char* p = new char[text.size()];
    std::memcpy(p, text.data(), text.size());
    const uint32_t n = static_cast<uint32_t>(text.size());
    std::memcpy(bytes_, &p, sizeof p);
    std::memcpy(bytes_ + 8, &n, sizeof n);
    bytes_[15] = kHeapTag;
  }

  alignas(8) unsigned char bytes_[16];
};

static_assert(sizeof(CompactString) == 16);

}  // namespace vesk
