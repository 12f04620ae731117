"""Quickstart: open a store, store memories, recall context."""

import vesk
from vesk import _core

print(f"vesk {vesk.__version__}: {len(_core.__all__)} names registered")
print(", ".join(_core.__all__))
