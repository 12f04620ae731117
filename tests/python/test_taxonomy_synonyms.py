import pytest

from vesk._core import TagTaxonomy


def test_taxonomy_is_replaced_and_handed_out_as_a_copy(store):
    t = TagTaxonomy()
    t.stable_tags = {"fact"}
    assert store.set_taxonomy(t) is None
    got = store.get_taxonomy()
    assert got.stable_tags == {"fact"}
    got.stable_tags = {"other"}  # changing the copy leaves the store as it was
    assert store.get_taxonomy().stable_tags == {"fact"}
    with pytest.raises(TypeError, match=r"^argument 'taxonomy': "):
        store.set_taxonomy({})


@pytest.mark.parametrize("text, count, has", [
    ('[[groups]]\nwords = ["car", "automobile"]\n[[groups]]\nwords = ["happy", "glad", "cheerful"]\n', 5, True),
    ('groups = [{words = ["Car", "car"]}]\n', 2, True),
    ('[[groups]]\nwords = [1, "a", "b"]\n', 2, True),
    ('title = "no groups"\n', 0, False),
])
def test_load_synonyms_counts_words(store, tmp_path, text, count, has):
    path = tmp_path / "syn.toml"
    path.write_text(text)
    assert not store.has_synonyms()
    assert store.load_synonyms(str(path)) == count
    assert store.load_synonyms(str(path)) == count  # a second load counts again, adds nothing new
    assert store.has_synonyms() is has


@pytest.mark.parametrize("make", [
    lambda d: d / "missing.toml",
    lambda d: d,
    lambda d: (d / "bad.toml").write_text("groups = [") and d / "bad.toml",
    lambda d: (d / "bin.toml").write_bytes(b"\xff\xfe") and d / "bin.toml",
])
def test_load_synonyms_failures_are_os_errors(store, tmp_path, make):
    with pytest.raises(OSError):
        store.load_synonyms(str(make(tmp_path)))
    assert not store.has_synonyms()


def test_list_namespaces_of_an_empty_store(store):
    assert store.list_namespaces() == []


def test_list_namespaces_sorts_by_bytes(store):
    for ns in ["work", "default", "Alpha", "work"]:
        store.store(f"a note kept in the {ns} namespace for listing", namespace=ns)
    assert store.list_namespaces() == ["Alpha", "default", "work"]


def test_new_taxonomy_steers_later_stores(store):
    t = TagTaxonomy()
    t.stable_tags = {"fact"}
    store.set_taxonomy(t)
    rid = store.store("water boils at one hundred degrees at sea level", tags=["fact"])
    assert store.get(rid).metadata["volatility"] == "stable"
