// ContainerBuilder: container files made byte by byte for the reader tests,
// with every piece (segments, TOC, frame, header) open to bending.
//
// Segments are stored raw, one after the other in each generation's area;
// a file whose name and content equal the previous generation's reuses its
// bytes. Generations are numbered on from the first (1 unless told).
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/sha256.h"
#include "exchange/capsule/container_format.h"
#include "exchange/capsule/container_header.h"
#include "exchange/capsule/generation_signature.h"
#include "model/capsule_toc.h"

namespace vesk::testing {

using Files = std::vector<std::pair<std::string, std::string>>;

struct GenerationEdits {
  std::function<void(CapsuleToc&)> toc;              // before signing and writing
  std::function<void(std::string&)> toc_bytes;       // after serialising, before hashing
  std::function<void(ContainerGenerationFrame&)> frame;
  const ContainerSigningKey* key = nullptr;
};

class ContainerBuilder {
 public:
  explicit ContainerBuilder(uint64_t first_generation = 1) : next_(first_generation) {
    ContainerHeader h;
    h.magic = std::string(kContainerMagic);
    h.version = kContainerLayoutV2;
    h.created_at = 1700000000;
    bytes_ = encode_container_header(h);
  }

  CapsuleToc add(const Files& files, const GenerationEdits& edits = {}) {
    const uint64_t start = bytes_.size();
    std::string area;
    CapsuleToc toc;
    toc.format = std::string(kContainerFormat);
    toc.version = kContainerLayoutV2;
    toc.generation = next_++;
    toc.created_at = 1700000000 + toc.generation;
    for (const auto& [name, content] : files) {
      CapsuleSegment s{name, 0, content.size(), content.size(), SegmentCodec::Raw, sha256_hex(content)};
      auto old = previous_.find(name);
      if (old != previous_.end() && old->second.sha256 == s.sha256) {
        s = old->second;
      } else {
        s.offset = start + kGenerationFrameSize + area.size();
        area += content;
      }
      toc.segments.push_back(s);
      toc.original_size += s.original_size;
      toc.stored_size += s.stored_size;
    }
    if (last_) toc.holds = last_->holds;
    if (edits.toc) edits.toc(toc);
    if (edits.key) {
      std::optional<std::string> predecessor;
      if (last_ && last_->authenticity) predecessor = last_->authenticity->manifest_sha256;
      sign_generation_manifest(toc, predecessor, *edits.key);
    }
    std::string toc_text = serialize_capsule_toc(toc);
    if (edits.toc_bytes) edits.toc_bytes(toc_text);
    ContainerGenerationFrame f;
    f.magic = std::string(kGenerationMagic);
    f.frame_version = kGenerationFrameVersion;
    f.generation = toc.generation;
    f.created_at = toc.created_at;
    f.toc_offset = kGenerationFrameSize + area.size();
    f.toc_length = toc_text.size();
    f.generation_length = f.toc_offset + f.toc_length;
    f.toc_sha256 = sha256(toc_text);
    if (edits.frame) edits.frame(f);
    bytes_ += encode_generation_frame(f) + area + toc_text;
    previous_.clear();
    for (const CapsuleSegment& s : toc.segments) previous_[s.name] = s;
    last_ = toc;
    return toc;
  }

  std::string& bytes() { return bytes_; }
  void write(const std::filesystem::path& path) const {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes_;
  }

 private:
  uint64_t next_;
  std::string bytes_;
  std::map<std::string, CapsuleSegment> previous_;
  std::optional<CapsuleToc> last_;
};

// A layout-1 container: header, the files' bytes, the TOC at the end.
inline std::string build_v1_container(const Files& files, const std::function<void(CapsuleToc&)>& edit_toc = {},
                                      const std::function<void(ContainerHeader&)>& edit_header = {}) {
  std::string area;
  CapsuleToc toc;
  toc.format = std::string(kContainerFormat);
  toc.version = kContainerLayoutV1;
  toc.created_at = 1600000000;
  for (const auto& [name, content] : files) {
    toc.segments.push_back(CapsuleSegment{name, kContainerHeaderSize + area.size(), content.size(), content.size(),
                                          SegmentCodec::Raw, sha256_hex(content)});
    toc.original_size += content.size();
    toc.stored_size += content.size();
    area += content;
  }
  if (edit_toc) edit_toc(toc);
  const std::string toc_text = serialize_capsule_toc(toc);
  ContainerHeader h;
  h.magic = std::string(kContainerMagic);
  h.version = kContainerLayoutV1;
  h.created_at = toc.created_at;
  h.toc_offset = kContainerHeaderSize + area.size();
  h.toc_length = toc_text.size();
  h.toc_sha256 = sha256(toc_text);
  if (edit_header) edit_header(h);
  return encode_container_header(h) + area + toc_text;
}

}  // namespace vesk::testing
