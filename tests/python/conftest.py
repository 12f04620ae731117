import os
import sys
from pathlib import Path

import pytest

from vesk._core import Vesk

# The test-only module _binding_probe is built beside the extension (never
# installed); VESK_PROBE_DIR overrides the default build directory.
_root = Path(__file__).resolve().parents[2]
sys.path.insert(0, os.environ.get("VESK_PROBE_DIR", str(_root / "build" / "py" / "probe")))


@pytest.fixture
def store(tmp_path):
    """A fresh store in a temporary directory, closed after the test."""
    v = Vesk(str(tmp_path / "store"))
    yield v
    v.close()
