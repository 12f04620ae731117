#include "recall/recall_sessions.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "model/level.h"

namespace vesk {
namespace {

float weight_to(const Record& from, const std::string& to) {
  auto it = from.connections.find(to);
  return it == from.connections.end() ? 0.0f : it->second;
}

void set_link(Record& from, const std::string& to, float weight) {
  from.connections.insert_or_assign(to, weight);
  from.connection_types.try_emplace(to, kCoactivationType);
}

// Fixed-point text of the exact binary value, rounded half to even.
std::string fixed(double v, int decimals) {
  char buf[400];
  auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
  return std::string(buf, res.ptr);
}

std::string optional_time(const std::optional<double>& t) { return t ? fixed(*t, 3) : std::string(); }

}  // namespace

SessionLinks link_session_records(std::span<const std::string> ids, const MutableRecordLookup& records) {
  SessionLinks out;
  out.session_records = ids.size();
  StringSet changed;
  for (size_t i = 0; i < ids.size(); ++i) {
    for (size_t j = i + 1; j < ids.size(); ++j) {
      Record* a = records(ids[i]);
      Record* b = records(ids[j]);
      if (!a || !b || a == b || a->namespace_ != b->namespace_) continue;
      // fmax ignores a NaN weight rather than spreading it.
      const float w = std::fmax(weight_to(*a, b->id), weight_to(*b, a->id));
      const float next = std::min(w + (1.0f - w) * kCoactivationStep, 1.0f);
      set_link(*a, b->id, next);
      set_link(*b, a->id, next);
      ++out.pairs_strengthened;
      changed.insert(a->id);
      changed.insert(b->id);
    }
  }
  out.changed_ids.assign(changed.begin(), changed.end());
  std::sort(out.changed_ids.begin(), out.changed_ids.end());
  return out;
}

StringMap record_history(const Record& r, double now) {
  StringMap h;
  h["id"] = r.id;
  h["content"] = r.content;
  h["level"] = std::string(level_display_name(r.level));
  h["strength"] = fixed(r.strength, 4);
  h["activation_count"] = std::to_string(r.activation_count);
  h["created_at"] = fixed(r.created_at, 3);
  h["last_activated"] = fixed(r.last_activated, 3);
  h["valid_from"] = optional_time(r.valid_from);
  h["valid_until"] = optional_time(r.valid_until);
  h["superseded_at"] = optional_time(r.superseded_at);
  h["age_days"] = fixed((now - r.created_at) / 86400.0, 2);
  h["days_since_activation"] = fixed((now - r.last_activated) / 86400.0, 2);
  h["namespace"] = r.namespace_;
  h["source_type"] = r.source_type;
  std::string tags;
  for (size_t i = 0; i < r.tags.size(); ++i) {
    if (i) tags += ", ";
    tags += r.tags[i];
  }
  h["tags"] = std::move(tags);
  h["salience"] = fixed(r.salience, 4);
  if (auto it = r.metadata.find("salience_reason"); it != r.metadata.end()) h["salience_reason"] = it->second;
  h["connections"] = std::to_string(r.connections.size());
  return h;
}

JsonObject session_links_dict(const std::optional<SessionLinks>& links) {
  JsonObject o;
  if (links) {
    o.append("pairs_strengthened", links->pairs_strengthened);
    o.append("session_records", links->session_records);
  }
  return o;
}

}  // namespace vesk
