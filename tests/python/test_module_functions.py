import inspect

import numpy as np
import pytest

import vesk._core as m

SIGNATURES = {
    "world_fact_from_output": "(exit_code, stdout, stderr, success_markers, failure_markers)",
    "neighbor_mass_role_similarity": "(neighbors_a, neighbors_b)",
    "classify_causal_edge": (
        "(support_count, counterevidence, transition_lift, positive_effect_signals=0, negative_effect_signals=0)"
    ),
}


@pytest.mark.parametrize("name", SIGNATURES)
def test_text_signature_and_docstring(name):
    f = getattr(m, name)
    assert f.__text_signature__ == SIGNATURES[name]
    assert str(inspect.signature(f)) == SIGNATURES[name]
    assert f.__doc__.startswith("Python: ") and "--" not in f.__doc__


def test_docstring_text():
    assert m.world_fact_from_output.__doc__ == (
        'Python: derive a 3-state world fact ("supports" | "refutes" | "inconclusive")\n'
        "from a real command's captured output. The agent runs the command itself and\n"
        "passes the result here. A failure marker (or a dirty exit with no success\n"
        "marker) \u21d2 refutes; a success marker \u21d2 supports; otherwise inconclusive (the\n"
        "evidence debt stays open). Deterministic, no LLM, no execution here."
    )
    assert m.classify_causal_edge.__doc__.splitlines()[1] == (
        '"precedes" | "causes" | "enables" | "refutes". `precedes` means correlation'
    )


@pytest.mark.parametrize(
    "args, kwargs, want",
    [
        ((0, 0, 2.0), {}, "causes"),
        ((3, 4, 2.0), {}, "precedes"),
        ((4, 4, 2.0), {}, "causes"),
        ((5, 1, 1.0), {}, "enables"),
        ((5, 1, 3.0, 1, 2), {}, "refutes"),
        ((5, 1, 3.0), {"negative_effect_signals": 1}, "refutes"),
        ((5, 1, 1.00000001), {}, "enables"),
        ((5, 1, 2), {}, "causes"),  # an int lift converts to float
        ((), {"support_count": 3, "counterevidence": 4, "transition_lift": 2.0}, "precedes"),
    ],
)
def test_classify_causal_edge(args, kwargs, want):
    assert m.classify_causal_edge(*args, **kwargs) == want


def test_neighbor_mass_role_similarity():
    assert m.neighbor_mass_role_similarity([1, 2, 2], [2, 1]) == 1.0
    assert m.neighbor_mass_role_similarity([], []) == 0.0
    assert m.neighbor_mass_role_similarity((7, 2**64 - 1), [2**64 - 1, 7]) == 1.0
    partial = m.neighbor_mass_role_similarity([1, 2, 3], [1, 2])
    assert 0.0 < partial < 1.0
    assert partial == float(np.float32(partial))  # divided in 32-bit float


@pytest.mark.parametrize(
    "exit_code, stdout, stderr, success, failure, want",
    [
        (1, "3 PASSED", "", ["passed"], ["failed"], "supports"),
        (1, "3 PASSED", "1 FAILED", ("passed",), ("failed",), "refutes"),
        (0, "", "", [], [], "inconclusive"),
        (2, "", "", [], [], "refutes"),
        (0, "x", "", ["zzz"], [""], "refutes"),
        (0, "ÉCHEC", "", [], ["échec"], "inconclusive"),
    ],
)
def test_world_fact_from_output(exit_code, stdout, stderr, success, failure, want):
    assert m.world_fact_from_output(exit_code, stdout, stderr, success, failure) == want
