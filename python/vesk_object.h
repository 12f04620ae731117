// The class Vesk: a Python object that owns one open store.
//
// Method bodies take `Vesk& self`; the store object is shared by every call
// (several threads may be inside it at once, each part of it guarded by its
// own lock), so no body borrows it exclusively. A body converts, calls the
// core once and returns: what a method does lives in the core.
//
// Each family file of python/ exports its method-table rows through one
// function declared here; adding a method to a family is its body, its
// `constexpr Method` and its row, all in that family's file.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <memory>
#include <vector>

#include "binding/call.h"
#include "binding/classes.h"
#include "store/vesk.h"

namespace vesk::py {

struct VeskObject {
  PyObject_HEAD
  std::unique_ptr<Vesk> store;
};

ClassObject& vesk_class();

template <>
struct PyClass<Vesk> {
  static Vesk* unwrap(PyObject* self);
};

template <>
struct NewInstance<Result<std::unique_ptr<Vesk>>> {
  static PyObject* make(PyTypeObject* type, Result<std::unique_ptr<Vesk>>&& opened);
};

// ---- The method families of Vesk, one per file ----

using MethodRows = std::vector<PyMethodDef>;

MethodRows lifecycle_methods();       // vesk_object.cc: context manager, close, flush, status, profile
MethodRows store_methods();           // store_methods.cc: store, get, count
MethodRows text_recall_methods();     // text_recall_methods.cc: recall, sessions, counters, recall modes
MethodRows recall_methods();          // recall_methods.cc: trust model and fusion mode
MethodRows classifier_methods();      // classifier_methods.cc: claim and outcome classifiers
MethodRows embedding_methods();       // embedding_methods.cc: embedding function and vectors
MethodRows record_access_methods();   // record_access_methods.cc: record access control
MethodRows taxonomy_methods();        // taxonomy_methods.cc: taxonomy, synonyms, namespaces
MethodRows status_methods();          // status_methods.cc: startup report, manifest, trends, reflection
MethodRows maintenance_methods();     // maintenance_methods.cc: maintenance cycle, configuration, background
MethodRows snapshot_methods();        // snapshot_methods.cc: labelled snapshots, rollback, diff
MethodRows audit_graph_methods();     // audit_graph_methods.cc: audit graph, audit entities and links
MethodRows capsule_methods();         // capsule_methods.cc: context capsules, whole-store JSON
MethodRows correction_log_methods();  // correction_log_methods.cc: the correction log
MethodRows evidence_methods();        // evidence_methods.cc: retrieval episodes, applicability
MethodRows container_methods();       // container_methods.cc: container keys, inspection, verification, import
MethodRows credibility_methods();     // credibility_methods.cc: source credibility and its overrides
MethodRows outcome_receipt_methods(); // outcome_receipt_methods.cc: capture and listing of receipts
MethodRows connection_methods();      // connection_methods.cc: connect
MethodRows tier_recall_methods();     // tier_recall_methods.cc: tier recall, memory intent
MethodRows record_admin_methods();    // record_admin_methods.cc: move, import, media, promotion, salience
MethodRows search_methods();          // search_methods.cc: search
MethodRows namespace_digest_methods();  // namespace_digest_methods.cc: the cross-namespace digest
MethodRows statistics_methods();  // statistics_methods.cc: statistics, salience, security report, tool breaker
MethodRows record_edit_methods();     // record_edit_methods.cc: update, supersede, validity, feedback
MethodRows belief_methods();          // belief_methods.cc: belief lookup, claim threshold, instability, clusters,
                                      // recently corrected beliefs
MethodRows concept_methods();         // concept_methods.cc: surfaced concepts
MethodRows removal_methods();         // removal_methods.cc: delete, purge_record
MethodRows policy_report_methods();   // policy_report_methods.cc: policy pressure and lifecycle
MethodRows point_in_time_methods();   // point_in_time_methods.cc: recall_at, recall_as_of
MethodRows explain_recall_methods();  // explain_recall_methods.cc: explain_recall, replay_recall
MethodRows correction_methods();      // correction_methods.cc: corrections of the cognitive layers
MethodRows consequence_methods();  // consequence_methods.cc: consequence units, verdicts, policy hints
MethodRows relation_methods();        // relation_methods.cc: relation listings and digest, typed link
MethodRows entity_methods();          // entity_methods.cc: entity edges, links, digests and graph
MethodRows family_methods();          // family_methods.cc: family graph, user profile, agent persona
MethodRows reflection_methods();      // reflection_methods.cc: reflection summaries and digest
MethodRows health_digest_methods();   // health_digest_methods.cc: the memory health digest
MethodRows contradiction_review_methods();  // contradiction_review_methods.cc: the review queue
MethodRows research_methods();        // research_methods.cc: research projects and their findings
MethodRows project_methods();         // project_methods.cc: project notes, tasks, todos and views
MethodRows structured_recall_methods();  // structured_recall_methods.cc: full, provenance-ranked, access-controlled, applicability recall

}  // namespace vesk::py
