#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/trace_recorder.h"
#include "storage/test_dir.h"
#include "store/vesk.h"

namespace vesk {
namespace {

// Installs a recorder for the life of a test and removes it after, so no
// other test sees spans.
struct Recording {
  std::shared_ptr<testing::TraceRecorder> recorder = std::make_shared<testing::TraceRecorder>();
  Recording() { trace::set_receiver(recorder); }
  ~Recording() { trace::set_receiver(nullptr); }
};

std::unique_ptr<Vesk> open_store(const testing::TempDir& dir) {
  auto v = Vesk::open(dir.path(), std::nullopt);
  EXPECT_TRUE(v.ok()) << v.status().message();
  return v.ok() ? std::move(v).value() : nullptr;
}

TEST(Spans, TextRecallNestsTheCollectorsAndTheFusionInsideThePipelineInsideTheCore) {
  testing::TempDir dir;
  auto store = open_store(dir);
  ASSERT_TRUE(store);
  StoreRequest r;
  r.content = "the harbour crane was repaired on tuesday";
  r.tags = std::vector<std::string>{"harbour"};
  ASSERT_TRUE(store->store(std::move(r)).ok());

  Recording rec;
  store->recall("harbour crane");
  std::vector<std::string> enters = rec.recorder->starting("enter ");
  // The collectors run side by side: their order among themselves is free.
  ASSERT_GE(enters.size(), 7u);
  EXPECT_EQ(enters[0],
            "enter recall_core vesk::recall in - query=\"harbour crane\" expand_connections=true session_id=? "
            "namespaces=? top_k=40 min_strength=0.100000");
  EXPECT_EQ(enters[1],
            "enter recall_pipeline vesk::recall in recall_core query=\"harbour crane\" top_k=80 min_strength=0.100000");
  std::vector<std::string> inside_pipeline;
  for (const std::string& line : enters)
    if (line.find(" in recall_pipeline ") != std::string::npos) inside_pipeline.push_back(line);
  std::sort(inside_pipeline.begin(), inside_pipeline.end());
  EXPECT_EQ(inside_pipeline, (std::vector<std::string>{
                                 "enter collect_bm25 vesk::recall in recall_pipeline top_k=80",
                                 "enter collect_ngram vesk::recall in recall_pipeline top_k=80",
                                 "enter collect_sdr vesk::recall in recall_pipeline top_k=80",
                                 "enter collect_tags vesk::recall in recall_pipeline top_k=80",
                                 "enter rrf_fuse vesk::recall in recall_pipeline top_k=80",
                             }));
  for (std::string_view name : {"recall_core", "recall_pipeline", "collect_sdr", "rrf_fuse"})
    EXPECT_EQ(std::count(rec.recorder->lines.begin(), rec.recorder->lines.end(), "leave " + std::string(name)), 1)
        << name;
}

TEST(Spans, TheRecordLogAppendsAndFlushesUnderTheStorageTarget) {
  testing::TempDir dir;
  auto store = open_store(dir);
  ASSERT_TRUE(store);
  Recording rec;
  StoreRequest r;
  r.content = "a note for the log";
  ASSERT_TRUE(store->store(std::move(r)).ok());
  ASSERT_TRUE(store->close().ok());
  std::vector<std::string> storage;
  for (const std::string& line : rec.recorder->starting("enter "))
    if (line.find(" vesk::storage ") != std::string::npos) storage.push_back(line.substr(0, line.find(" in ")));
  EXPECT_EQ(storage, (std::vector<std::string>{"enter append vesk::storage", "enter flush vesk::storage"}));
}

TEST(Spans, EveryStoreRunsInsideOneStoreSpanWithItsArgumentsWhateverTheOutcome) {
  testing::TempDir dir;
  auto store = open_store(dir);
  ASSERT_TRUE(store);
  const std::string kStoreSpan =
      "enter store_with_channel_and_validity vesk::vesk in - tags=\"[\"deploy\", \"ops\"]\" pin=? content_type=? "
      "source_type=? deduplicate=false caused_by_id=? channel=\"chat\" auto_promote=? semantic_type=? "
      "valid_from=? valid_until=? authority=\"External\"";
  struct Case {
    const char* content;
    bool stored;
  };
  for (const Case& c : {Case{"the deploy runs at noon", true}, Case{"", false}}) {
    SCOPED_TRACE(c.content);
    Recording rec;
    StoreRequest r;
    r.content = c.content;
    r.tags = std::vector<std::string>{"deploy", "ops"};
    r.channel = "chat";
    r.deduplicate = false;
    EXPECT_EQ(store->store(std::move(r)).ok(), c.stored);
    EXPECT_EQ(rec.recorder->starting("enter store_with"), std::vector<std::string>{kStoreSpan});
    EXPECT_EQ(rec.recorder->levels["store_with_channel_and_validity"], trace::Level::Info);
    std::vector<std::string> leaves = rec.recorder->starting("leave store_with");
    EXPECT_EQ(leaves, std::vector<std::string>{"leave store_with_channel_and_validity"});
  }

  // The internal entry opens its own span around the road's, without the
  // causal parent and the validity window.
  Recording rec;
  StoreRequest r;
  r.content = "an internal note";
  r.pin = true;
  r.caused_by_id = "ignored";
  ASSERT_TRUE(store->store_with_channel(std::move(r)).ok());
  EXPECT_EQ(rec.recorder->starting("enter store_with"),
            (std::vector<std::string>{
                "enter store_with_channel vesk::vesk in - tags=? pin=true content_type=? source_type=? "
                "deduplicate=? caused_by_id=? channel=? auto_promote=? semantic_type=?",
                "enter store_with_channel_and_validity vesk::vesk in store_with_channel tags=? pin=true "
                "content_type=? source_type=? deduplicate=? caused_by_id=? channel=? auto_promote=? "
                "semantic_type=? valid_from=? valid_until=? authority=\"External\""}));
}

// The explanation declares its fields empty and records them as it learns
// them; it opens no recall_pipeline span of its own (its collectors' and
// fusion's spans nest directly in it). Snapshots and rollbacks carry the
// label, also when the label is refused.
TEST(Spans, ExplainSnapshotAndRollbackEachRunInOneInfoSpan) {
  testing::TempDir dir;
  auto store = open_store(dir);
  ASSERT_TRUE(store);
  StoreRequest r;
  r.content = "the harbour crane was repaired on tuesday";
  ASSERT_TRUE(store->store(std::move(r)).ok());

  {
    Recording rec;
    Result<RecallExplanation> e = store->explain_recall("harbour crane", 3);
    ASSERT_TRUE(e.ok());
    std::vector<std::string> own;
    for (const std::string& line : rec.recorder->lines)
      if (line.find(" explain_recall") == line.find(' ')) own.push_back(line);
    EXPECT_EQ(own, (std::vector<std::string>{
                       "enter explain_recall vesk::vesk in - expand_connections=? top_k=? min_strength=? "
                       "memory_trace_id=? selected_count=? rejected_count=?",
                       "record explain_recall top_k=3",
                       "record explain_recall min_strength=0.100000",
                       "record explain_recall memory_trace_id=\"" + e->trace_id + "\"",
                       "record explain_recall selected_count=1",
                       "record explain_recall rejected_count=0",
                       "leave explain_recall",
                   }));
    EXPECT_EQ(rec.recorder->levels["explain_recall"], trace::Level::Info);
    EXPECT_TRUE(rec.recorder->starting("enter recall_pipeline").empty());
    EXPECT_EQ(rec.recorder->starting("enter rrf_fuse vesk::recall in explain_recall").size(), 2u);
  }

  for (std::string_view label : {"nightly", "a.b"}) {
    Recording rec;
    (void)store->snapshot(label);
    (void)store->rollback(label);
    const std::string quoted = "label=\"" + std::string(label) + "\"";
    EXPECT_EQ(rec.recorder->starting("enter snapshot"),
              std::vector<std::string>{"enter snapshot vesk::vesk in - " + quoted});
    EXPECT_EQ(rec.recorder->starting("enter rollback"),
              std::vector<std::string>{"enter rollback vesk::vesk in - " + quoted});
    EXPECT_EQ(rec.recorder->starting("leave snapshot").size(), 1u);
    EXPECT_EQ(rec.recorder->starting("leave rollback").size(), 1u);
    EXPECT_EQ(rec.recorder->levels["snapshot"], trace::Level::Info);
    EXPECT_EQ(rec.recorder->levels["rollback"], trace::Level::Info);
  }
}


// The context fragments each run in one span around their work: the export's
// around the recall it makes, the import's, without fields, around each
// record's store.
TEST(Spans, ContextFragmentsRunInsideTheirOwnSpans) {
  testing::TempDir dir;
  auto store = open_store(dir);
  ASSERT_TRUE(store);
  StoreRequest r;
  r.content = "the harbour crane was repaired on tuesday";
  r.namespace_ = "port";
  ASSERT_TRUE(store->store(std::move(r)).ok());

  Recording rec;
  const std::string fragment = store->export_context("harbour crane", 5, "port");
  std::vector<std::string> enters = rec.recorder->starting("enter ");
  ASSERT_GE(enters.size(), 2u);
  EXPECT_EQ(enters[0], "enter export_context vesk::vesk in - query=\"harbour crane\" top_k=5 namespaces=\"[\"port\"]\"");
  EXPECT_EQ(enters[1].rfind("enter recall_structured vesk::vesk in export_context ", 0), 0u) << enters[1];
  EXPECT_EQ(rec.recorder->starting("leave export_context").size(), 1u);

  Recording imported;
  ASSERT_TRUE(store->import_context(fragment).ok());
  enters = imported.recorder->starting("enter ");
  ASSERT_GE(enters.size(), 2u);
  EXPECT_EQ(enters[0], "enter import_context vesk::vesk in -");
  EXPECT_EQ(enters[1].rfind("enter store_with_channel vesk::vesk in import_context ", 0), 0u) << enters[1];
  EXPECT_EQ(imported.recorder->levels["import_context"], trace::Level::Info);
  EXPECT_EQ(imported.recorder->starting("leave import_context").size(), 1u);
}

// Full recall runs its core inside its own span, with its seven fields as
// given (defaults are not filled in).
TEST(Spans, FullRecallRunsTheCoreInsideItsSpan) {
  testing::TempDir dir;
  auto store = open_store(dir);
  ASSERT_TRUE(store);
  StoreRequest r;
  r.content = "the harbour crane was repaired on tuesday";
  ASSERT_TRUE(store->store(std::move(r)).ok());

  Recording rec;
  EXPECT_EQ(store->recall_full("harbour crane", 3, false).size(), 1u);
  std::vector<std::string> enters = rec.recorder->starting("enter ");
  ASSERT_GE(enters.size(), 2u);
  EXPECT_EQ(enters[0],
            "enter recall_full vesk::vesk in - query=\"harbour crane\" min_strength=? expand_connections=? "
            "session_id=? namespaces=? top_k=3 include_failures=false");
  EXPECT_EQ(enters[1].rfind("enter recall_core vesk::recall in recall_full ", 0), 0u) << enters[1];
  EXPECT_EQ(rec.recorder->levels["recall_full"], trace::Level::Info);
  EXPECT_EQ(rec.recorder->starting("leave recall_full").size(), 1u);
}

}  // namespace
}  // namespace vesk
