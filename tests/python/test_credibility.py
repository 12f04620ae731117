"""Source credibility: the rating of a url, and the caller's overrides."""

import pytest

# A two-label host of the default table, rated 0.85 (as a 32-bit float).
HOST = "reuters.com"
RATING = 0.8500000238418579


@pytest.mark.parametrize(
    "url, want",
    [
        ("", 0.5),
        ("https://unknown-host.example/x", 0.5),
        (HOST, RATING),
        ("https://WWW." + HOST.upper() + ":8443/world", RATING),
        ("https://news." + HOST + "/a", RATING),
        # A query or fragment ends the host: the trusted name at its end is
        # not the host.
        ("https://evil.example?x=." + HOST, 0.5),
        ("https://evil.example#." + HOST, 0.5),
    ],
)
def test_rating_of_a_url(store, url, want):
    assert store.get_credibility(url) == want


def test_override_applies_to_its_exact_host(store):
    assert store.set_credibility_override("Example.ORG", 2.0) is None
    assert store.get_credibility("https://example.org/") == 1.0
    store.set_credibility_override("Example.COM", 1.5)
    assert store.get_credibility("https://www.example.com:8080/x") == 1.0
    store.set_credibility_override(HOST, 0.25)
    store.set_credibility_override(HOST, -3)  # replaces, clamped
    assert store.get_credibility(HOST) == 0.0
    assert store.get_credibility("news." + HOST) == RATING
    store.set_credibility_override("www.blog.example", 0.7)  # kept as given
    assert store.get_credibility("https://www.blog.example/") == 0.5
    assert store.get_credibility("https://www.www.blog.example/") == 0.699999988079071


def test_score_must_be_a_number(store):
    with pytest.raises(TypeError, match=r"^argument 'score': "):
        store.set_credibility_override("x.org", "high")
    assert store.get_credibility("x.org") == 0.5
    # NaN has no place in [0, 1]: refused, the earlier override kept.
    store.set_credibility_override("x.org", 0.75)
    with pytest.raises(ValueError, match=r"^score must not be NaN$"):
        store.set_credibility_override("x.org", float("nan"))
    assert store.get_credibility("x.org") == 0.75


def test_overrides_are_not_kept_across_a_reopen(tmp_path):
    from vesk._core import Vesk

    with Vesk(str(tmp_path / "s")) as v:
        v.set_credibility_override("example.org", 0.9)
    with Vesk(str(tmp_path / "s")) as v:
        assert v.get_credibility("example.org") == 0.5
