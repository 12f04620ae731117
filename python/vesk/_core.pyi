"""Type stubs of the extension module vesk._core (the names registered so far)."""

from collections.abc import Sequence
from typing import Literal

__all__: list[str]
__version__: str

def neighbor_mass_role_similarity(neighbors_a: Sequence[int], neighbors_b: Sequence[int]) -> float:
    """Role similarity (normalized neighbor-mass Jaccard overlap, 0..1) of two entities."""

def classify_causal_edge(
    support_count: int,
    counterevidence: int,
    transition_lift: float,
    positive_effect_signals: int = 0,
    negative_effect_signals: int = 0,
) -> Literal["precedes", "causes", "enables", "refutes"]:
    """Classify a typed causal-edge kind from raw signals."""

def world_fact_from_output(
    exit_code: int,
    stdout: str,
    stderr: str,
    success_markers: Sequence[str],
    failure_markers: Sequence[str],
) -> Literal["supports", "refutes", "inconclusive"]:
    """Derive a 3-state world fact from a real command's captured output."""
