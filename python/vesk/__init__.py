"""Vesk: an embedded cognitive memory store for AI agents."""

from vesk import _core
from vesk._core import *  # noqa: F401,F403

__all__ = list(_core.__all__)
__version__ = getattr(_core, "__version__", "0.1.0")
