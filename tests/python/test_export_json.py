"""The whole-store JSON from Python."""

import json

RECORD_KEYS = ["id", "content", "level", "pinned", "strength", "activation_count", "created_at", "last_activated",
               "valid_from", "valid_until", "superseded_at", "tags", "connections", "connection_types",
               "content_type", "metadata", "vesk_id", "caused_by_id", "namespace", "source_type", "semantic_type",
               "activation_velocity", "salience", "confidence", "support_mass", "conflict_mass", "volatility"]


def test_empty_store_is_an_empty_array(store):
    assert store.export_json() == "[]"


def test_every_record_as_indented_record_json(store):
    a = store.store("kiln at noon", tags=["kiln"], metadata={"k": "v"})
    b = store.store("glaze", namespace="studio", valid_until=2_000_000_000.0)
    text = store.export_json()
    assert text.startswith("[\n  {\n    \"id\": ") and text.endswith("\n  }\n]")
    assert '    "confidence": 0.9,\n' in text
    assert '    "connections": {},\n' in text and '    "superseded_at": null,\n' in text
    records = json.loads(text)
    assert sorted(r["id"] for r in records) == sorted([a, b])
    for r in records:
        assert list(r) == RECORD_KEYS
    by_id = {r["id"]: r for r in records}
    assert by_id[a]["tags"] == ["kiln"] and by_id[a]["metadata"]["k"] == "v"
    assert by_id[a]["level"] in ("Working", "Decisions") and by_id[a]["caused_by_id"] is None
    assert by_id[b]["valid_until"] == 2_000_000_000.0 and by_id[b]["namespace"] == "studio"
