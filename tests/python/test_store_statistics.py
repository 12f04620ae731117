"""stats, tier_stats and namespace_stats, the security report and the tool
circuit breaker, as a caller sees them."""

import re

import pytest

from vesk._core import Level, Vesk

PROTECTIONS = ["authority_forgery_blocked", "provenance_stamped", "untrusted_advice_capped",
               "model_writes_downgraded", "repetition_flood_resistance", "provenance_context", "verified_deletion",
               "encryption_at_rest", "audit_log", "claim_certainty", "action_gate"]


def test_counts_of_an_empty_and_of_a_filled_store(store):
    assert store.stats() == dict.fromkeys(["total_records", "working", "decisions", "domain", "identity",
                                           "total_connections", "total_tags"], 0)
    assert set(store.tier_stats().values()) == {0} and len(store.tier_stats()) == 7
    assert store.namespace_stats() == {}

    a = store.store("kiln firing schedule", tags=["a", "b"])
    b = store.store("glaze recipe notes", tags=["a"], level=Level.Domain)
    store.store("ferry timetable", namespace="work")
    store.connect(a, b)  # the two already share an associative link, one each way
    s = store.stats()
    assert (s["total_records"], s["working"], s["domain"], s["total_tags"], s["total_connections"]) == (3, 2, 1, 2, 2)
    t = store.tier_stats()
    assert (t["cognitive_working"], t["core_domain"], t["cognitive_total"], t["core_total"]) == (2, 1, 2, 1)
    assert t["total"] == s["total_records"]
    assert store.namespace_stats() == {"default": 2, "work": 1}


def test_security_report_of_a_fresh_balanced_store(store):
    r = store.security_report()
    assert list(r) == ["profile", "protections", "stats", "warnings"]
    assert r["profile"] == "balanced"
    assert [p["name"] for p in r["protections"]] == PROTECTIONS
    states = {p["name"]: p for p in r["protections"]}
    assert states["verified_deletion"]["state"] == "explicit"
    assert states["verified_deletion"]["detail"] == \
        'delete() is logical; bytes can remain until purge_record(id, "history")'
    assert states["provenance_context"]["detail"].endswith('format="levels" opts out')
    assert states["encryption_at_rest"]["state"] == "off"
    assert states["audit_log"]["state"] == "on"
    assert states["claim_certainty"]["state"] == "off"
    assert states["action_gate"]["state"] == "not_in_core"
    assert list(r["stats"]) == ["records", "by_effective_source", "relayed_by_model", "hearsay_or_speculative",
                                "restricted", "untrusted_groups_over_cap", "records_in_groups_over_cap",
                                "outside_channel_first_hand"]
    assert r["stats"]["records"] == 0 and r["stats"]["by_effective_source"] == {}
    assert r["warnings"] == [
        "delete() leaves recoverable bytes; use the strict profile or purge_record for removal requests",
        "memory is not encrypted at rest",
        "no claim classifier: hearsay the user relays is trusted like first-hand statements",
    ]
    store.set_claim_rules_enabled(True)
    assert {p["name"]: p["state"] for p in store.security_report()["protections"]}["claim_certainty"] == "partial"


def test_strict_encrypted_store_with_a_classifier_has_no_warnings(tmp_path):
    with Vesk(str(tmp_path / "s"), password="correct horse") as v:
        v.set_security_profile("strict")
        v.set_claim_classifier(lambda text: None)
        r = v.security_report()
        states = {p["name"]: p["state"] for p in r["protections"]}
        assert r["profile"] == "strict" and r["warnings"] == []
        assert (states["verified_deletion"], states["encryption_at_rest"], states["claim_certainty"]) == \
            ("on", "on", "on")


@pytest.mark.parametrize("copies, groups, grouped", [(2, 0, 0), (3, 1, 3)])
def test_untrusted_source_groups_over_the_recall_cap(store, copies, groups, grouped):
    for i in range(copies):
        store.store(f"forwarded offer number {i}", tags=["deals"], source_type="retrieved",
                    metadata={"channel": "email"})
    s = store.security_report()["stats"]
    assert (s["untrusted_groups_over_cap"], s["records_in_groups_over_cap"]) == (groups, grouped)
    assert s["by_effective_source"] == {"retrieved": copies}
    flooding = [w for w in store.security_report()["warnings"] if "possible flooding" in w]
    assert flooding == ([f"1 untrusted source group(s) repeat beyond the recall cap (3 records): possible flooding"]
                        if groups else [])


def test_tool_circuit_breaker(store):
    assert store.tool_health() == {} and store.is_tool_available("search") is True
    store.record_tool_success("never-failed")
    store.record_tool_failure("search")
    store.record_tool_failure("search")
    assert store.is_tool_available("search") is True
    assert store.tool_health() == {"search": "degraded (2 recent failures)"}
    store.record_tool_failure("search")
    assert store.is_tool_available("search") is False
    # The remaining cooldown is cut to whole seconds: 599 within the first
    # second after the third failure.
    assert re.fullmatch(r"UNAVAILABLE \(5\d\ds cooldown, 3 failures\)", store.tool_health()["search"])
    store.record_tool_success("search")
    assert store.is_tool_available("search") is True and store.tool_health() == {}
    with pytest.raises(TypeError, match="tool_name"):
        store.record_tool_failure(5)
