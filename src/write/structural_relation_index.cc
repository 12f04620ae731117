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

void StructuralRelationIndex::touch(const std::string& id, const Entry& entry) {
  if (!entry.roles.any()) return;
  Pending& pending = pending_[entry.namespace_];
  pending.touched.insert(id);
  if (entry.roles.profile) pending.profiles = true;
  if (entry.roles.anchor_project) pending.projects.insert(*entry.roles.anchor_project);
}

void StructuralRelationIndex::drop(std::string_view id) {
  auto it = entries_.find(id);
  if (it == entries_.end()) return;
  const Entry& entry = it->second;
  // A profile or an anchor that goes may hand its role to another record,
  // whose pairs are then new. A relative or member that goes takes its pairs
  // with it.
  if (entry.roles.profile || entry.roles.anchor_project) {
    Pending& pending = pending_[entry.namespace_];
    if (entry.roles.profile) pending.profiles = true;
    if (entry.roles.anchor_project) pending.projects.insert(*entry.roles.anchor_project);
  }
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

void StructuralRelationIndex::note_insert(const Record& r) {
  Entry entry{r.namespace_, structural_roles(r)};
  touch(r.id, entry);
  add(r.id, std::move(entry));
}

void StructuralRelationIndex::note_replace(const Record& before, const Record& after) {
  if (before.id == after.id && !structural_inputs_differ(before, after)) {
    note_links_changed(after);
    return;
  }
  drop(before.id);
  note_insert(after);
}

void StructuralRelationIndex::settle(std::string_view namespace_, std::string_view profile_id) {
  pending_.erase(std::string(namespace_));
  auto e = entries_.find(profile_id);
  if (e == entries_.end()) return;
  const StructuralRoles& roles = e->second.roles;
  const std::optional<std::string>& project = roles.anchor_project ? roles.anchor_project : roles.member_project;
  if (!project) return;
  Pending& pending = pending_[std::string(namespace_)];
  pending.profiles = true;
  pending.projects.insert(*project);
}

void StructuralRelationIndex::note_links_changed(const Record& r) {
  auto it = entries_.find(r.id);
  if (it != entries_.end()) touch(it->first, it->second);
}

void StructuralRelationIndex::note_remove(const Record& r) { drop(r.id); }

void StructuralRelationIndex::rebuild(const RecordMap& map) {
  namespaces_.clear();
  entries_.clear();
  pending_.clear();
  for (const auto& [id, record] : map) add(id, Entry{record.namespace_, structural_roles(record)});
  for (const auto& [namespace_, ns] : namespaces_) pending_[namespace_].all = true;
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
    RecordMap::const_iterator last = last_anchor(map, anchor_ids);
    if (last == map.end()) continue;
    for (const std::string& member : members->second) out.emplace_back(member, last->first);
  }
  return out;
}

RecordMap::const_iterator StructuralRelationIndex::last_anchor(const RecordMap& map,
                                                               const StringSet& anchor_ids) const {
  RecordMap::const_iterator last = map.end();
  for (const std::string& id : anchor_ids) {
    auto it = map.find(id);
    if (it != map.end() && (last == map.end() || map.order(it) > map.order(last))) last = it;
  }
  return last;
}

std::vector<std::pair<std::string, std::string>> StructuralRelationIndex::unsettled_relatives(
    std::string_view namespace_, std::string_view profile_id) const {
  std::vector<std::pair<std::string, std::string>> out;
  auto pit = pending_.find(namespace_);
  auto nit = namespaces_.find(namespace_);
  if (pit == pending_.end() || nit == namespaces_.end()) return out;
  const Pending& pending = pit->second;
  const StringMap& relatives = nit->second.relatives;
  if (pending.all || pending.profiles || pending.touched.contains(profile_id)) return this->relatives(namespace_);
  size_t touched = 0;
  for (const std::string& id : pending.touched) {
    auto r = relatives.find(id);
    if (r == relatives.end()) continue;
    if (++touched == 1) out.emplace_back(r->first, r->second);
  }
  if (touched <= 1) return out;
  // More than one: in the order relatives() lists them.
  out.clear();
  for (const auto& [id, type] : relatives) {
    if (pending.touched.contains(id)) out.emplace_back(id, type);
  }
  return out;
}

std::vector<std::pair<std::string, std::string>> StructuralRelationIndex::unsettled_memberships(
    const RecordMap& map, std::string_view namespace_) const {
  std::vector<std::pair<std::string, std::string>> out;
  auto pit = pending_.find(namespace_);
  auto nit = namespaces_.find(namespace_);
  if (pit == pending_.end() || nit == namespaces_.end()) return out;
  const Pending& pending = pit->second;
  if (pending.all) return memberships(map, namespace_);
  const Namespace& ns = nit->second;
  // The touched members of each project, as the touched set lists them.
  StringKeyMap<std::vector<std::string_view>> touched_members;
  for (const std::string& id : pending.touched) {
    auto e = entries_.find(id);
    if (e != entries_.end() && e->second.roles.member_project) {
      touched_members[*e->second.roles.member_project].push_back(id);
    }
  }
  if (touched_members.empty() && pending.projects.empty()) {
    // Only anchors can have been touched, and each of those marked its project.
    return out;
  }
  for (const auto& [project, anchor_ids] : ns.anchors) {
    auto members = ns.members.find(project);
    if (members == ns.members.end()) continue;
    const bool whole = pending.projects.contains(project);
    auto touched = touched_members.find(project);
    if (!whole && touched == touched_members.end()) continue;
    RecordMap::const_iterator last = last_anchor(map, anchor_ids);
    if (last == map.end()) continue;
    if (whole || pending.touched.contains(last->first)) {
      for (const std::string& member : members->second) out.emplace_back(member, last->first);
    } else if (touched->second.size() == 1) {
      out.emplace_back(std::string(touched->second.front()), last->first);
    } else {
      // More than one: in the order memberships() lists them.
      for (const std::string& member : members->second) {
        if (pending.touched.contains(member)) out.emplace_back(member, last->first);
      }
    }
  }
  return out;
}

}  // namespace vesk
