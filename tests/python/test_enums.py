"""Enumeration classes: members, text forms, equality, refusals, Level's getters."""

import numpy as np
import pytest

import vesk._core as m

MEMBERS = {
    "Level": [("Working", 1), ("Decisions", 2), ("Domain", 3), ("Identity", 4)],
    "OutcomeKind": [("Helpful", 0), ("Unhelpful", 1), ("Inconclusive", 2)],
    "ConsequencePolarity": [("Supports", 0), ("Refutes", 1), ("Inconclusive", 2)],
    "RouteStateClass": [("Candidate", 0), ("EvidenceDebt", 1), ("Confirmed", 2), ("Refuted", 3)],
    "CausalEdgeKind": [("Precedes", 0), ("Causes", 1), ("Enables", 2), ("Refutes", 3)],
}


@pytest.mark.parametrize("cls_name", MEMBERS)
def test_members_are_fixed_instances_of_their_class(cls_name):
    cls = getattr(m, cls_name)
    for name, value in MEMBERS[cls_name]:
        member = getattr(cls, name)
        assert type(member) is cls and getattr(cls, name) is member
        assert int(member) == value and member == value and value == member
        assert bool(member) is True  # no __bool__: value 0 is true too
        if cls is not m.Level:
            assert repr(member) == str(member) == f"{cls_name}.{name}"
    assert [int(getattr(cls, n)) for n, _ in MEMBERS[cls_name]] == [v for _, v in MEMBERS[cls_name]]


@pytest.mark.parametrize("cls_name", MEMBERS)
def test_refusals(cls_name):
    cls = getattr(m, cls_name)
    first, second = (getattr(cls, name) for name, _ in MEMBERS[cls_name][:2])
    with pytest.raises(TypeError) as info:
        cls(1)
    assert str(info.value) == f"No constructor defined for {cls_name}"
    for op in (lambda: first < second, lambda: first >= 0, lambda: 0 > first):
        with pytest.raises(TypeError):
            op()
    for use in (hash, lambda x: {x: 1}, lambda x: {x}):
        with pytest.raises(TypeError, match="unhashable"):
            use(first)
    with pytest.raises(TypeError):
        [1, 2, 3][first]  # no __index__
    with pytest.raises(AttributeError):
        first.value = 1
    with pytest.raises(TypeError):
        cls.Extra = first  # the class is immutable


@pytest.mark.parametrize(
    "a, b, equal",
    [
        (m.Level.Working, 1, True),
        (m.Level.Working, True, True),
        (m.Level.Working, np.uint8(1), True),  # anything with __index__
        (m.Level.Working, 1.0, False),
        (m.Level.Working, "Working", False),
        (m.Level.Working, 257, False),  # outside one byte
        (m.Level.Working, -255, False),
        (m.Level.Working, m.Level.Decisions, False),
        (m.Level.Working, m.OutcomeKind.Unhelpful, False),  # both 1, different classes
        (m.ConsequencePolarity.Inconclusive, m.OutcomeKind.Inconclusive, False),
        (m.ConsequencePolarity.Supports, False, True),
        (m.RouteStateClass.Refuted, 3, True),
        (m.OutcomeKind.Helpful, 2**70, False),
        (m.OutcomeKind.Helpful, None, False),
    ],
)
def test_equality(a, b, equal):
    assert (a == b) is equal and (b == a) is equal
    assert (a != b) is (not equal) and (b != a) is (not equal)


@pytest.mark.parametrize(
    "name, display, decay_rate, dna, tier",
    [
        ("Working", "WORKING", 0.800000011920929, "general", "cognitive"),
        ("Decisions", "DECISIONS", 0.8999999761581421, "general", "cognitive"),
        ("Domain", "DOMAIN", 0.949999988079071, "user_core", "core"),
        ("Identity", "IDENTITY", 0.9900000095367432, "user_core", "core"),
    ],
)
def test_level_text_and_getters(name, display, decay_rate, dna, tier):
    level = getattr(m.Level, name)
    assert repr(level) == f"Level.{display}" and str(level) == display
    assert level.decay_rate == decay_rate and level.dna == dna and level.tier == tier
    assert level.is_cognitive is (tier == "cognitive") and level.is_core is (tier == "core")
    for getter in ("decay_rate", "tier"):
        with pytest.raises(AttributeError):
            setattr(level, getter, 1)


def test_docs():
    assert m.Level.__doc__ == "Cognitive memory level \u2014 determines decay rate and importance."
    assert m.ConsequencePolarity.__doc__ is None
    assert m.OutcomeKind.__doc__ == "Externally observed result for one retrieval attempt."
    assert m.CausalEdgeKind.__doc__.startswith("The SEMANTIC type of a causal edge")
    assert m.CausalEdgeKind.__doc__.endswith("on top of its quantitative\ncausal engine.")
    assert m.RouteStateClass.__doc__.splitlines()[1].startswith("decay. Ordered weakest\u2192strongest")
    assert m.Level.tier.__doc__ == 'Get the memory tier: "cognitive" or "core".'
    assert m.Level.__text_signature__ is None
