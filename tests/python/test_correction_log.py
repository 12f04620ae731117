"""The correction log from Python: journal lines appended by hand until the
store writes corrections of its own."""

import json
import os

import pytest

from vesk._core import Vesk

KEYS = ["timestamp", "time_iso", "target_kind", "target_id", "operation", "reason", "session_id"]


def _line(kind, target, operation, reason="why", ms=1_750_000_000_123):
    return json.dumps({"timestamp": ms, "time_iso": "2025-06-15T15:06:40Z",
                       "action": {"correction": {"target_kind": kind, "target_id": target, "operation": operation,
                                                 "reason": reason}},
                       "session_id": "session_1750000000000"}, separators=(",", ":"))


def _append(path, text):
    with open(path, "a", encoding="utf-8") as f:
        f.write(text)


def test_corrections_in_file_order_and_by_target(tmp_path):
    v = Vesk(str(tmp_path / "s"))
    try:
        audit = tmp_path / "s" / "brain.audit"
        v.store("kiln")
        assert v.get_correction_log() == []
        _append(audit, "\n".join([
            _line("belief", "b1", "deprecate"),
            "{not json",
            _line("Belief", "b1", "world_refute"),
            _line("belief", " b1", "world_confirm"),
            _line("experience", "e1", "plasticity", "plasticity:a:b"),
            _line("belief", "b1", "world_confirm"),
        ]) + "\n")
        log = v.get_correction_log()
        assert [e["operation"] for e in log] == ["deprecate", "world_refute", "world_confirm", "plasticity",
                                                 "world_confirm"]
        assert list(log[0]) == KEYS
        assert log[0]["timestamp"] == 1_750_000_000_123 and isinstance(log[0]["timestamp"], int)
        with pytest.raises(TypeError, match="target_id"):
            v.get_correction_log_for_target("belief", 1)
        hits = v.get_correction_log_for_target("belief", "b1")
        assert [e["operation"] for e in hits] == ["deprecate", "world_confirm"]
        # An entry still being written does not hide the finished ones.
        _append(audit, _line("belief", "b1", "deprecate")[:30])
        assert len(v.get_correction_log()) == 5
        os.remove(audit)
        assert v.get_correction_log() == []
    finally:
        v.close()


def test_one_plain_line_in_a_password_store_empties_the_log(tmp_path):
    v = Vesk(str(tmp_path / "s"), password="secret")
    try:
        v.store("kiln")
        assert v.get_correction_log() == []
        _append(tmp_path / "s" / "brain.audit", _line("belief", "b1", "deprecate") + "\n")
        assert v.get_correction_log() == []
        assert v.get_correction_log_for_target("belief", "b1") == []
    finally:
        v.close()
