"""The recall settings the pipeline reads: the trust model and the fusion mode."""

import pytest

from vesk._core import TrustConfig, Vesk


def test_set_trust_config_takes_only_a_trust_config(store):
    config = TrustConfig()
    config.fusion_mode = "not checked"
    config.recency_half_life_days = 0
    assert store.set_trust_config(config) is None
    for wrong in (None, {}, "family"):
        with pytest.raises(TypeError):
            store.set_trust_config(wrong)
    with pytest.raises(TypeError):
        store.set_trust_config()


def test_set_recall_fusion_mode_accepts_the_four_modes(store):
    for mode in ("equal", "embedding_only", "family", "bm25_embedding"):
        assert store.set_recall_fusion_mode(mode) is None
    expected = '["equal", "embedding_only", "family", "bm25_embedding"]'
    for bad in ("bm25", "Family", " family"):
        with pytest.raises(ValueError) as e:
            store.set_recall_fusion_mode(bad)
        assert str(e.value) == f'unknown fusion mode "{bad}"; expected one of {expected}'
    with pytest.raises(TypeError):
        store.set_recall_fusion_mode(1)
    assert Vesk.set_recall_fusion_mode.__doc__.startswith("Choose how recall fuses")
