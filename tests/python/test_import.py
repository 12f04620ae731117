import vesk
import vesk._core as core


def test_module_imports():
    assert isinstance(core.__all__, list)
    assert vesk.__version__
