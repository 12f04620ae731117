// Family memory, the user profile and the agent persona. All hold the
// interpreter lock: the family reads cost the anchor's connections, and the
// writers are one search and one store or update each.
#include <map>
#include <optional>
#include <string>
#include <utility>

#include "config_classes.h"
#include "value_classes.h"
#include "vesk_object.h"

namespace vesk::py {
namespace {

std::optional<FamilyGraphSnapshot> get_family_graph(Vesk& self, std::optional<std::string> namespace_) {
  return self.get_family_graph(namespace_ ? std::optional<std::string_view>(*namespace_) : std::nullopt);
}
constexpr Method kGetFamilyGraph{"Vesk", "get_family_graph($self, namespace=None)", get_family_graph};

std::optional<FamilyGraphSnapshot> get_family_graph_for_record(Vesk& self, std::string record_id) {
  return self.get_family_graph_for_record(record_id);
}
constexpr Method kGetFamilyGraphForRecord{"Vesk", "get_family_graph_for_record($self, record_id)",
                                          get_family_graph_for_record};

std::optional<PersonDigest> get_person_digest(Vesk& self, std::string record_id) {
  return self.get_person_digest(record_id);
}
constexpr Method kGetPersonDigest{"Vesk", "get_person_digest($self, record_id)", get_person_digest};

Result<std::string> store_family_person(Vesk& self, std::string relation_type, std::string content,
                                        std::optional<StringMap> metadata, std::optional<std::string> namespace_) {
  return self.store_family_person(relation_type, std::move(content), std::move(metadata), std::move(namespace_));
}
constexpr Method kStoreFamilyPerson{
    "Vesk", "store_family_person($self, relation_type, content, metadata=None, namespace=None)", store_family_person};

Result<std::string> store_user_profile(Vesk& self, StringMap fields) { return self.store_user_profile(fields); }
constexpr Method kStoreUserProfile{"Vesk", "store_user_profile($self, fields)", store_user_profile};

std::optional<std::map<std::string, std::string>> get_user_profile(Vesk& self) { return self.get_user_profile(); }
constexpr Method kGetUserProfile{"Vesk", "get_user_profile($self)", get_user_profile};

Result<std::string> set_persona(Vesk& self, AgentPersona persona) { return self.set_persona(persona); }
constexpr Method kSetPersona{"Vesk", "set_persona($self, persona)", set_persona};

std::optional<AgentPersona> get_persona(Vesk& self) { return self.get_persona(); }
constexpr Method kGetPersona{"Vesk", "get_persona($self)", get_persona};

}  // namespace

MethodRows family_methods() {
  return {bind<kGetFamilyGraph>(),   bind<kGetFamilyGraphForRecord>(), bind<kGetPersonDigest>(),
          bind<kStoreFamilyPerson>(), bind<kStoreUserProfile>(),       bind<kGetUserProfile>(),
          bind<kSetPersona>(),       bind<kGetPersona>()};
}

}  // namespace vesk::py
