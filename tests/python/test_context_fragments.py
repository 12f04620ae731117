"""Context fragments: export_context writes what a recall found, and
import_context stores a fragment's records in another store as second-hand
memory."""

import json
import re

import pytest

from vesk._core import Level, Vesk

FRAGMENT_KEYS = ["format", "query", "record_count", "records", "version"]
RECORD_KEYS = ["content", "content_type", "created_at", "id", "level", "metadata", "namespace", "source_type",
               "strength", "tags"]


def ordered(text):
    """The document with every object as a list of (key, value) pairs."""
    return json.loads(text, object_pairs_hook=lambda pairs: pairs)


def records_of(store):
    return {r["content"]: r for r in json.loads(store.export_json())}


@pytest.fixture
def other(tmp_path):
    v = Vesk(str(tmp_path / "other"))
    yield v
    v.close()


def test_export_writes_the_recalled_records_with_sorted_keys(store, tmp_path):
    store.store("the harbour crane was repaired on tuesday", tags=["harbour", "crane"], namespace="port",
                metadata={"zeta": "1", "alpha": "2", "shared_score": "stale"})
    text = store.export_context("harbour crane", namespace="port")

    doc = ordered(text)
    assert [k for k, _ in doc] == FRAGMENT_KEYS
    fragment = dict(doc)
    assert (fragment["format"], fragment["version"], fragment["query"]) == ("vesk_context", "1.0", "harbour crane")
    assert fragment["record_count"] == len(fragment["records"]) == 1
    record = fragment["records"][0]
    assert [k for k, _ in record] == RECORD_KEYS
    record = dict(record)
    metadata = dict(record["metadata"])
    assert list(metadata) == sorted(metadata, key=lambda k: k.encode())
    assert metadata["zeta"] == "1" and metadata["alpha"] == "2"
    assert re.fullmatch(r"\d+\.\d{4}", metadata["shared_score"])  # the stale value replaced
    assert metadata["shared_from"] == str(tmp_path / "store")
    assert (record["level"], record["namespace"], record["source_type"]) == ("WORKING", "port", "recorded")
    assert record["tags"] == ["harbour", "crane"]
    # Indented two blanks a level; a whole strength keeps its ".0".
    assert text.startswith('{\n  "format": "vesk_context",\n  "query": "harbour crane",\n')
    assert '\n      "strength": 1.0,\n' in text and text.endswith('\n  "version": "1.0"\n}')


def test_export_of_a_query_that_recalls_nothing(store):
    store.store("the harbour crane was repaired on tuesday", namespace="port")
    for kwargs in ({}, {"namespace": "elsewhere"}, {"top_k": 0, "namespace": "port"}):
        fragment = json.loads(store.export_context("harbour crane", **kwargs))
        assert (fragment["record_count"], fragment["records"]) == (0, []), kwargs
    assert '"records": [],' in store.export_context("nothing at all")


def test_export_arguments_are_checked(store):
    with pytest.raises(OverflowError):
        store.export_context("q", top_k=-1)
    for kwargs in ({"top_k": "3"}, {"namespace": ["a"]}):
        with pytest.raises(TypeError):
            store.export_context("q", **kwargs)


def test_import_stores_second_hand_memory_at_half_strength(store, other):
    store.store("the harbour crane was repaired on tuesday", tags=["harbour", "shared"], namespace="port",
                level=Level.Decisions, metadata={"owner": "ops"})
    fragment = store.export_context("harbour crane", namespace="port")

    assert other.import_context(fragment) == 1
    (r,) = records_of(other).values()
    assert r["namespace"] == "default" and r["source_type"] == "retrieved" and r["level"] == "Decisions"
    assert r["tags"] == ["harbour", "shared"]
    assert r["metadata"]["trust_external"] == "true" and r["metadata"]["owner"] == "ops"
    assert r["metadata"]["shared_from"] == json.loads(fragment)["records"][0]["metadata"]["shared_from"]
    assert r["strength"] == 0.5
    assert other.get(r["id"]).strength == 0.5

    # Duplicate detection matches the held record again: the touch raises
    # it to 0.7, and then that held record is halved.
    assert other.import_context(fragment) == 1
    (again,) = records_of(other).values()
    assert again["id"] == r["id"] and again["strength"] == pytest.approx(0.35)


def fragment_of(*records):
    return json.dumps({"format": "vesk_context", "records": list(records)})


def test_each_record_is_read_by_the_importer_rules(other):
    cases = [
        # (fragment record, level, tags, metadata)
        ({"content": "a", "level": "decisions", "tags": ["x"]}, "Decisions", ["x", "shared"], {}),
        ({"content": "b", "level": "Decisions"}, "Decisions", ["shared"], {}),
        ({"content": "c", "level": "DECISION"}, "Working", ["shared"], {}),
        ({"content": "d", "level": 3}, "Working", ["shared"], {}),
        ({"content": "e", "level": "\u0131dent\u0131ty"}, "Identity", ["shared"], {}),
        ({"content": "f", "level": "domain", "tags": ["shared", "y"]}, "Domain", ["shared", "y"], {}),
        ({"content": "g", "tags": ["x", 1], "metadata": {"k": 1, "j": "v"}}, "Working", ["shared"], {}),
        ({"content": "h", "tags": "x", "metadata": ["k"]}, "Working", ["shared"], {}),
        ({"content": "i", "tags": ["consequence-refute", "z"],
          "metadata": {"cu_id": "1", "kind": "consequence_unit", "trust_external": "false", "keep": "k"}},
         "Working", ["z", "shared"], {"keep": "k"}),
        ({"content": "j", "metadata": {"kind": "note"}}, "Working", ["shared"], {"kind": "note"}),
    ]
    ignored = {"id": "elsewhere", "namespace": "port", "source_type": "recorded", "strength": 0.9,
               "content_type": "text/markdown"}
    fragment = fragment_of(*[{**ignored, **record} for record, *_ in cases])
    assert other.import_context(fragment) == len(cases)
    stored = records_of(other)
    for record, level, tags, metadata in cases:
        r = stored[record["content"]]
        assert (r["level"], r["tags"]) == (level, tags), record
        # The write path adds its own provenance keys beside these.
        assert {**metadata, "trust_external": "true"}.items() <= r["metadata"].items(), record
        dropped = set(record.get("metadata") or ()) - set(metadata) - {"trust_external"}
        assert not dropped & set(r["metadata"]), record
        assert (r["namespace"], r["source_type"], r["content_type"]) == ("default", "retrieved", "text"), record
        assert r["strength"] == 0.5 and r["id"] != "elsewhere", record


@pytest.mark.parametrize("text, message", [
    ("{", None),
    (json.dumps({"format": "other", "records": []}), "Unknown format: 'other'. Expected 'vesk_context'"),
    (json.dumps([{"content": "a"}]), "Unknown format: ''. Expected 'vesk_context'"),
    (json.dumps({"format": 1, "records": []}), "Unknown format: ''. Expected 'vesk_context'"),
    (json.dumps({"format": "vesk_context"}), "Missing 'records' field"),
    (json.dumps({"format": "vesk_context", "records": {}}), "'records' must be an array"),
    (fragment_of({"content": 1}), "Record missing 'content'"),
    (fragment_of({"content": ""}), None),  # the write path refuses an empty content
])
def test_import_refusals_store_nothing(other, text, message):
    with pytest.raises(RuntimeError) as e:
        other.import_context(text)
    if message is not None:
        assert str(e.value) == message
    assert other.count() == 0


def test_import_is_not_transactional(other):
    assert other.import_context(fragment_of()) == 0
    with pytest.raises(RuntimeError, match=r"^Record missing 'content'$"):
        other.import_context(fragment_of({"content": "first"}, {"level": "DOMAIN"}, {"content": "third"}))
    assert list(records_of(other)) == ["first"]
    assert records_of(other)["first"]["strength"] == 0.5
    with pytest.raises(TypeError):
        other.import_context(b"{}")


def test_the_halved_strength_is_journaled(tmp_path):
    path = str(tmp_path / "target")
    v = Vesk(path)
    assert v.import_context(fragment_of({"content": "kept across a reopen", "level": "domain"})) == 1
    v.close()
    v = Vesk(path)
    try:
        (r,) = records_of(v).values()
        assert (r["strength"], r["level"]) == (0.5, "Domain")
    finally:
        v.close()
