// The store requests of the media writers and of plain-text intake.
//
// Both are thin writers on the store road (Vesk::store_with_channel): they
// add no check of their own, so every rule, default and derivation of the
// road applies. A media record keeps the text that describes the file (a
// description or a transcript), the file's path as given (never opened or
// checked) under "source_path", its kind under "media_type", and the media
// tag after the caller's tags unless one of them already is that tag; its
// source type is "recorded" and its content type names the media, so no
// claim certainty, outcome or duplicate detection applies to it. Plain text
// is stored with every default, at Identity when pinned.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "model/level.h"
#include "model/record.h"
#include "write/store_request.h"

namespace vesk {

enum class MediaKind : uint8_t { Image, AudioTranscript };

// The request for a media record: content type "image" (media tag and type
// "image") or "audio_transcript" (media tag and type "audio").
StoreRequest media_store_request(MediaKind kind, std::string content, std::string source_path,
                                 std::optional<Level> level, std::optional<std::vector<std::string>> tags,
                                 std::optional<std::string> namespace_);

// The request for a plain text: `pin` true stores it pinned at Identity.
StoreRequest plain_text_request(std::string text, std::optional<bool> pin);

// "Stored record {id} (level={display level})" for the record stored or
// touched.
std::string plain_text_answer(const Record& stored);

}  // namespace vesk
