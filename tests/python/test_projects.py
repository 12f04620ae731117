"""Projects: anchors, notes, tasks and todos, and the graph, status,
timeline and digest views."""

from datetime import datetime, timedelta, timezone

import pytest


def anchor(store, pid="p1", namespace=None, topic="Roadmap"):
    return store.store(
        f"Project {pid}", tags=["research-project"], namespace=namespace, deduplicate=False,
        metadata={"project_id": pid, "project_topic": topic, "project_status": "active"},
    )


def test_unknown_project_writes_nothing_and_views_none(store):
    store.store("a record with another project", tags=["research-project"], metadata={"project_id": "other"})
    for write in (store.store_project_note, store.store_project_todo, store.store_project_task):
        with pytest.raises(RuntimeError, match=r"^Project nope not found$"):
            write("nope", "x")
    assert store.count() == 1
    for view in ("graph", "status", "timeline", "digest"):
        assert getattr(store, f"get_project_{view}")("nope") is None
        assert getattr(store, f"get_project_{view}_for_record")("nope") is None


def test_first_todo_of_a_research_project_writes_its_anchor(store):
    pid = store.start_research("Fusion", "quick")["id"]
    tid = store.store_project_todo(pid, "read the paper", {"priority": "high", "project_id": "other"})
    graph = store.get_project_graph(pid)
    a = store.get(graph.project_record_id)
    assert a.tags[0] == "research-project" and a.metadata["project_status"] == "active"
    assert a.content.startswith("Research Project: Fusion\nDepth: quick\n")
    todo = store.get(tid)
    assert todo.tags == ["todo-item"] and todo.namespace == a.namespace and todo.semantic_type == "decision"
    assert {k: todo.metadata[k] for k in ("project_id", "entity_id", "project_anchor_id", "priority")} == {
        "project_id": pid, "entity_id": "project:" + pid, "project_anchor_id": a.id, "priority": "high",
    }
    assert todo.connection_types[a.id] == "belongs_to_project"
    assert graph.member_record_ids == [tid]
    # Later writes and views find the anchor record instead of writing another.
    store.store_project_note(pid, "a note")
    assert store.get_project_graph(pid).project_record_id == a.id
    assert store.count() == 3


def test_member_writers(store):
    aid = anchor(store, namespace="team")
    note = store.store_project_note("p1", "same text")
    assert store.store_project_note("p1", "same text") != note  # no deduplication
    n = store.get(note)
    assert (n.tags, n.namespace, n.semantic_type, n.source_type) == (["project-note"], "team", "fact", "recorded")
    task = store.get(store.store_project_task("p1", "ship", "2030-01-02", {"due_date": "caller", "x": "1"}))
    assert (task.metadata["due_date"], task.metadata["x"], task.metadata["project_anchor_id"]) == ("2030-01-02", "1", aid)
    assert store.get(store.store_project_task("p1", "plan", metadata={"due_date": "soon"})).metadata["due_date"] == "soon"
    with pytest.raises(RuntimeError, match="reserved"):
        store.store_project_note("p1", "x", {"vesk.audit.v1.kind": "claim"})
    with pytest.raises(TypeError, match=r"^argument 'metadata'"):
        store.store_project_note("p1", "x", {"a": 1})


def test_members_anchor_choice_and_for_record_forms(store):
    decoy = store.store("decoy", tags=["research-project"], metadata={"project_id": "p2"})
    untagged = store.store("untagged member", metadata={"project_id": "p1"})
    aid = anchor(store)
    elsewhere = store.store("other namespace", namespace="far", metadata={"project_id": "p1"})
    graph = store.get_project_graph("p1")
    assert graph.project_record_id == aid and graph.namespace == "default" and graph.project_topic == "Roadmap"
    assert graph.member_record_ids == sorted([untagged, elsewhere]) and graph.relation_count == 2
    assert decoy not in graph.member_record_ids
    def fields(g):
        return (g.project_id, g.project_record_id, g.member_record_ids, g.member_tags, g.relation_count)

    for rid in (untagged, aid, elsewhere):
        assert fields(store.get_project_graph_for_record(rid)) == fields(graph)
        assert fields(store.get_project_digest_for_record(rid).graph) == fields(graph)
    assert store.get_project_graph_for_record(store.store("no project")) is None


def test_anchor_only_project_is_all_zero(store):
    aid = anchor(store)
    digest = store.get_project_digest("p1")
    assert (digest.graph.member_record_ids, digest.graph.member_tags, digest.graph.relation_count) == ([], {}, 0)
    s = digest.status
    assert (s.project_record_id, s.project_status, s.total_members) == (aid, "active", 0)
    counters = ("reports", "scheduled_tasks", "open_tasks", "completed_tasks", "todos", "open_todos",
                "completed_todos", "notes", "due_tasks", "high_priority_todos")
    assert [getattr(s, c) for c in counters] == [0] * len(counters)
    t = digest.timeline
    assert (t.total_entries, t.overdue_entries, t.upcoming_entries, t.open_entries, t.entries) == (0, 0, 0, 0, [])


def day(offset):
    return (datetime.now(timezone.utc).date() + timedelta(days=offset)).isoformat()


def test_status_counters(store):
    anchor(store)
    store.store_project_task("p1", "done task", day(-3), {"completed": "true"})
    store.store_project_task("p1", "open task")
    store.store_project_task("p1", "closed task", metadata={"completed": "no", "status": "closed"})
    store.store_project_todo("p1", "urgent", {"priority": "HIGH"})
    store.store_project_todo("p1", "not quite", {"priority": "high ", "completed": "yes"})
    store.store_project_note("p1", "n")
    store.store("both", tags=["scheduled-task", "todo-item", "todo-item"], metadata={"project_id": "p1"})
    store.store("bare", metadata={"project_id": "p1"})
    s = store.get_project_status("p1")
    assert (s.total_members, s.scheduled_tasks, s.open_tasks, s.completed_tasks, s.due_tasks) == (8, 4, 2, 2, 1)
    assert (s.todos, s.open_todos, s.completed_todos, s.high_priority_todos, s.notes, s.reports) == (3, 2, 1, 1, 1, 0)
    assert store.get_project_graph("p1").member_tags == {
        "scheduled-task": 4, "todo-item": 4, "project-note": 1,
    }


def test_timeline_rows_and_counts(store):
    anchor(store)
    ids = {}
    for name, due, meta in [
        ("today", day(0), {}),
        ("today-done", day(0), {"completed": "true"}),
        ("yesterday", day(-1), {}),
        ("tomorrow", day(1), {"status": "Done"}),
        ("later", day(2), {}),
        ("words", "next week", {}),
        # Written late on its local day at -05:00: due that day though its
        # instant is already the next UTC day.
        ("late-yesterday", day(-1) + "T23:30:00-05:00", {}),
    ]:
        ids[name] = store.store_project_task("p1", name, due, meta)
    ids["bare"] = store.store("bare", metadata={"project_id": "p1"})
    t = store.get_project_timeline("p1")
    rows = {e.content: e for e in t.entries}
    want = {  # name: (status, overdue)
        "today": ("open", False), "today-done": ("completed", False), "yesterday": ("open", True),
        "tomorrow": ("Done", False), "later": ("open", False), "words": ("open", False),
        "late-yesterday": ("open", True), "bare": ("open", False),
    }
    assert {n: (e.status, e.overdue) for n, e in rows.items()} == want
    assert rows["bare"].kind == "project-record" and rows["bare"].due_date is None
    assert rows["words"].due_date == "next week" and rows["today"].kind == "scheduled-task"
    assert (t.total_entries, t.overdue_entries, t.upcoming_entries, t.open_entries) == (8, 2, 2, 7)
    # By due instant (late-yesterday is today in UTC), then creation; undated last.
    assert [e.content for e in t.entries] == [
        "yesterday", "today", "today-done", "late-yesterday", "tomorrow", "later", "words", "bare",
    ]
