#include "exchange/capsule/container_dict.h"

#include <string>
#include <utility>

namespace vesk {

JsonObject container_manifest_to_dict(const CapsuleToc& toc) {
  JsonValue::Array holds;
  holds.reserve(toc.holds.size());
  for (const CapsuleGenerationHold& hold : toc.holds) {
    JsonObject h;
    h.append("generation", hold.generation);
    h.append("label", hold.label);
    h.append("created_at", hold.created_at);
    holds.emplace_back(std::move(h));
  }
  JsonValue authenticity;
  if (toc.authenticity) {
    const CapsuleGenerationAuthenticity& a = *toc.authenticity;
    JsonObject o;
    o.append("algorithm", a.algorithm);
    o.append("public_key", a.public_key);
    o.append("manifest_sha256", a.manifest_sha256);
    o.append("previous_manifest_sha256",
             a.previous_manifest_sha256 ? JsonValue(*a.previous_manifest_sha256) : JsonValue());
    o.append("signature", a.signature);
    authenticity = JsonValue(std::move(o));
  }
  JsonValue::Array segments;
  segments.reserve(toc.segments.size());
  for (const CapsuleSegment& segment : toc.segments) {
    JsonObject s;
    s.append("name", segment.name);
    s.append("offset", segment.offset);
    s.append("stored_size", segment.stored_size);
    s.append("original_size", segment.original_size);
    s.append("codec", std::string(kSegmentCodecNames[static_cast<size_t>(segment.codec)]));
    s.append("sha256", segment.sha256);
    segments.emplace_back(std::move(s));
  }
  JsonObject out;
  out.append("format", toc.format);
  out.append("version", static_cast<uint64_t>(toc.version));
  out.append("generation", toc.generation);
  out.append("created_at", toc.created_at);
  out.append("original_size", toc.original_size);
  out.append("stored_size", toc.stored_size);
  out.append("holds", std::move(holds));
  out.append("authenticity", std::move(authenticity));
  out.append("segments", std::move(segments));
  return out;
}

JsonObject container_import_report_to_dict(const ContainerImportReport& report) {
  JsonObject out;
  out.append("target_path", report.target_path);
  out.append("segment_count", report.segment_count);
  out.append("restored_size", report.restored_size);
  return out;
}

}  // namespace vesk
