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

namespace {

JsonValue::Array names_to_list(const std::vector<std::string>& names) {
  JsonValue::Array out;
  out.reserve(names.size());
  for (const std::string& name : names) out.emplace_back(name);
  return out;
}

}  // namespace

JsonValue::Array container_generations_to_list(const std::vector<ContainerGenerationEntry>& entries) {
  JsonValue::Array out;
  out.reserve(entries.size());
  for (const ContainerGenerationEntry& e : entries) {
    JsonObject o;
    o.append("generation", e.generation);
    o.append("created_at", e.created_at);
    o.append("segment_count", e.segment_count);
    o.append("original_size", e.original_size);
    o.append("stored_size", e.stored_size);
    out.emplace_back(std::move(o));
  }
  return out;
}

JsonObject generation_diff_to_dict(const GenerationDiff& diff) {
  JsonValue::Array changed;
  changed.reserve(diff.changed.size());
  for (const ChangedSegment& c : diff.changed) {
    JsonObject o;
    o.append("name", c.name);
    o.append("previous_sha256", c.previous_sha256);
    o.append("current_sha256", c.current_sha256);
    o.append("previous_size", c.previous_size);
    o.append("current_size", c.current_size);
    changed.emplace_back(std::move(o));
  }
  JsonObject out;
  out.append("from_generation", diff.from_generation);
  out.append("to_generation", diff.to_generation);
  out.append("added", names_to_list(diff.added));
  out.append("removed", names_to_list(diff.removed));
  out.append("unchanged", names_to_list(diff.unchanged));
  out.append("original_size_delta", diff.original_size_delta);
  out.append("changed", std::move(changed));
  return out;
}

JsonObject segment_verification_to_dict(const SegmentVerification& checked) {
  JsonObject out;
  out.append("segment_count", checked.segment_count);
  out.append("total_size", checked.total_size);
  out.append("segments", names_to_list(checked.segments));
  return out;
}

}  // namespace vesk
