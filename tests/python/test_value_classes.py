"""Value classes: read-only attributes that hand out fresh copies, no constructor.

The classes of the module are checked here as classes (names, docs, no
constructor); what their instances show is checked on hand-built values by
the C++ tests of tests/cpp/binding, until the operations that produce them
exist. The test-only module _binding_probe declares a class with an attribute
of each kind.
"""

import pytest

import _binding_probe as probe
import vesk._core as m


# Classes a caller configures and builds; every other class of the module
# has no constructor.
CONSTRUCTIBLE = {"Vesk", "TagTaxonomy", "TrustConfig", "MaintenanceConfig", "ArchivalRule", "AgentPersona",
                 "PersonaTraits", "CircuitBreakerConfig"}


@pytest.mark.parametrize("name", sorted(n for n in m.__all__ if isinstance(getattr(m, n), type)
                                        and n not in CONSTRUCTIBLE))
def test_no_constructor(name):
    with pytest.raises(TypeError) as info:
        getattr(m, name)()
    assert str(info.value) == f"No constructor defined for {name}"


@pytest.mark.parametrize("cls, doc", [
    (m.DecayReport, "Decay phase report."),
    (m.PolicyPressureArea, None),
    (m.StartupValidationReport, None),
    (m.LayerStability, "Per-layer identity stability counters.\n"
                       "Tracks how many entities survived, appeared, or disappeared between cycles."),
    (m.SurfacedConcept, "Stable external contract for inspection-only concept output.\n"
                        "Decoupled from internal ConceptCandidate \u2014 safe to expose publicly."),
    (m.RetrievalEpisode, "Ephemeral audit state for one memory-backed answer."),
    (m.PhaseTimings.level_fix_ms, "Phase 0: Level fix (ms)."),
    (m.ReflectReport.blocked_identity_threshold,
     "Domain\u2192Identity promotions that lacked the stricter evidence tenure."),
    (m.SurfacedConcept.state, 'Lifecycle state ("stable" or "candidate").'),
    (m.ConsequencePolicyHint.scar, "True when a refutation survived later supporting frequency (gaslight guard\n"
                                   "fired): the world's \"no\" outranks the model's repeated \"yes\"."),
    (m.ReflectReport.promoted, None),
])
def test_docs(cls, doc):
    assert cls.__doc__ == doc


def test_look_alike_classes_are_unrelated():
    assert m.SalienceBands is not m.BeliefVolatilityBands
    assert not issubclass(m.SalienceBands, m.BeliefVolatilityBands)
    assert not issubclass(m.BeliefVolatilityBands, m.SalienceBands)
    assert {a for a in vars(m.SalienceBands) if a[0] != "_"} == {"low", "medium", "high"}


def test_value_class_without_attributes():
    cls = m.NeighborMassFootprint
    with pytest.raises(TypeError) as info:
        cls()
    assert str(info.value) == "No constructor defined for NeighborMassFootprint"
    assert cls.__doc__.startswith("A presence footprint over an entity's neighbor mass.\n\nEach distinct")
    assert cls.__text_signature__ is None


def test_attributes_convert_each_member():
    r = probe.make_report(3)
    assert (r.count, r.ratio32, r.name, r.items, r.note, r.counts) == (3, 0.8999999761581421, "r", ["a", "b"], None,
                                                                         {"x": 1})
    assert r.twice_count == 6 and probe.make_report(2**64 - 1, "n").note == "n"
    assert r.part.label == "p" and [p.label for p in r.parts] == ["q", "r"]
    assert probe.report_name(r) == "r"


def test_reads_are_fresh_copies():
    r = probe.make_report(1)
    assert r.items is not r.items and r.part is not r.part and r.parts[0] is not r.parts[0]
    r.items.append("c")
    r.counts["y"] = 2
    assert r.items == ["a", "b"] and r.counts == {"x": 1}


def test_read_only_identity_objects():
    r = probe.make_report(1)
    for attr in ("count", "part", "twice_count"):
        with pytest.raises(AttributeError):
            setattr(r, attr, 0)
        with pytest.raises(AttributeError):
            delattr(r, attr)
    with pytest.raises(AttributeError):
        r.extra = 1
    other = probe.make_report(1)
    assert r != other and r == r and len({r, other}) == 2
    assert repr(r).startswith("<_binding_probe.Report object at ")
    with pytest.raises(TypeError) as info:
        probe.Report()
    assert str(info.value) == "No constructor defined for Report"
    with pytest.raises(TypeError) as info:
        probe.report_name(r.part)
    assert str(info.value) == "argument 'report': 'Part' object cannot be converted to 'Report'"


def test_docs_and_unregistered_nested_class():
    assert probe.Report.__doc__ == "A report." and probe.Report.count.__doc__ == "How many."
    assert probe.Report.name.__doc__ is None
    part = type(probe.make_report(1).part)
    assert part.__name__ == "Part" and part.__doc__ is None and not hasattr(probe, "Part")
