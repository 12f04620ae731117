"""Configuration classes: defaults, constructors, attribute conversion and copies."""

import numpy as np
import pytest

import vesk._core as m


def f32(x):
    """The value a 32-bit float field reads back as."""
    return float(np.float32(x))


def raises(call, exc, message):
    with pytest.raises(exc) as info:
        call()
    assert type(info.value) is exc and str(info.value) == message


CompletedArchivalRule = type(m.MaintenanceConfig().completed_archival_rules[0])

ALL_CLASSES = [m.TagTaxonomy, m.TrustConfig, m.MaintenanceConfig, m.CircuitBreakerConfig, m.PersonaTraits,
               m.AgentPersona]


def attributes(cls):
    return [n for n, v in vars(cls).items() if type(v).__name__ == "getset_descriptor"]


def snapshot(value):
    """Plain Python data equal for equal configurations (objects compare by identity)."""
    if isinstance(value, list):
        return [snapshot(v) for v in value]
    if type(value).__module__ == "vesk._core":
        return {n: snapshot(getattr(value, n)) for n in attributes(type(value))}
    return value


def make(cls):
    if cls is m.ArchivalRule:
        return cls("cache", 7, 5)
    if cls is CompletedArchivalRule:
        return cls("todo", 3)
    return cls()


def test_tag_taxonomy_defaults():
    t = m.TagTaxonomy()
    sets = [t.identity_tags, t.stable_tags, t.volatile_tags, t.non_identity_tags, t.consolidation_skip_tags,
            t.archive_protected_tags, t.sensitive_tags]
    assert all(type(s) is set for s in sets)
    assert [len(s) for s in sets] == [2, 5, 4, 15, 11, 6, 3]
    assert t.identity_tags == {"user-profile", "identity"}
    assert t.sensitive_tags == {"financial", "credential", "wallet"}
    assert [("identity" in s) for s in sets] == [True, True, False, False, True, True, False]


def test_trust_and_maintenance_defaults():
    t = m.TrustConfig()
    assert t.source_trust == {k: f32(v) for k, v in {
        "user-confirmed": 1.0, "agent-interactive": 0.7, "system": 0.6, "agent": 0.5, "agent-autonomous": 0.4,
        "agent-worker": 0.35}.items()}
    assert len(t.source_authority) == 10 and t.source_authority["agent-inference"] == f32(0.65)
    assert "agent-inference" not in t.source_trust and t.source_authority["user-confirmed"] == f32(1.2)
    assert (t.recency_boost_max, t.recency_half_life_days, t.fusion_mode) == (0.20000000298023224, 7.0, "family")

    c = m.MaintenanceConfig()
    flags = [c.decay_enabled, c.reflect_enabled, c.insights_enabled, c.consolidation_enabled, c.synthesis_enabled,
             c.archival_enabled]
    assert flags == [True] * 6 and (c.level_fix_interval, c.max_clusters_per_run, c.task_tag) == (10, 3, "scheduled-task")
    rules = [(r.tag, r.max_age_days, r.keep_recent) for r in c.archival_rules]
    assert len(rules) == 10 and rules[0] == ("web-search-cache", 1, 0) and rules[-1] == ("feedback-signal", 14, 50)
    assert [(r.tag, r.max_age_days) for r in c.completed_archival_rules] == [("todo-item", 30), ("scheduled-task", 30)]


def test_breaker_and_persona_defaults():
    b = m.CircuitBreakerConfig()
    assert (b.failure_threshold, b.failure_window_secs, b.recovery_secs) == (3, 600, 600)
    t = m.PersonaTraits()
    assert [t.warmth, t.curiosity, t.conciseness, t.humor, t.formality] == [
        0.800000011920929, 0.699999988079071, 0.6000000238418579, 0.4000000059604645, 0.4000000059604645]
    p = m.AgentPersona()
    assert (p.name, p.role, p.scope, p.tone, p.motivations) == (
        "Assistant", "personal assistant", "universal", "warm and friendly", "help the user accomplish their goals")
    assert (p.languages, p.catchphrases, p.avoid, p.traits.warmth) == (["en"], [], [], t.warmth)


@pytest.mark.parametrize("cls", ALL_CLASSES, ids=lambda c: c.__name__)
def test_argumentless_constructors_refuse_arguments(cls):
    name = cls.__name__
    raises(lambda: cls(1), TypeError, f"{name}.__new__() takes 0 positional arguments but 1 was given")
    raises(lambda: cls(x=1), TypeError, f"{name}.__new__() got an unexpected keyword argument 'x'")
    assert cls.__text_signature__ == "()"


@pytest.mark.parametrize(
    "call, exc, message",
    [
        (lambda: m.ArchivalRule("cache", -1, 5), OverflowError, "out of range integral type conversion attempted"),
        (lambda: m.ArchivalRule("cache", 2**32, 5), OverflowError, "out of range integral type conversion attempted"),
        (lambda: m.ArchivalRule("cache", 1.5, 5), TypeError,
         "argument 'max_age_days': 'float' object cannot be interpreted as an integer"),
        (lambda: m.ArchivalRule("cache", 7, -1), OverflowError, "can't convert negative int to unsigned"),
        (lambda: m.ArchivalRule(5, "x", 5), TypeError, "argument 'tag': 'int' object cannot be converted to 'str'"),
        (lambda: m.ArchivalRule("cache", 7), TypeError,
         "ArchivalRule.__new__() missing 1 required positional argument: 'keep_recent'"),
        (lambda: m.ArchivalRule("cache", 7, 5, tag="x"), TypeError,
         "ArchivalRule.__new__() got multiple values for argument 'tag'"),
        (lambda: CompletedArchivalRule(), TypeError,
         "CompletedArchivalRule.__new__() missing 2 required positional arguments: 'tag' and 'max_age_days'"),
    ],
)
def test_rule_constructor_errors(call, exc, message):
    raises(call, exc, message)


def test_rule_constructors():
    for rule in (m.ArchivalRule("cache", 7, 5), m.ArchivalRule(keep_recent=5, tag="cache", max_age_days=7)):
        assert (rule.tag, rule.max_age_days, rule.keep_recent) == ("cache", 7, 5)
    done = CompletedArchivalRule("x", 3)
    assert (type(done), done.tag, done.max_age_days) == (CompletedArchivalRule, "x", 3)
    assert m.ArchivalRule("c", 2**32 - 1, 2**64 - 1).keep_recent == 2**64 - 1
    assert CompletedArchivalRule.__text_signature__ == "(tag, max_age_days)"
    assert CompletedArchivalRule.__doc__ == "Completed archival rule \u2014 only deletes completed/done items."


class Index:
    def __index__(self):
        return 4


@pytest.mark.parametrize(
    "cls, attr, value, read_back",
    [
        (m.TagTaxonomy, "stable_tags", frozenset({"a", "b"}), {"a", "b"}),
        (m.TagTaxonomy, "sensitive_tags", set(), set()),
        (m.TrustConfig, "source_trust", {"x": 0.1, "y": 2}, {"x": 0.10000000149011612, "y": 2.0}),
        (m.TrustConfig, "recency_half_life_days", 3, 3.0),
        (m.TrustConfig, "recency_boost_max", Index(), 4.0),
        (m.TrustConfig, "fusion_mode", "anything at all", "anything at all"),
        (m.MaintenanceConfig, "level_fix_interval", 0, 0),
        (m.MaintenanceConfig, "max_clusters_per_run", Index(), 4),
        (m.MaintenanceConfig, "decay_enabled", np.False_, False),
        (m.MaintenanceConfig, "task_tag", "", ""),
        (m.CircuitBreakerConfig, "recovery_secs", 2**64 - 1, 2**64 - 1),
        (m.PersonaTraits, "warmth", 2.0, 2.0),
        (m.PersonaTraits, "humor", -1, -1.0),
        (m.AgentPersona, "languages", ("de", "uk"), ["de", "uk"]),
        (m.ArchivalRule, "max_age_days", 2**32 - 1, 2**32 - 1),
    ],
)
def test_assignment_converts_and_reads_back(cls, attr, value, read_back):
    obj = make(cls)
    setattr(obj, attr, value)
    got = getattr(obj, attr)
    assert got == read_back and type(got) is type(read_back)


RULE = m.ArchivalRule("keep", 1, 1)


@pytest.mark.parametrize(
    "cls, attr, value, exc, message",
    [
        (m.TagTaxonomy, "stable_tags", ["a"], TypeError, "argument 'stable_tags': 'list' object cannot be converted to 'set'"),
        (m.TagTaxonomy, "stable_tags", ("a",), TypeError, "argument 'stable_tags': 'tuple' object cannot be converted to 'set'"),
        (m.TagTaxonomy, "stable_tags", {"a", 1}, TypeError, "argument 'stable_tags': 'int' object cannot be converted to 'str'"),
        (m.TrustConfig, "source_trust", [("a", 1.0)], TypeError, "argument 'source_trust': 'list' object cannot be converted to 'dict'"),
        (m.TrustConfig, "source_trust", {"a": 0.5, "b": "x"}, TypeError, "argument 'source_trust': must be real number, not str"),
        (m.TrustConfig, "source_authority", {1: 0.5}, TypeError, "argument 'source_authority': 'int' object cannot be converted to 'str'"),
        (m.TrustConfig, "recency_boost_max", "0.5", TypeError, "argument 'recency_boost_max': must be real number, not str"),
        (m.TrustConfig, "fusion_mode", None, TypeError, "argument 'fusion_mode': 'NoneType' object cannot be converted to 'str'"),
        (m.MaintenanceConfig, "decay_enabled", 1, TypeError, "argument 'decay_enabled': 'int' object cannot be converted to 'bool'"),
        (m.MaintenanceConfig, "level_fix_interval", -1, OverflowError, "can't convert negative int to unsigned"),
        (m.MaintenanceConfig, "level_fix_interval", 2.0, TypeError, "argument 'level_fix_interval': 'float' object cannot be interpreted as an integer"),
        (m.MaintenanceConfig, "archival_rules", "rules", TypeError, "argument 'archival_rules': a str cannot be taken as a list; pass a list or a tuple"),
        (m.MaintenanceConfig, "archival_rules", 5, TypeError, "argument 'archival_rules': 'int' object cannot be converted to 'Sequence'"),
        (m.MaintenanceConfig, "archival_rules", [RULE, "x"], TypeError, "argument 'archival_rules': 'str' object cannot be converted to 'ArchivalRule'"),
        (m.MaintenanceConfig, "completed_archival_rules", [RULE], TypeError, "argument 'completed_archival_rules': 'ArchivalRule' object cannot be converted to 'CompletedArchivalRule'"),
        (m.AgentPersona, "traits", {"warmth": 1.0}, TypeError, "argument 'traits': 'dict' object cannot be converted to 'PersonaTraits'"),
        (m.AgentPersona, "avoid", ["x", None], TypeError, "argument 'avoid': 'NoneType' object cannot be converted to 'str'"),
        (m.ArchivalRule, "max_age_days", -1, OverflowError, "out of range integral type conversion attempted"),
        (m.ArchivalRule, "max_age_days", 2**32, OverflowError, "out of range integral type conversion attempted"),
        (m.PersonaTraits, "warmth", "hot", TypeError, "argument 'warmth': must be real number, not str"),
    ],
)
def test_refused_assignment_keeps_the_field(cls, attr, value, exc, message):
    obj = make(cls)
    before = snapshot(obj)
    raises(lambda: setattr(obj, attr, value), exc, message)
    assert snapshot(obj) == before


@pytest.mark.parametrize("cls", ALL_CLASSES + [m.ArchivalRule, CompletedArchivalRule], ids=lambda c: c.__name__)
def test_every_attribute_reads_writes_back_and_refuses_delete(cls):
    obj = make(cls)
    before = snapshot(obj)
    assert before
    for attr in attributes(cls):
        setattr(obj, attr, getattr(obj, attr))  # what a field reads as, it accepts
        raises(lambda: delattr(obj, attr), AttributeError, "can't delete attribute")
    assert snapshot(obj) == before
    with pytest.raises(AttributeError):
        obj.no_such_attribute = 1  # no instance dictionary


def test_reads_and_assignments_are_copies():
    t = m.TagTaxonomy()
    t.stable_tags.add("extra")
    assert "extra" not in t.stable_tags

    c = m.MaintenanceConfig()
    rule = m.ArchivalRule("cache", 7, 5)
    c.archival_rules = [rule]
    rule.tag = "changed"
    c.archival_rules[0].tag = "changed too"
    c.archival_rules.append(rule)
    assert [r.tag for r in c.archival_rules] == ["cache"]
    assert c.archival_rules[0] is not c.archival_rules[0]

    p = m.AgentPersona()
    traits = p.traits
    traits.warmth = 0.1
    assert p.traits.warmth == 0.800000011920929
    p.traits = traits
    traits.warmth = 0.9
    assert p.traits.warmth == 0.10000000149011612
    p.languages.append("fr")
    assert p.languages == ["en"]


def test_objects_compare_and_hash_by_identity():
    a, b = m.TagTaxonomy(), m.TagTaxonomy()
    assert a != b and a == a
    assert {a: 1, b: 2}[b] == 2


def test_docs():
    assert m.TagTaxonomy.__doc__ == (
        "User-configurable tag classification.\n\n"
        "All maintenance phases reference `taxonomy` instead of hardcoded constants.\n"
        "Ships with sensible defaults; user overrides via `brain.set_taxonomy()`.")
    assert m.ArchivalRule.__text_signature__ == "(tag, max_age_days, keep_recent)"
    assert m.ArchivalRule.__doc__ == "Configurable archival rule for a tag category."
    assert m.TrustConfig.source_trust.__doc__ == "Source \u2192 base trust score (0.0-1.0)."
    assert m.MaintenanceConfig.task_tag.__doc__ == 'Tag used for scheduled tasks (default: "scheduled-task").'
    assert m.MaintenanceConfig.decay_enabled.__doc__ is None
    assert m.CircuitBreakerConfig.recovery_secs.__doc__ == "Cooldown in seconds after circuit opens."
