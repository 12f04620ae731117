"""The four layer files and the recall replay history as a store opens them
from "beliefs.cog", "concepts.cog", "causal.cog", "policies.cog" and
"recall_replay.json": what each startup event says about a hand-written file.

The files are written here as the store would write them (compact JSON for
the layers, pretty JSON for the history), with members left out or spoiled
where a case is about that.
"""

import json
import os
import pathlib

import pytest

from vesk._core import Vesk


def belief(n, **changes):
    b = {"id": f"b{n}", "key": f"kiln|{n}", "hypothesis_ids": [f"h{n}"], "winner_id": f"h{n}",
         "state": "Singleton", "score": 0.5, "confidence": 0.5, "support_mass": 1.0, "conflict_mass": 0.0,
         "stability": 0.9, "volatility": 0.1, "world_verdict": "Confirmed", "last_updated": 1750000000.5}
    b.update(changes)
    return b


def hypothesis(n):
    return {"id": f"h{n}", "belief_id": f"b{n}", "prototype_record_ids": [f"r{n}"], "score": 0.5,
            "confidence": 0.5, "support_mass": 1.0, "conflict_mass": 0.0, "recency": 1.0, "consistency": 1.0}


def belief_store(beliefs):
    return {"beliefs": {b["id"]: b for b in beliefs},
            "hypotheses": {f"h{i}": hypothesis(i) for i in range(1, len(beliefs) + 1)},
            "key_index": {b["key"]: b["id"] for b in beliefs}, "record_index": {},
            "coarse_key_mode": "Standard", "claim_similarity_override": None,
            "embedding_similarity_override": None}


def candidate(**changes):
    c = {"id": "c1", "key": "work|fact|kiln", "namespace": "work", "semantic_type": "fact", "belief_ids": ["b1"],
         "record_ids": ["r1"], "core_terms": ["kiln"], "shell_terms": [], "tags": ["pottery"], "support_mass": 1.0,
         "confidence": 0.5, "stability": 0.5, "cohesion": 0.5, "abstraction_score": 0.5, "state": "Stable",
         "last_updated": 1750000000.0}
    c.update(changes)
    return c


OPTIONAL_PATTERN_MEMBERS = ["explicit_support_count", "temporal_support_count", "unique_temporal_windows",
                            "effect_record_signature_variants", "positive_effect_signals",
                            "negative_effect_signals", "explicit_support_total_for_cause",
                            "explicit_effect_variants_for_cause", "invalidation_reason", "invalidated_at"]


def pattern(**changes):
    p = {"id": "p1", "key": "work|p1", "namespace": "work", "cause_belief_ids": [], "effect_belief_ids": [],
         "cause_record_ids": ["r1"], "effect_record_ids": ["r2"], "support_count": 3,
         **{k: 1 for k in OPTIONAL_PATTERN_MEMBERS[:8]}, "counterevidence": 0, "transition_lift": 1.5,
         "temporal_consistency": 0.5, "outcome_stability": 0.5, "causal_strength": 0.5, "state": "Invalidated",
         "invalidation_reason": "refuted", "invalidated_at": 1750000100.0, "last_updated": 1750000000.0}
    p.update(changes)
    return p


def causal_store(patterns, **changes):
    c = {"patterns": {p["id"]: p for p in patterns}, "key_index": {p["key"]: p["id"] for p in patterns},
         "temporal_budget_mode": "NearbySuccessors", "evidence_mode": "ExplicitTrusted",
         "last_corpus_fingerprint": 7, "last_edges_found": 1, "last_explicit_edges_found": 1,
         "last_temporal_edges_found": 0}
    c.update(changes)
    return c


def hint():
    return {"id": "ph1", "key": "work|deploy", "namespace": "work", "domain": "deploy", "action_kind": "VerifyFirst",
            "recommendation": "Run the smoke tests first", "trigger_causal_ids": ["p1"], "trigger_concept_ids": [],
            "trigger_belief_ids": [], "supporting_record_ids": ["r2"], "cause_record_ids": ["r1"],
            "confidence": 0.5, "utility_score": 0.5, "risk_score": 0.1, "policy_strength": 0.5,
            "state": "Suppressed", "last_updated": 1750000000.0}


def baseline(n, **changes):
    b = {"trace_id": f"mem_{n:032x}", "query": f"kiln {n}", "top_k": 5, "min_strength": 0.1,
         "expand_connections": False, "namespaces": ["default"], "ranked": [["aaaaaaaaaaa1", 0.5]]}
    b.update(changes)
    return b


def without(d, *keys):
    return {k: v for k, v in d.items() if k not in keys}


def compact(value):
    return json.dumps(value, separators=(",", ":"))


def open_with(store_dir, name, text):
    """Opens a store whose directory holds `text` as `name`; returns the event
    of that surface and checks that neither the open nor the close touched
    the file."""
    os.makedirs(store_dir, exist_ok=True)
    path = pathlib.Path(store_dir, name)
    path.write_text(text, encoding="utf-8")
    surface = {"beliefs.cog": "belief", "concepts.cog": "concept", "causal.cog": "causal",
               "policies.cog": "policy", "recall_replay.json": "recall_replay"}[name]
    with Vesk(store_dir) as v:
        (e,) = [e for e in v.get_startup_validation_report().events if e.surface == surface]
    assert path.read_text(encoding="utf-8") == text
    assert e.path == str(path)
    assert e.recovered == (e.status != "loaded")
    return e


@pytest.fixture
def store_dir(tmp_path):
    return str(tmp_path / "store")


@pytest.mark.parametrize("name, value, status, detail", [
    ("beliefs.cog", belief_store([belief(1), belief(2), belief(3)]), "loaded", "loaded 3 beliefs"),
    ("beliefs.cog", belief_store([belief(1)]), "loaded", "loaded 1 beliefs"),
    ("beliefs.cog", belief_store([without(belief(1), "winner_id", "volatility", "world_verdict")]),
     "loaded", "loaded 1 beliefs"),
    ("beliefs.cog", without(belief_store([belief(1)]), "coarse_key_mode", "claim_similarity_override",
                            "embedding_similarity_override"), "loaded", "loaded 1 beliefs"),
    ("beliefs.cog", belief_store([without(belief(1), "stability")]),
     "load_error_fallback", "missing field `stability` at line "),
    ("beliefs.cog", belief_store([belief(1, state="resolved")]), "load_error_fallback",
     "unknown variant `resolved`, expected one of `Resolved`, `Unresolved`, `Singleton`, `Empty`"),
    ("beliefs.cog", belief_store([belief(1, score=None)]), "load_error_fallback", "invalid type: null, expected f32"),
    ("concepts.cog", {"concepts": {}, "key_index": {}}, "loaded", "loaded 0 concepts"),
    ("concepts.cog", {"concepts": {"c1": candidate()}, "key_index": {}, "seed_mode": {"Warmup": None}},
     "loaded", "loaded 1 concepts"),
    ("concepts.cog", {"concepts": {"c1": without(candidate(), "tags")}, "key_index": {}},
     "load_error_fallback", "missing field `tags` at line "),
    ("concepts.cog", {"concepts": {"c1": candidate(state="stable")}, "key_index": {}},
     "load_error_fallback", "unknown variant `stable`"),
    ("causal.cog", causal_store([without(pattern(), "counterevidence")]),
     "load_error_fallback", "missing field `counterevidence` at line "),
    ("causal.cog", causal_store([without(pattern(state="Candidate"), *OPTIONAL_PATTERN_MEMBERS)]),
     "loaded", "loaded 1 causal patterns"),
    ("causal.cog", causal_store([pattern()], last_corpus_fingerprint=18446744073709551615),
     "loaded", "loaded 1 causal patterns"),
    ("causal.cog", without(causal_store([]), "last_corpus_fingerprint", "last_edges_found",
                           "last_explicit_edges_found", "last_temporal_edges_found"),
     "loaded", "loaded 0 causal patterns"),
    ("causal.cog", without(causal_store([pattern()]), "evidence_mode"),
     "load_error_fallback", "missing field `evidence_mode`"),
    ("policies.cog", {"hints": {"ph1": hint()}, "key_index": {"work|deploy": "ph1"}},
     "loaded", "loaded 1 policy hints"),
    ("policies.cog", {"hints": {"ph1": hint()}}, "load_error_fallback", "missing field `key_index` at line "),
    ("policies.cog", {"hints": {"ph1": without(hint(), "domain")}, "key_index": {}},
     "load_error_fallback", "missing field `domain`"),
    ("policies.cog", {"hints": {"ph1": {**hint(), "action_kind": "verify_first"}}, "key_index": {}},
     "load_error_fallback", "unknown variant `verify_first`"),
])
def test_layer_file(store_dir, name, value, status, detail):
    e = open_with(store_dir, name, compact(value))
    assert e.status == status and e.detail.startswith(detail), e.detail
    if status == "loaded":
        assert e.detail == detail


def test_unknown_members_are_skipped_at_every_level(store_dir):
    store = belief_store([{**belief(1), "note": {"any": [None]}}])
    store["hypotheses"]["h1"]["weight"] = None
    store["version"] = 2
    e = open_with(store_dir, "beliefs.cog", compact(store))
    assert (e.status, e.detail) == ("loaded", "loaded 1 beliefs")


def test_a_member_twice_is_refused_but_a_repeated_map_key_keeps_the_later_entry(store_dir):
    twice = compact(belief_store([belief(1)])).replace('"score":0.5', '"score":0.5,"score":0.25', 1)
    e = open_with(store_dir, "beliefs.cog", twice)
    assert e.status == "load_error_fallback" and e.detail.startswith("duplicate field `score`"), e.detail

    repeated = '{"hints":{"ph1":%s,"ph1":%s},"key_index":{}}' % (compact(hint()), compact(hint()))
    e = open_with(store_dir, "policies.cog", repeated)
    assert (e.status, e.detail) == ("loaded", "loaded 1 policy hints")


def test_a_long_replay_history_keeps_its_last_128(store_dir):
    e = open_with(store_dir, "recall_replay.json", json.dumps([baseline(n) for n in range(200)], indent=2))
    assert (e.status, e.detail) == ("loaded", "loaded 128 recall replay baselines")


def test_a_baseline_without_its_ranking_refuses_the_history(store_dir):
    text = json.dumps([baseline(1), without(baseline(2), "ranked")], indent=2)
    e = open_with(store_dir, "recall_replay.json", text)
    assert e.status == "load_error_fallback" and e.detail.startswith("missing field `ranked` at line "), e.detail
