// Capturing and listing outcome receipts in an open store: what only the
// C++ side can set up (records kept out of memory, a fixed clock, many
// threads at once, a closed audit journal). The Python tests cover the
// request rules and the receipt's form.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "base/fixed_env.h"
#include "model/record_json.h"
#include "storage/test_dir.h"
#include "store/vesk.h"
#include "store/vesk_test_access.h"

namespace vesk {
namespace {

using testing::FixedEnv;
using testing::slurp;
using testing::TempDir;

Record journal_record(std::string id, std::string ns, float strength) {
  Record r;
  r.id = std::move(id);
  r.content = "text of " + r.id;
  r.namespace_ = std::move(ns);
  r.strength = strength;
  r.created_at = r.last_activated = 1700000000.5;
  return r;
}

// The records as journal frames, with no store open.
void seed_journal(const fs::path& dir, const std::vector<Record>& records) {
  fs::create_directories(dir);
  auto journal = CognitiveStore::open(dir, nullptr, Env::Default());
  ASSERT_TRUE(journal.ok()) << journal.status().message();
  for (const Record& r : records) {
    std::string json;
    serialize_record(r, json);
    ASSERT_TRUE((*journal)->append_cognitive_frame(FrameKind::kRecordInsert, json, false).ok());
  }
  ASSERT_TRUE((*journal)->close().ok());
}

OutcomeReceiptInput request(std::vector<std::string> candidates, std::string task = "t1",
                            std::string attempt = "a1") {
  OutcomeReceiptInput in;
  in.task_id = std::move(task);
  in.lineage_id = "l1";
  in.attempt_id = std::move(attempt);
  in.selected_record_ids = {candidates.front()};
  in.candidate_record_ids = std::move(candidates);
  in.namespace_ = "default";
  in.provenance = {"test"};
  in.outcome = OutcomeKind::Helpful;
  return in;
}

size_t receipt_lines(const fs::path& dir) {
  std::string text = slurp(dir / "brain.audit");
  size_t n = 0;
  for (size_t at = 0; (at = text.find("\"outcome_receipt\"", at)) != std::string::npos; ++at) ++n;
  return n;
}

TEST(OutcomeReceiptCapture, CandidatesAreFoundInMemoryOrInTheDurableJournal) {
  TempDir tmp;
  const fs::path dir = tmp / "store";
  seed_journal(dir, {journal_record("live00000001", "default", 1.0f), journal_record("cold00000001", "default", 0.01f),
                     journal_record("cold00000002", "work", 0.01f), journal_record("live00000002", "work", 1.0f)});
  FixedEnv clock(UtcInstant{1'750'000'000, 123'000'000});
  auto v = Vesk::open(dir, std::nullopt, clock);
  ASSERT_TRUE(v.ok()) << v.status().message();
  ASSERT_FALSE((*v)->get("cold00000001")) << "a weak record stays out of memory";

  Result<OutcomeReceipt> r = (*v)->capture_outcome_receipt(request({"cold00000001", "live00000001"}));
  ASSERT_TRUE(r.ok()) << r.status().message();
  EXPECT_EQ(r->recorded_at_ms, 1'750'000'000'123u) << "the store's clock";
  EXPECT_EQ(r->candidate_record_ids, (std::vector<std::string>{"cold00000001", "live00000001"}));

  const struct {
    std::vector<std::string> candidates;
    const char* error;
  } refusals[] = {
      {{"live00000001", "nope00000001", "nope00000002"}, "outcome receipt candidate record does not exist: nope00000001"},
      {{"cold00000002", "nope00000001"}, "outcome receipt candidate cold00000002 belongs to namespace work, not default"},
      {{"live00000001", "live00000002"}, "outcome receipt candidate live00000002 belongs to namespace work, not default"},
  };
  for (const auto& c : refusals) {
    Result<OutcomeReceipt> refused = (*v)->capture_outcome_receipt(request(c.candidates, "t2"));
    EXPECT_EQ(refused.status().message(), c.error);
    EXPECT_EQ(refused.status().kind(), ErrorKind::Runtime);
  }
  EXPECT_EQ(receipt_lines(dir), 1u);
}

TEST(OutcomeReceiptCapture, SupersessionStaysInsideNamespaceAndLineage) {
  TempDir tmp;
  const fs::path dir = tmp / "store";
  seed_journal(dir, {journal_record("rec000000001", "default", 1.0f), journal_record("rec000000002", "work", 1.0f)});
  auto v = Vesk::open(dir, std::nullopt);
  ASSERT_TRUE(v.ok()) << v.status().message();
  const OutcomeReceipt first = (*v)->capture_outcome_receipt(request({"rec000000001"})).value();
  OutcomeReceiptInput elsewhere = request({"rec000000002"}, "t1", "a9");
  elsewhere.namespace_ = "work";
  const OutcomeReceipt in_work = (*v)->capture_outcome_receipt(elsewhere).value();

  auto superseding = [&](std::string attempt, std::string old_id) {
    OutcomeReceiptInput in = request({"rec000000001"}, "t1", std::move(attempt));
    in.supersedes_receipt_id = std::move(old_id);
    return in;
  };
  OutcomeReceiptInput other_lineage = superseding("a3", first.receipt_id);
  other_lineage.lineage_id = "l2";
  const struct {
    const char* what;
    OutcomeReceiptInput in;
    const char* error;
  } cases[] = {
      {"unknown", superseding("a2", "000000000000000000000000"), "superseded outcome receipt does not exist"},
      {"another lineage", other_lineage, "outcome receipt supersession must stay inside namespace and lineage"},
      {"another namespace", superseding("a4", in_work.receipt_id),
       "outcome receipt supersession must stay inside namespace and lineage"},
      {"from one attempt", superseding("a5", first.receipt_id), ""},
      {"and from another", superseding("a6", first.receipt_id), ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Result<OutcomeReceipt> r = (*v)->capture_outcome_receipt(c.in);
    if (*c.error == '\0') {
      ASSERT_TRUE(r.ok()) << r.status().message();
      EXPECT_EQ(r->supersedes_receipt_id, first.receipt_id);
    } else {
      EXPECT_EQ(r.status().message(), c.error);
    }
  }
  // The superseded receipt stays listed, unchanged.
  std::vector<OutcomeReceipt> listed = (*v)->outcome_receipts("default", "l1").value();
  ASSERT_EQ(listed.size(), 3u);
  EXPECT_EQ(std::count(listed.begin(), listed.end(), first), 1);
}

TEST(OutcomeReceiptCapture, ConcurrentCapturesOfOneAttemptStoreOneReceipt) {
  TempDir tmp;
  const fs::path dir = tmp / "store";
  seed_journal(dir, {journal_record("rec000000001", "default", 1.0f)});
  auto v = Vesk::open(dir, std::nullopt);
  ASSERT_TRUE(v.ok()) << v.status().message();
  std::vector<std::thread> threads;
  std::vector<Result<OutcomeReceipt>> results(8, Status::Runtime("not run"));
  for (size_t t = 0; t < results.size(); ++t) {
    threads.emplace_back([&, t] {
      OutcomeReceiptInput in = request({"rec000000001"});
      if (t % 2) in.outcome = OutcomeKind::Unhelpful;  // half of them ask for another outcome
      results[t] = (*v)->capture_outcome_receipt(in);
    });
  }
  for (auto& t : threads) t.join();
  std::optional<OutcomeReceipt> stored;
  for (const auto& r : results) {
    if (!r.ok()) {
      EXPECT_EQ(r.status().message(), "conflicting outcome receipt for namespace/task/attempt");
      continue;
    }
    if (!stored) stored = *r;
    EXPECT_EQ(*r, *stored) << "every repeat returns the one stored receipt";
  }
  ASSERT_TRUE(stored);
  EXPECT_EQ(receipt_lines(dir), 1u);
}

TEST(OutcomeReceiptCapture, BothNeedAnOpenAuditJournal) {
  TempDir tmp;
  const fs::path dir = tmp / "store";
  seed_journal(dir, {journal_record("rec000000001", "default", 1.0f)});
  auto v = Vesk::open(dir, std::nullopt);
  ASSERT_TRUE(v.ok()) << v.status().message();
  ASSERT_TRUE(VeskTestAccess::audit(**v)->close().ok());
  EXPECT_EQ((*v)->capture_outcome_receipt(request({"rec000000001"})).status().message(),
            "outcome receipt capture requires the audit journal");
  EXPECT_EQ((*v)->outcome_receipts(std::nullopt, std::nullopt).status().message(),
            "outcome receipt lookup requires the audit journal");
}

}  // namespace
}  // namespace vesk
