"""The user profile and the agent persona: one pinned Identity record each,
created on the first call and rewritten in place afterwards."""

import math

import pytest

from vesk._core import AgentPersona, Level

DEFAULT_PROMPT = (
    "You are Assistant, a personal assistant. You help users with anything they need \u2014 help the user "
    "accomplish their goals. Your scope: universal. Speak warm and friendly."
)


def test_profile_created_then_merged(store):
    assert store.get_user_profile() is None
    pid = store.store_user_profile({"pet": "cat", "city": "Paris", "name": "Ada"})
    r = store.get(pid)
    assert r.content == "User Profile:\n  name: Ada\n  city: Paris\n  pet: cat"
    assert (r.pinned, r.level, r.tags, r.namespace) == (True, Level.Identity, ["user-profile"], "default")
    assert {k: store.get_user_profile()[k] for k in ("name", "city", "pet")} == {
        "name": "Ada", "city": "Paris", "pet": "cat"}

    assert store.store_user_profile({"city": "Rome", "bio": "", "Name": " "}) == pid
    fields = store.get_user_profile()
    assert (fields["name"], fields["city"], fields["pet"], fields["bio"], fields["Name"]) == (
        "Ada", "Rome", "cat", "", " ")
    lines = store.get(pid).content.split("\n")
    assert lines[:3] == ["User Profile:", "  name: Ada", "  city: Rome"]
    assert "  bio: " not in lines and "  Name:  " in lines and "  pet: cat" in lines
    # The keys the store road stamped are fields like the others now.
    assert "  source: " + fields["source"] in lines
    assert store.count() == 1


def test_profile_only_an_identity_record_of_default(store):
    store.store("an old profile", level=Level.Domain, tags=["user-profile"])
    elsewhere = store.store("profile elsewhere", level=Level.Identity, tags=["user-profile"], namespace="home")
    assert store.get_user_profile() is None
    pid = store.store_user_profile({})
    assert store.get(pid).content == "User Profile:" and pid != elsewhere
    # The family anchor of "home" is still the record of "home".
    assert store.get_family_graph("home").profile_record_id == elsewhere


def test_profile_too_long_stores_nothing(store):
    with pytest.raises(RuntimeError):
        store.store_user_profile({"bio": "x" * 102400})
    assert store.count() == 0 and store.get_user_profile() is None


@pytest.mark.parametrize("traits, style", [
    ({}, ""),
    ({"humor": 0.61}, " Style: feel free to use light humor."),
    ({"humor": 0.6}, ""),
    ({"formality": 0.75, "conciseness": 0.9}, " Style: maintain a professional tone; be especially concise."),
])
def test_persona_prompt(store, traits, style):
    p = AgentPersona()
    t = p.traits
    for k, v in traits.items():
        setattr(t, k, v)
    p.traits = t
    rid = store.set_persona(p)
    r = store.get(rid)
    assert r.content == DEFAULT_PROMPT + style + "\n\n"
    assert (r.pinned, r.level, r.tags, r.semantic_type) == (True, Level.Identity, ["agent-persona"], "preference")


def persona_fields(p):
    t = p.traits
    return (p.name, p.role, p.scope, p.tone, p.motivations, p.languages, p.catchphrases, p.avoid,
            t.warmth, t.curiosity, t.conciseness, t.humor, t.formality)


def test_persona_round_trip_and_update_in_place(store):
    assert store.get_persona() is None
    first = store.set_persona(AgentPersona())
    p = AgentPersona()
    p.name, p.catchphrases, p.avoid, p.languages = "Zoë \"Z\"", ["Cheers", "Onward"], ["jargon"], []
    t = p.traits
    t.humor, t.warmth = 0.123456789, 1
    p.traits = t
    assert store.set_persona(p) == first
    assert persona_fields(store.get_persona()) == persona_fields(p)
    assert "Signature phrases you may use: Cheers, Onward. Avoid: jargon." in store.get(first).content
    assert store.count() == 1


@pytest.mark.parametrize("trait", ["warmth", "humor", "formality"])
@pytest.mark.parametrize("value", [math.nan, math.inf, -math.inf])
def test_non_finite_trait_refused_and_persona_kept(store, trait, value):
    rid = store.set_persona(AgentPersona())
    p = AgentPersona()
    p.name = "Changed"
    t = p.traits
    setattr(t, trait, value)
    t.formality = math.nan  # the first offending trait in field order is named
    p.traits = t
    with pytest.raises(RuntimeError) as e:
        store.set_persona(p)
    assert str(e.value) == f"persona trait {trait} must be finite"
    assert store.get_persona().name == "Assistant"
    assert store.get(rid).content == DEFAULT_PROMPT + "\n\n"


def test_unreadable_persona_json_reads_as_none(store):
    rid = store.set_persona(AgentPersona())
    json = store.get(rid).metadata["persona_json"]
    store.update(rid, metadata={"persona_json": json.replace('"avoid":[],', "")})
    assert store.get_persona() is None
    store.update(rid, metadata={"persona_json": json[:-1] + ',"mood":"calm"}'})
    assert store.get_persona().name == "Assistant"


def test_persona_argument_type(store):
    with pytest.raises(TypeError, match="persona"):
        store.set_persona({"name": "x"})
    with pytest.raises(TypeError, match="fields"):
        store.store_user_profile({"name": 1})


def test_profile_family_and_persona_survive_a_reopen(tmp_path):
    from vesk._core import Vesk

    path = str(tmp_path / "s")
    with Vesk(path) as v:
        pid = v.store_user_profile({"name": "Ada"})
        sid = v.store_family_person("family.sister", "my sister Anna", {"name": "Anna"})
        p = AgentPersona()
        p.catchphrases = ["Cheers"]
        rid = v.set_persona(p)
    with Vesk(path) as v:
        assert v.get_user_profile()["name"] == "Ada"
        assert [(m.record_id, m.relation_type) for m in v.get_family_graph().members] == [(sid, "family.sister")]
        assert v.get_family_graph().profile_record_id == pid
        assert v.get_persona().catchphrases == ["Cheers"]
        assert v.set_persona(AgentPersona()) == rid and v.store_user_profile({"city": "Oslo"}) == pid
