#include "write/media_request.h"

#include <algorithm>
#include <utility>

namespace vesk {

StoreRequest media_store_request(MediaKind kind, std::string content, std::string source_path,
                                 std::optional<Level> level, std::optional<std::vector<std::string>> tags,
                                 std::optional<std::string> namespace_) {
  const bool image = kind == MediaKind::Image;
  const std::string media = image ? "image" : "audio";
  StoreRequest request;
  request.content = std::move(content);
  request.level = level;
  std::vector<std::string> all = std::move(tags).value_or(std::vector<std::string>{});
  if (std::find(all.begin(), all.end(), media) == all.end()) all.push_back(media);
  request.tags = std::move(all);
  request.content_type = image ? "image" : "audio_transcript";
  request.source_type = "recorded";
  StringMap metadata;
  metadata.emplace("source_path", std::move(source_path));
  metadata.emplace("media_type", media);
  request.metadata = std::move(metadata);
  request.namespace_ = std::move(namespace_);
  return request;
}

StoreRequest plain_text_request(std::string text, std::optional<bool> pin) {
  StoreRequest request;
  request.content = std::move(text);
  request.pin = pin;
  if (pin.value_or(false)) request.level = Level::Identity;
  return request;
}

std::string plain_text_answer(const Record& stored) {
  return "Stored record " + stored.id + " (level=" + std::string(level_display_name(stored.level)) + ")";
}

}  // namespace vesk
