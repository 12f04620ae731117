// Typed relations between records, local entities with their graph, and the
// family graph. The attributes have no doc texts; dicts of counts come from
// hash maps, so their key order carries no meaning.
#include "value_classes.h"

namespace vesk::py {

ClassObject& NativeClass<RelationEdge>::object() {
  using T = RelationEdge;
  static ValueClass<T> cls{"vesk._core.RelationEdge",
                           "Public inspect shape for any explicit typed relation edge.",
                           {
                               field<&T::source_record_id>("source_record_id"),
                               field<&T::target_record_id>("target_record_id"),
                               field<&T::relation_type>("relation_type"),
                               field<&T::weight>("weight"),
                               field<&T::namespace_>("namespace"),
                               field<&T::structural>("structural"),
                           }};
  return cls;
}

ClassObject& NativeClass<RelationDigest>::object() {
  using T = RelationDigest;
  static ValueClass<T> cls{"vesk._core.RelationDigest",
                           "Combined inspect object for one record and its direct typed-relation corridor.",
                           {
                               field<&T::anchor_record_id>("anchor_record_id"),
                               field<&T::namespace_>("namespace"),
                               field<&T::anchor_tags>("anchor_tags"),
                               field<&T::anchor_content>("anchor_content"),
                               field<&T::relation_count>("relation_count"),
                               field<&T::structural_relations>("structural_relations"),
                               field<&T::non_structural_relations>("non_structural_relations"),
                               field<&T::relation_types>("relation_types"),
                               field<&T::linked_record_ids>("linked_record_ids"),
                               field<&T::edges>("edges"),
                           }};
  return cls;
}

ClassObject& NativeClass<StructuralRelation>::object() {
  using T = StructuralRelation;
  static ValueClass<T> cls{"vesk._core.StructuralRelation",
                           "Public inspect shape for deterministic structural relations.",
                           {
                               field<&T::source_record_id>("source_record_id"),
                               field<&T::target_record_id>("target_record_id"),
                               field<&T::relation_type>("relation_type"),
                               field<&T::weight>("weight"),
                               field<&T::namespace_>("namespace"),
                               field<&T::evidence_record_ids>("evidence_record_ids"),
                           }};
  return cls;
}

ClassObject& NativeClass<EntityDigest>::object() {
  using T = EntityDigest;
  static ValueClass<T> cls{"vesk._core.EntityDigest",
                           "Deterministic aggregate for all records carrying the same local entity id.",
                           {
                               field<&T::entity_id>("entity_id"),
                               field<&T::namespace_>("namespace"),
                               field<&T::record_ids>("record_ids"),
                               field<&T::relation_count>("relation_count"),
                               field<&T::tags>("tags"),
                               field<&T::levels>("levels"),
                           }};
  return cls;
}

ClassObject& NativeClass<EntityRelationEdge>::object() {
  using T = EntityRelationEdge;
  static ValueClass<T> cls{"vesk._core.EntityRelationEdge",
                           "Deterministic typed edge between two local entities.",
                           {
                               field<&T::source_entity_id>("source_entity_id"),
                               field<&T::target_entity_id>("target_entity_id"),
                               field<&T::relation_type>("relation_type"),
                               field<&T::weight>("weight"),
                               field<&T::namespace_>("namespace"),
                               field<&T::source_record_id>("source_record_id"),
                               field<&T::target_record_id>("target_record_id"),
                           }};
  return cls;
}

ClassObject& NativeClass<EntityGraphNeighbor>::object() {
  using T = EntityGraphNeighbor;
  static ValueClass<T> cls{"vesk._core.EntityGraphNeighbor",
                           "One neighbor row in a deterministic entity graph snapshot.",
                           {
                               field<&T::entity_id>("entity_id"),
                               field<&T::anchor_record_id>("anchor_record_id"),
                               field<&T::record_count>("record_count"),
                               field<&T::relation_count>("relation_count"),
                               field<&T::relation_types>("relation_types"),
                               field<&T::strongest_weight>("strongest_weight"),
                           }};
  return cls;
}

ClassObject& NativeClass<EntityGraphDigest>::object() {
  using T = EntityGraphDigest;
  static ValueClass<T> cls{"vesk._core.EntityGraphDigest",
                           "Combined inspect object for one entity and its direct entity neighbors.",
                           {
                               field<&T::entity>("entity"),
                               field<&T::anchor_record_id>("anchor_record_id"),
                               field<&T::neighbor_count>("neighbor_count"),
                               field<&T::relation_types>("relation_types"),
                               field<&T::neighbors>("neighbors"),
                               field<&T::edges>("edges"),
                           }};
  return cls;
}

ClassObject& NativeClass<PersonDigest>::object() {
  using T = PersonDigest;
  static ValueClass<T> cls{"vesk._core.PersonDigest",
                           "Deterministic inspect object for one linked person inside the family graph.",
                           {
                               field<&T::namespace_>("namespace"),
                               field<&T::profile_record_id>("profile_record_id"),
                               field<&T::person_record_id>("person_record_id"),
                               field<&T::relation_type>("relation_type"),
                               field<&T::weight>("weight"),
                               field<&T::person_tags>("person_tags"),
                               field<&T::person_content>("person_content"),
                           }};
  return cls;
}

ClassObject& NativeClass<FamilyGraphSnapshot>::object() {
  using T = FamilyGraphSnapshot;
  static ValueClass<T> cls{"vesk._core.FamilyGraphSnapshot",
                           "Inspect-friendly snapshot of deterministic self/family relations.",
                           {
                               field<&T::namespace_>("namespace"),
                               field<&T::profile_record_id>("profile_record_id"),
                               field<&T::relation_count>("relation_count"),
                               field<&T::relation_types>("relation_types"),
                               field<&T::members>("members"),
                           }};
  return cls;
}

ClassObject& NativeClass<FamilyRelationMember>::object() {
  using T = FamilyRelationMember;
  static ValueClass<T> cls{"vesk._core.FamilyRelationMember",
                           "One inspect row in a deterministic self/family graph.",
                           {
                               field<&T::record_id>("record_id"),
                               field<&T::relation_type>("relation_type"),
                               field<&T::weight>("weight"),
                               field<&T::tags>("tags"),
                               field<&T::content>("content"),
                           }};
  return cls;
}

}  // namespace vesk::py
