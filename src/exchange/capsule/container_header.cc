#include "exchange/capsule/container_header.h"

#include <cstring>

#include "base/coding.h"
#include "exchange/capsule/container_format.h"

namespace vesk {

namespace {

void put_magic(std::string* out, std::string_view magic) {
  std::string m(magic.substr(0, 4));
  m.resize(4, '\0');
  out->append(m);
}

void put_digest(std::string* out, const Sha256Digest& d) { out->append(reinterpret_cast<const char*>(d.data()), d.size()); }

Sha256Digest get_digest(const char* p) {
  Sha256Digest d;
  std::memcpy(d.data(), p, d.size());
  return d;
}

}  // namespace

ContainerHeader decode_container_header(std::string_view bytes) {
  const char* p = bytes.data();
  ContainerHeader h;
  h.magic.assign(p, 4);
  h.version = get_le<uint16_t>(p + 4);
  h.flags = get_le<uint16_t>(p + 6);
  h.created_at = get_le<uint64_t>(p + 8);
  h.toc_offset = get_le<uint64_t>(p + 16);
  h.toc_length = get_le<uint64_t>(p + 24);
  h.toc_sha256 = get_digest(p + 32);
  return h;
}

ContainerGenerationFrame decode_generation_frame(std::string_view bytes) {
  const char* p = bytes.data();
  ContainerGenerationFrame f;
  f.magic.assign(p, 4);
  f.frame_version = get_le<uint16_t>(p + 4);
  f.flags = get_le<uint16_t>(p + 6);
  f.generation = get_le<uint64_t>(p + 8);
  f.created_at = get_le<uint64_t>(p + 16);
  f.generation_length = get_le<uint64_t>(p + 24);
  f.toc_offset = get_le<uint64_t>(p + 32);
  f.toc_length = get_le<uint64_t>(p + 40);
  f.toc_sha256 = get_digest(p + 48);
  return f;
}

std::string encode_container_header(const ContainerHeader& h) {
  std::string out;
  out.reserve(kContainerHeaderSize);
  put_magic(&out, h.magic);
  put_le(&out, h.version);
  put_le(&out, h.flags);
  put_le(&out, h.created_at);
  put_le(&out, h.toc_offset);
  put_le(&out, h.toc_length);
  put_digest(&out, h.toc_sha256);
  return out;
}

std::string encode_generation_frame(const ContainerGenerationFrame& f) {
  std::string out;
  out.reserve(kGenerationFrameSize);
  put_magic(&out, f.magic);
  put_le(&out, f.frame_version);
  put_le(&out, f.flags);
  put_le(&out, f.generation);
  put_le(&out, f.created_at);
  put_le(&out, f.generation_length);
  put_le(&out, f.toc_offset);
  put_le(&out, f.toc_length);
  put_digest(&out, f.toc_sha256);
  return out;
}

}  // namespace vesk
