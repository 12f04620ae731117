#include "model/capsule_toc.h"

namespace vesk {

const JsonStruct<CapsuleSegment>& JsonCodec<CapsuleSegment>::fields() {
  static const JsonStruct<CapsuleSegment> s("struct CapsuleSegment",
                                            {
                                                json_field<&CapsuleSegment::name>("name"),
                                                json_field<&CapsuleSegment::offset>("offset"),
                                                json_field<&CapsuleSegment::stored_size>("stored_size"),
                                                json_field<&CapsuleSegment::original_size>("original_size"),
                                                json_field<&CapsuleSegment::codec>("codec"),
                                                json_field<&CapsuleSegment::sha256>("sha256"),
                                            });
  return s;
}

const JsonStruct<CapsuleGenerationHold>& JsonCodec<CapsuleGenerationHold>::fields() {
  static const JsonStruct<CapsuleGenerationHold> s("struct CapsuleGenerationHold",
                                                   {
                                                       json_field<&CapsuleGenerationHold::generation>("generation"),
                                                       json_field<&CapsuleGenerationHold::label>("label"),
                                                       json_field<&CapsuleGenerationHold::created_at>("created_at"),
                                                   });
  return s;
}

const JsonStruct<CapsuleGenerationAuthenticity>& JsonCodec<CapsuleGenerationAuthenticity>::fields() {
  using A = CapsuleGenerationAuthenticity;
  static const JsonStruct<A> s("struct CapsuleGenerationAuthenticity",
                               {
                                   json_field<&A::algorithm>("algorithm"),
                                   json_field<&A::public_key>("public_key"),
                                   json_field<&A::manifest_sha256>("manifest_sha256"),
                                   json_field<&A::previous_manifest_sha256>("previous_manifest_sha256"),
                                   json_field<&A::signature>("signature"),
                               });
  return s;
}

const JsonStruct<CapsuleToc>& JsonCodec<CapsuleToc>::fields() {
  static const JsonStruct<CapsuleToc> s("struct CapsuleToc",
                                        {
                                            json_field<&CapsuleToc::format>("format"),
                                            json_field<&CapsuleToc::version>("version"),
                                            json_field<&CapsuleToc::generation>("generation", kJsonDefault),
                                            json_field<&CapsuleToc::created_at>("created_at"),
                                            json_field<&CapsuleToc::segments>("segments"),
                                            json_field<&CapsuleToc::original_size>("original_size"),
                                            json_field<&CapsuleToc::stored_size>("stored_size"),
                                            json_field<&CapsuleToc::holds>("holds", kJsonDefault),
                                            json_field<&CapsuleToc::authenticity>("authenticity", kJsonDefault | kJsonOmitEmpty),
                                        });
  return s;
}

std::string serialize_capsule_toc(const CapsuleToc& toc) { return json_to_string(toc); }

void serialize_holds_field(JsonWriter& w, const std::vector<CapsuleGenerationHold>& holds) {
  w.key("holds");
  json_write(w, holds);
}

Result<CapsuleToc> parse_capsule_toc(std::string_view json) { return json_parse<CapsuleToc>(json); }

}  // namespace vesk
