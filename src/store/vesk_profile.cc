// The user profile and the agent persona: each one pinned Identity record in
// "default", found by `search` and rewritten in place through `update`.
//
// The search, the store or update and the read-back are separate steps, each
// taking the locks of the operation it calls; none spans them. A record of
// the same tag stored by another thread in between makes two candidates, and
// from then on the search's ranking picks one.
#include <utility>

#include "entities/user_profile.h"
#include "store/vesk.h"

namespace vesk {
namespace {

constexpr std::string_view kPersonaTag = "agent-persona";
constexpr std::string_view kPersonaJsonKey = "persona_json";

SearchQuery identity_record_query(std::string_view tag) {
  SearchQuery q;
  q.level = Level::Identity;
  q.tags = std::vector<std::string>{std::string(tag)};
  q.limit = 1;
  return q;
}

// A new pinned Identity record of one tag in "default", never deduplicated.
StoreRequest identity_record_request(std::string content, std::string_view tag, StringMap metadata) {
  StoreRequest request;
  request.content = std::move(content);
  request.level = Level::Identity;
  request.tags = std::vector<std::string>{std::string(tag)};
  request.pin = true;
  request.metadata = std::move(metadata);
  request.deduplicate = false;
  return request;
}

// Replaces the content and the metadata of an existing record and checks
// that it is still there afterwards.
Result<std::string> rewrite_record(Vesk& v, const std::string& id, std::string content, StringMap metadata,
                           std::string_view gone_message) {
  RecordUpdate change;
  change.content = std::move(content);
  change.metadata = std::move(metadata);
  Result<std::optional<Record>> updated = v.update(id, std::move(change));
  if (!updated.ok()) return updated.status();
  if (!v.get(id)) return Status::Runtime(std::string(gone_message));
  return id;
}

}  // namespace

Result<std::string> Vesk::store_user_profile(const StringMap& fields) {
  std::vector<Record> found = search(identity_record_query(kProfileTag));
  if (found.empty()) {
    Result<Record> stored =
        store_with_channel(identity_record_request(render_user_profile(fields), kProfileTag, fields));
    if (!stored.ok()) return stored.status();
    return std::move(stored->id);
  }
  // The fields merge into what the profile holds, the keys the store road
  // stamped included, and the whole map is rendered again.
  Record& profile = found.front();
  StringMap merged = std::move(profile.metadata);
  for (const auto& [key, value] : fields) merged.insert_or_assign(key, value);
  std::string content = render_user_profile(merged);
  return rewrite_record(*this, profile.id, std::move(content), std::move(merged), "Profile record disappeared");
}

std::optional<std::map<std::string, std::string>> Vesk::get_user_profile() {
  std::vector<Record> found = search(identity_record_query(kProfileTag));
  if (found.empty()) return std::nullopt;
  return std::map<std::string, std::string>(found.front().metadata.begin(), found.front().metadata.end());
}

Result<std::string> Vesk::set_persona(const AgentPersona& persona) {
  // A non-finite trait would be written as null, which no reader takes back:
  // the persona record would stop reading while the call reported success.
  if (std::optional<std::string_view> trait = first_non_finite_trait(persona.traits))
    return Status::Runtime("persona trait " + std::string(*trait) + " must be finite");
  std::string prompt = render_persona_prompt(persona);
  StringMap metadata;
  metadata.insert_or_assign(std::string(kPersonaJsonKey), persona_json(persona));
  std::vector<Record> found = search(identity_record_query(kPersonaTag));
  if (found.empty()) {
    StoreRequest request = identity_record_request(std::move(prompt), kPersonaTag, std::move(metadata));
    request.semantic_type = "preference";
    Result<Record> stored = store_with_channel(std::move(request));
    if (!stored.ok()) return stored.status();
    return std::move(stored->id);
  }
  return rewrite_record(*this, found.front().id, std::move(prompt), std::move(metadata), "Persona record disappeared");
}

std::optional<AgentPersona> Vesk::get_persona() {
  std::vector<Record> found = search(identity_record_query(kPersonaTag));
  if (found.empty()) return std::nullopt;
  auto it = found.front().metadata.find(kPersonaJsonKey);
  if (it == found.front().metadata.end()) return std::nullopt;
  Result<AgentPersona> persona = parse_persona_json(it->second);
  if (!persona.ok()) return std::nullopt;
  return std::move(*persona);
}

}  // namespace vesk
