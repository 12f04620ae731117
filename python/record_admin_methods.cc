// Administrative record operations: namespace move, JSON import, media
// records and plain-text intake, promotion and salience.
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "enum_classes.h"
#include "record_class.h"
#include "vesk_object.h"
#include "write/media_request.h"

namespace vesk::py {
namespace {

// Holds the interpreter lock; every failure is an OSError.
Result<std::optional<Record>> move_record(Vesk& self, std::string record_id, std::string new_namespace) {
  return self.move_record(record_id, new_namespace);
}
constexpr Method kMoveRecord{"Vesk", "move_record($self, record_id, new_namespace)", move_record};

Result<uint64_t> import_json(Vesk& self, std::string json_str) { return self.import_json(json_str); }
constexpr Method kImportJson{"Vesk", "import_json($self, json_str)", import_json};

// The three writers keep the interpreter lock for the whole store road; the
// classifier callbacks, which take it for their call, run in this thread.
Result<std::string> store_media(Vesk& self, StoreRequest request) {
  auto stored = self.store_with_channel(std::move(request));
  if (!stored.ok()) return stored.status().as(ErrorKind::Runtime);
  return std::move(stored->id);
}

Result<std::string> store_image(Vesk& self, std::string path, std::string description, std::optional<Level> level,
                                std::optional<std::vector<std::string>> tags, std::optional<std::string> namespace_) {
  return store_media(self, media_store_request(MediaKind::Image, std::move(description), std::move(path), level,
                                               std::move(tags), std::move(namespace_)));
}
constexpr Method kStoreImage{"Vesk", "store_image($self, path, description, level=None, tags=None, namespace=None)",
                             store_image};

Result<std::string> store_audio_transcript(Vesk& self, std::string transcript, std::string source_path,
                                           std::optional<Level> level, std::optional<std::vector<std::string>> tags,
                                           std::optional<std::string> namespace_) {
  return store_media(self, media_store_request(MediaKind::AudioTranscript, std::move(transcript),
                                               std::move(source_path), level, std::move(tags), std::move(namespace_)));
}
constexpr Method kStoreAudioTranscript{
    "Vesk", "store_audio_transcript($self, transcript, source_path, level=None, tags=None, namespace=None)",
    store_audio_transcript};

Result<std::string> process(Vesk& self, std::string text, std::optional<bool> pin) {
  auto stored = self.store_with_channel(plain_text_request(std::move(text), pin));
  if (!stored.ok()) return stored.status().as(ErrorKind::Runtime);
  return plain_text_answer(*stored);
}
constexpr Method kProcess{"Vesk", "process($self, text, pin=None)", process};

std::vector<Record> promotion_candidates(Vesk& self, std::optional<uint64_t> min_activations,
                                         std::optional<float> min_strength) {
  return self.promotion_candidates(min_activations, min_strength);
}
constexpr Method kPromotionCandidates{"Vesk", "promotion_candidates($self, min_activations=None, min_strength=None)",
                                      promotion_candidates};

std::optional<std::string> promotion_block_reason(Vesk& self, std::string record_id) {
  return self.promotion_block_reason(record_id);
}
constexpr Method kPromotionBlockReason{"Vesk", "promotion_block_reason($self, record_id)", promotion_block_reason};

// Every failure is an OSError.
Result<std::optional<Level>> promote_record(Vesk& self, std::string record_id) {
  return self.promote_record(record_id);
}
constexpr Method kPromoteRecord{"Vesk", "promote_record($self, record_id)", promote_record};

Result<std::optional<Record>> mark_record_salience(Vesk& self, std::string record_id, double salience,
                                                   std::optional<std::string> reason) {
  std::optional<std::string_view> r;
  if (reason) r = *reason;
  return self.mark_record_salience(record_id, salience, r);
}
constexpr Method kMarkRecordSalience{"Vesk", "mark_record_salience($self, record_id, salience, reason=None)",
                                     mark_record_salience};

}  // namespace

MethodRows record_admin_methods() {
  return {bind<kMoveRecord>(),         bind<kImportJson>(),           bind<kStoreImage>(),
          bind<kStoreAudioTranscript>(), bind<kProcess>(),            bind<kPromotionCandidates>(),
          bind<kPromotionBlockReason>(), bind<kPromoteRecord>(),      bind<kMarkRecordSalience>()};
}

}  // namespace vesk::py
