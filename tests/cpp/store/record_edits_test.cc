// Record edits on a running and a reopened store: what an update re-indexes,
// the supersession's one forced batch, the version chain, the validity
// window and the usefulness verdicts.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "base/fixed_env.h"
#include "base/trace_recorder.h"
#include "storage/fault_env.h"
#include "storage/test_dir.h"
#include "store/vesk.h"

namespace vesk {
namespace {

using testing::FaultEnv;
using testing::FixedEnv;
using testing::TempDir;

std::unique_ptr<Vesk> open_store(const fs::path& dir, Env& env) {
  auto v = Vesk::open(dir, std::nullopt, env);
  EXPECT_TRUE(v.ok()) << v.status().message();
  return v.ok() ? std::move(v).value() : nullptr;
}

std::string store(Vesk& v, std::string content, std::vector<std::string> tags = {},
                  std::optional<std::string> caused_by = std::nullopt) {
  StoreRequest r;
  r.content = std::move(content);
  r.tags = std::move(tags);
  r.caused_by_id = std::move(caused_by);
  auto id = v.store(std::move(r));
  EXPECT_TRUE(id.ok()) << id.status().message();
  return id.ok() ? *id : std::string();
}

std::vector<std::string> ids_of(const std::vector<Record>& records) {
  std::vector<std::string> ids;
  for (const Record& r : records) ids.push_back(r.id);
  return ids;
}

bool tagged(const Vesk& v, std::string_view id, std::string_view tag) { return v.indexes().tags.read()->holds(id, tag); }

// Whether the SDR index posts the record under every position of `text`'s
// SDR in the record's range.
bool posted_as(const Vesk& v, std::string_view id, std::string_view text, Level level) {
  const auto doc = v.indexes().sdr_index->doc_of(id);
  if (!doc) return false;
  for (uint16_t p : encode_sdr(v.indexes().sdr_encoder, text, sdr_range_for_level(level), SdrCase::Fold)) {
    const std::vector<uint32_t> docs = v.indexes().sdr_index->postings(p);
    if (!std::binary_search(docs.begin(), docs.end(), *doc)) return false;
  }
  return true;
}

TEST(Update, NewContentAndTagsReachEveryIndexButTheRecordLog) {
  TempDir dir;
  FixedEnv env;
  auto v = open_store(dir.path(), env);
  std::vector<std::string> embedded;
  v->set_embedding_fn(std::make_shared<const EmbeddingFn>([&](std::string_view text) {
    embedded.emplace_back(text);
    return std::optional<std::vector<float>>(std::vector<float>{text.size() * 1.0f, 1.0f});
  }));
  const std::string id = store(*v, "the harbour crane was repaired", {"alpha"});
  const std::string new_text = "zebra crossings painted downtown";

  RecordUpdate change;
  change.content = new_text;
  change.tags = std::vector<std::string>{"zulu"};
  auto updated = v->update(id, change);
  ASSERT_TRUE(updated.ok()) << updated.status().message();
  ASSERT_TRUE(*updated);
  EXPECT_EQ((*updated)->content, new_text);

  EXPECT_TRUE(tagged(*v, id, "zulu"));
  EXPECT_FALSE(tagged(*v, id, "alpha"));
  EXPECT_TRUE(posted_as(*v, id, new_text, Level::Working));
  {
    // No list of a position only the old text had names the record.
    const auto doc = v->indexes().sdr_index->doc_of(id);
    const Sdr fresh = encode_sdr(v->indexes().sdr_encoder, new_text, SdrRange::General, SdrCase::Fold);
    size_t old_only = 0;
    for (uint16_t p : encode_sdr(v->indexes().sdr_encoder, "the harbour crane was repaired", SdrRange::General,
                                 SdrCase::Fold)) {
      if (std::find(fresh.begin(), fresh.end(), p) != fresh.end()) continue;
      ++old_only;
      const std::vector<uint32_t> docs = v->indexes().sdr_index->postings(p);
      EXPECT_FALSE(std::binary_search(docs.begin(), docs.end(), *doc)) << p;
    }
    EXPECT_GT(old_only, 0u);
  }
  {
    auto sdrs = v->indexes().record_sdrs.read();
    const SharedSdr* held = sdrs->find(id);
    ASSERT_TRUE(held);
    EXPECT_EQ(**held, encode_sdr(v->indexes().sdr_encoder, new_text, SdrRange::General, SdrCase::Fold));
  }
  EXPECT_EQ(embedded.back(), new_text);
  EXPECT_EQ(v->indexes().embeddings->vector(id), (std::vector<float>{float(new_text.size()), 1.0f}));

  // Without an embedding function a new content drops the stale vector.
  v->set_embedding_fn(nullptr);
  change = {};
  change.content = "a third text altogether";
  ASSERT_TRUE(v->update(id, change).ok());
  EXPECT_FALSE(v->indexes().embeddings->vector(id));

  ASSERT_TRUE(v->close().ok());
  auto reopened = open_store(dir.path(), env);
  EXPECT_EQ(reopened->get(id)->content, "a third text altogether");
  EXPECT_EQ(reopened->get(id)->tags, std::vector<std::string>{"zulu"});
}

TEST(Update, RefusalsChangeNothing) {
  TempDir dir;
  FixedEnv env;
  auto v = open_store(dir.path(), env);
  const std::string id = store(*v, "a record to keep as it is", {"alpha"});
  const Record before = *v->get(id);
  const struct {
    RecordUpdate change;
    std::string message;
  } cases[] = {
      {{.source_type = "mine"}, "Invalid source_type"},
      {{.metadata = StringMap{{"vesk.audit.v1.kind", "claim"}}},
       "vesk.audit.v1.* metadata is reserved; use the audit entity APIs"},
      {{.tags = std::vector<std::string>{"ok", "consequence-support"}},
       "tag consequence-support is reserved for captured consequences; use capture_consequence()"},
      {{.metadata = StringMap{{"kind", "consequence_unit"}}},
       "metadata key kind is reserved for captured consequences; use capture_consequence()"},
      {{.strength = std::numeric_limits<float>::quiet_NaN()}, "strength must not be NaN"},
  };
  for (const auto& c : cases) {
    for (std::string_view target : {std::string_view(id), std::string_view("nope")}) {
      auto r = v->update(target, c.change);
      ASSERT_FALSE(r.ok()) << c.message;
      EXPECT_EQ(r.status().kind(), ErrorKind::Runtime);
      EXPECT_TRUE(r.status().message().starts_with(c.message)) << r.status().message();
    }
  }
  EXPECT_EQ(*v->get(id), before);
}

TEST(Supersede, AFailedBatchChangesNothingAndASuccessfulOneSurvivesReopen) {
  TempDir dir;
  FixedEnv clock;
  FaultEnv env(clock);
  auto v = open_store(dir.path(), env);
  const std::string a = store(*v, "the meeting is on Monday", {"meeting"});
  const std::string peer = store(*v, "the agenda for the meeting", {"meeting"});
  const Record a_before = *v->get(a), peer_before = *v->get(peer);

  env.fail_sync("brain.cog");
  auto failed = v->supersede(a, "the meeting moved to Thursday", std::nullopt, std::nullopt, std::nullopt, 1.8e9);
  env.clear();
  ASSERT_FALSE(failed.ok());
  EXPECT_EQ(failed.status().message(), "failed to atomically persist superseding version");
  EXPECT_NE(failed.status().cause(), nullptr);
  EXPECT_EQ(v->count(), 2u);
  EXPECT_EQ(*v->get(a), a_before);
  EXPECT_EQ(*v->get(peer), peer_before);

  auto b = v->supersede(a, "the meeting moved to Thursday", std::nullopt, std::nullopt, std::nullopt, 1.8e9);
  ASSERT_TRUE(b.ok()) << b.status().message();
  auto check = [&](const Vesk& s) {
    const Record old = *s.get(a), next = *s.get(*b), linked = *s.get(peer);
    EXPECT_EQ(old.metadata.at("superseded_by"), *b);
    EXPECT_EQ(old.valid_until, 1.8e9);
    EXPECT_TRUE(old.superseded_at);
    EXPECT_EQ(old.connections.at(*b), 0.7f);
    EXPECT_EQ(old.connection_type(*b), "causal");
    EXPECT_EQ(next.connections.at(a), 0.7f);
    EXPECT_EQ(next.connection_type(a), "causal");
    EXPECT_EQ(next.caused_by_id, a);
    EXPECT_EQ(next.vesk_id, *b);
    EXPECT_EQ(next.valid_from, 1.8e9);
    EXPECT_EQ(next.tags, std::vector<std::string>{"meeting"});
    EXPECT_EQ(next.metadata.at("source"), "agent");
    EXPECT_EQ(linked.connection_type(*b), "associative");
    EXPECT_FLOAT_EQ(linked.connections.at(*b), 0.35f);
    EXPECT_EQ(ids_of(s.version_chain(a)), (std::vector<std::string>{a, *b}));
    EXPECT_EQ(ids_of(s.version_chain(*b)), (std::vector<std::string>{a, *b}));
  };
  check(*v);
  EXPECT_TRUE(tagged(*v, *b, "meeting"));
  EXPECT_TRUE(posted_as(*v, *b, "the meeting moved to Thursday", Level::Working));
  ASSERT_TRUE(v->close().ok());
  auto reopened = open_store(dir.path(), env);
  check(*reopened);
}

TEST(VersionChain, StepsBackOnlyToTheParentThatNamesTheRecord) {
  TempDir dir;
  FixedEnv env;
  auto v = open_store(dir.path(), env);
  const std::string a = store(*v, "version one of the plan");
  auto b = v->supersede(a, "version two of the plan", std::nullopt, std::nullopt, std::nullopt, std::nullopt);
  ASSERT_TRUE(b.ok());
  env.advance(1.0);
  auto c = v->supersede(*b, "version three of the plan", std::nullopt, std::nullopt, std::nullopt, std::nullopt);
  ASSERT_TRUE(c.ok());
  // Caused by a superseded record, but not one of its versions.
  const std::string effect = store(*v, "an effect of the first plan", {}, a);

  EXPECT_EQ(ids_of(v->version_chain(*b)), (std::vector<std::string>{a, *b, *c}));
  EXPECT_EQ(ids_of(v->version_chain(effect)), std::vector<std::string>{effect});
  EXPECT_TRUE(v->version_chain("nope").empty());
  EXPECT_EQ(v->superseded_by(a), *b);
  EXPECT_EQ(v->superseded_by(*c), std::nullopt);
}

TEST(RecordMarks, ValidityAndFeedbackAreJournaled) {
  TempDir dir;
  FixedEnv env;
  auto v = open_store(dir.path(), env);
  const std::string id = store(*v, "a record marked by the caller");
  ASSERT_TRUE(v->set_temporal_validity(id, 10.0, 20.0).ok());
  ASSERT_TRUE(*v->feedback(id, false));
  ASSERT_TRUE(*v->feedback(id, false));
  ASSERT_TRUE(*v->feedback(id, true));
  EXPECT_FALSE(*v->feedback("nope", true));
  ASSERT_TRUE(v->close().ok());

  auto reopened = open_store(dir.path(), env);
  const Record r = *reopened->get(id);
  EXPECT_EQ(r.valid_from, 10.0);
  EXPECT_EQ(r.valid_until, 20.0);
  EXPECT_EQ(reopened->feedback_stats(id), std::tuple(1u, 2u, -1));
  EXPECT_FLOAT_EQ(r.strength, 0.8f);
  EXPECT_EQ(r.metadata.at("feedback_last"), "1750000000.000");
}

TEST(RecordEdits, SupersedeAndFeedbackRunInTheirSpans) {
  TempDir dir;
  FixedEnv env;
  auto v = open_store(dir.path(), env);
  const std::string a = store(*v, "the depot opens at eight");
  auto recorder = std::make_shared<testing::TraceRecorder>();
  trace::set_receiver(recorder);
  auto b = v->supersede(a, "the depot opens at nine", Level::Domain, std::vector<std::string>{"depot"}, std::nullopt,
                        std::nullopt);
  // With an effective time given the call runs without the span.
  env.advance(1.0);
  auto c = v->supersede(*b, "the depot opens at ten", std::nullopt, std::nullopt, std::nullopt, env.now_seconds());
  ASSERT_TRUE(v->feedback(a, true).ok());
  trace::set_receiver(nullptr);
  ASSERT_TRUE(b.ok() && c.ok());
  EXPECT_EQ(recorder->starting("enter supersede"),
            std::vector<std::string>{"enter supersede vesk::vesk in - old_id=\"" + a +
                                     "\" level=\"DOMAIN\" tags=\"[\"depot\"]\" namespace=?"});
  EXPECT_EQ(recorder->starting("enter feedback"),
            std::vector<std::string>{"enter feedback vesk::vesk in - record_id=\"" + a + "\" useful=true"});
}

}  // namespace
}  // namespace vesk
