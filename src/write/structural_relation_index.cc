#include "write/structural_relation_index.h"

namespace vesk {

void StructuralRelationIndex::add(const std::string& id, Entry entry) {
  if (!entry.roles.any()) return;
  Namespace& ns = namespaces_[entry.namespace_];
  const StructuralRoles& roles = entry.roles;
  if (roles.profile) ns.profiles.insert(id);
  if (roles.family_relation) ns.relatives.insert_or_assign(id, *roles.family_relation);
  if (roles.anchor_project) ns.anchors[*roles.anchor_project].insert(id);
  if (roles.member_project) ns.members[*roles.member_project].insert(id);
  entries_.insert_or_assign(id, std::move(entry));
}

void StructuralRelationIndex::drop(std::string_view id) {
  auto it = entries_.find(id);
  if (it == entries_.end()) return;
  const Entry& entry = it->second;
  auto nit = namespaces_.find(entry.namespace_);
  if (nit != namespaces_.end()) {
    Namespace& ns = nit->second;
    auto forget = [&](StringKeyMap<StringSet>& by_project, const std::string& project) {
      auto p = by_project.find(project);
      if (p == by_project.end()) return;
      p->second.erase(std::string(id));
      if (p->second.empty()) by_project.erase(p);
    };
    ns.profiles.erase(std::string(id));
    ns.relatives.erase(std::string(id));
    if (entry.roles.anchor_project) forget(ns.anchors, *entry.roles.anchor_project);
    if (entry.roles.member_project) forget(ns.members, *entry.roles.member_project);
    if (ns.empty()) namespaces_.erase(nit);
  }
  entries_.erase(it);
}

void StructuralRelationIndex::note_insert(const Record& r) { add(r.id, Entry{r.namespace_, structural_roles(r)}); }

void StructuralRelationIndex::note_replace(const Record& before, const Record& after) {
  if (before.id == after.id && !structural_inputs_differ(before, after)) return;
  drop(before.id);
  note_insert(after);
}

void StructuralRelationIndex::note_remove(const Record& r) { drop(r.id); }

void StructuralRelationIndex::rebuild(const RecordMap& map) {
  namespaces_.clear();
  entries_.clear();
  for (const auto& [id, record] : map) note_insert(record);
}

const Record* StructuralRelationIndex::user_profile(const RecordMap& map, std::string_view namespace_) const {
  auto nit = namespaces_.find(namespace_);
  if (nit == namespaces_.end()) return nullptr;
  RecordMap::const_iterator first = map.end();
  for (const std::string& id : nit->second.profiles) {
    auto it = map.find(id);
    if (it != map.end() && (first == map.end() || map.order(it) < map.order(first))) first = it;
  }
  return first == map.end() ? nullptr : &first->second;
}

const Record* StructuralRelationIndex::first_user_profile(const RecordMap& map) const {
  const Record* first = nullptr;
  size_t first_order = 0;
  for (const auto& [namespace_, ns] : namespaces_) {
    if (ns.profiles.empty()) continue;
    const Record* r = user_profile(map, namespace_);
    if (!r) continue;
    const size_t order = map.order(map.find(r->id));
    if (!first || order < first_order) {
      first = r;
      first_order = order;
    }
  }
  return first;
}

std::vector<std::pair<std::string, std::string>> StructuralRelationIndex::relatives(
    std::string_view namespace_) const {
  std::vector<std::pair<std::string, std::string>> out;
  auto nit = namespaces_.find(namespace_);
  if (nit == namespaces_.end()) return out;
  out.assign(nit->second.relatives.begin(), nit->second.relatives.end());
  return out;
}

std::vector<std::pair<std::string, std::string>> StructuralRelationIndex::memberships(
    const RecordMap& map, std::string_view namespace_) const {
  std::vector<std::pair<std::string, std::string>> out;
  auto nit = namespaces_.find(namespace_);
  if (nit == namespaces_.end()) return out;
  const Namespace& ns = nit->second;
  for (const auto& [project, anchor_ids] : ns.anchors) {
    auto members = ns.members.find(project);
    if (members == ns.members.end()) continue;
    RecordMap::const_iterator last = map.end();
    for (const std::string& id : anchor_ids) {
      auto it = map.find(id);
      if (it != map.end() && (last == map.end() || map.order(it) > map.order(last))) last = it;
    }
    if (last == map.end()) continue;
    for (const std::string& member : members->second) out.emplace_back(member, last->first);
  }
  return out;
}

}  // namespace vesk
