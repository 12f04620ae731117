#include "exchange/capsule/generation_manifest.h"

#include "model/json_writer.h"

namespace vesk {

std::string build_generation_manifest(const CapsuleToc& toc, const std::optional<std::string>& predecessor) {
  std::string out;
  JsonWriter w(out);
  w.begin_object();
  w.key("domain");
  w.string(kManifestSignatureAlgorithm);
  w.key("format");
  w.string(toc.format);
  w.key("version");
  w.u64(toc.version);
  w.key("generation");
  w.u64(toc.generation);
  w.key("created_at");
  w.u64(toc.created_at);
  w.key("original_size");
  w.u64(toc.original_size);
  w.key("segments");
  w.begin_array();
  for (const CapsuleSegment& segment : toc.segments) {
    w.begin_object();
    w.key("name");
    w.string(segment.name);
    w.key("original_size");
    w.u64(segment.original_size);
    w.key("sha256");
    w.string(segment.sha256);
    w.end_object();
  }
  w.end_array();
  serialize_holds_field(w, toc.holds);
  w.key("previous_manifest_sha256");
  if (predecessor) {
    w.string(*predecessor);
  } else {
    w.null();
  }
  w.end_object();
  return out;
}

}  // namespace vesk
