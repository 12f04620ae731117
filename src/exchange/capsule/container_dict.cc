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

JsonObject container_export_report_to_dict(const ContainerExportReport& report) {
  JsonObject out;
  out.append("output_path", report.output_path);
  out.append("segment_count", report.segment_count);
  out.append("original_size", report.original_size);
  out.append("container_size", report.container_size);
  out.append("compressed_segment_count", report.compressed_segment_count);
  out.append("generation", report.generation);
  return out;
}

JsonObject container_write_report_to_dict(const ContainerWriteReport& report) {
  JsonObject out;
  out.append("output_path", report.output_path);
  out.append("generation", report.generation);
  out.append("segment_count", report.segment_count);
  out.append("changed_segment_count", report.changed_segment_count);
  out.append("reused_segment_count", report.reused_segment_count);
  out.append("removed_segment_count", report.removed_segment_count);
  out.append("appended_bytes", report.appended_bytes);
  out.append("container_size", report.container_size);
  return out;
}

JsonObject container_authenticity_report_to_dict(const ContainerAuthenticityReport& r) {
  JsonObject out;
  out.append("path", r.path);
  out.append("verified", r.verified);
  out.append("generation_count", r.generation_count);
  out.append("signed_generation_count", r.signed_generation_count);
  out.append("unsigned_generation_count", r.unsigned_generation_count);
  out.append("all_generations_signed", r.all_generations_signed);
  out.append("chain_start_generation", r.chain_start_generation ? JsonValue(*r.chain_start_generation) : JsonValue());
  out.append("detached_prefix", r.detached_prefix);
  out.append("public_key", r.public_key ? JsonValue(*r.public_key) : JsonValue());
  out.append("latest_manifest_sha256", r.latest_manifest_sha256 ? JsonValue(*r.latest_manifest_sha256) : JsonValue());
  return out;
}

}  // namespace vesk
