#include "recall/activation.h"

#include <algorithm>
#include <cmath>

#include "model/unicode_text.h"

namespace vesk {

namespace {

constexpr size_t kQueryPreviewChars = 50;

std::string_view unicode_prefix(std::string_view text, size_t n) {
  size_t end = 0;
  for (size_t count = 0; count < n && end < text.size(); ++count) (void)next_code_point(text, end);
  return text.substr(0, end);
}

void activate(Record& r, double now) {
  double days = (now - r.last_activated) / 86400.0;
  if (!(days > 0.001)) days = 0.001;  // also a last activation in the future, or NaN
  const float d = static_cast<float>(days);
  const float velocity = r.activation_velocity * 0.7f + std::min(1.0f / d, 100.0f) * 0.3f;
  if (std::isfinite(velocity)) r.activation_velocity = velocity;
  const float strength = std::min(r.strength + 0.2f, 1.0f);
  if (std::isfinite(strength)) r.strength = strength;
  r.activation_count += 1;
  r.last_activated = now;
}

}  // namespace

void apply_recall_activation(std::span<const ScoredRecord> results, const MutableRecordLookup& records,
                             SessionMap& sessions, std::optional<std::string_view> session_id, const WallClock& now) {
  const size_t m = std::min(results.size(), kActivatedResults);
  std::vector<std::string_view> ids;
  ids.reserve(m);
  for (size_t i = 0; i < m; ++i) ids.push_back(results[i].record.id);

  for (std::string_view id : ids)
    if (Record* r = records(id)) activate(*r, now());

  for (size_t i = 0; i < m; ++i) {
    Record* ri = records(ids[i]);
    for (size_t j = i + 1; j < m; ++j) {
      float w = 0.0f;
      if (ri) {
        auto it = ri->connections.find(std::string(ids[j]));
        if (it != ri->connections.end()) w = it->second;
      }
      const float next = std::min(w + (1.0f - w) * 0.05f, 1.0f);
      if (!std::isfinite(next)) continue;
      if (ri) ri->connections.insert_or_assign(std::string(ids[j]), next);
      if (Record* rj = records(ids[j])) rj->connections.insert_or_assign(std::string(ids[i]), next);
    }
  }

  if (session_id) {
    auto it = sessions.find(*session_id);
    if (it == sessions.end()) {
      const double t = now();
      it = sessions.emplace(std::string(*session_id), SessionRecall{{}, t, t}).first;
    }
    for (std::string_view id : ids) it->second.record_ids.emplace(id);
    it->second.last_recall_at = now();
  }
}

void PendingActivations::note(std::span<const ScoredRecord> results, size_t limit) {
  std::lock_guard lock(mu_);
  const size_t m = std::min(results.size(), limit);
  for (size_t i = 0; i < m; ++i) ids_.insert(results[i].record.id);
}

StringSet PendingActivations::take() {
  std::lock_guard lock(mu_);
  StringSet out;
  out.swap(ids_);
  return out;
}

void PendingActivations::restore(std::vector<std::string> ids) {
  std::lock_guard lock(mu_);
  for (std::string& id : ids) ids_.insert(std::move(id));
}

void PendingActivations::note_ids(std::span<const std::string> ids) {
  std::lock_guard lock(mu_);
  for (const std::string& id : ids) ids_.insert(id);
}

bool PendingActivations::contains(std::string_view id) const {
  std::lock_guard lock(mu_);
  return ids_.find(id) != ids_.end();
}

size_t PendingActivations::size() const {
  std::lock_guard lock(mu_);
  return ids_.size();
}

void record_recall_activity(const RecallActivityTargets& t, std::span<const ScoredRecord> results,
                            std::string_view query, std::optional<std::string_view> session_id) {
  t.records_and_sessions([&](const MutableRecordLookup& records, SessionMap& sessions) {
    apply_recall_activation(results, records, sessions, session_id, t.now);
    // The retrieval is journaled even when it found nothing; a failed append
    // must not fail the recall that already happened.
    if (t.audit_retrieve) (void)t.audit_retrieve(unicode_prefix(query, kQueryPreviewChars), results.size());
  });
  t.pending.note(results);
  if (results.size() < 2) return;

  const size_t m = std::min(results.size(), kCoRecallResults);
  uint64_t keys[kCoRecallResults];
  for (size_t i = 0; i < m; ++i) keys[i] = record_key(results[i].record.id);
  std::unique_lock plasticity_lock(t.plasticity.mu);
  for (size_t i = 0; i < m; ++i) {
    for (size_t j = i + 1; j < m; ++j) {
      if (keys[i] == keys[j]) continue;
      bump_corecall_weight(t.plasticity.topology, keys[i], keys[j]);
      bump_corecall_weight(t.plasticity.topology, keys[j], keys[i]);
    }
  }
}

void record_scoped_recall_activity(const RecallActivityTargets& t, std::span<const ScoredRecord> results,
                                   std::string_view query, std::optional<std::string_view> session_id) {
  t.records_and_sessions([&](const MutableRecordLookup& records, SessionMap& sessions) {
    apply_recall_activation(results, records, sessions, session_id, t.now);
  });
  t.pending.note(results);
  if (t.audit_retrieve) (void)t.audit_retrieve(unicode_prefix(query, kQueryPreviewChars), results.size());
}

}  // namespace vesk
