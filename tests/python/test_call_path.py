"""The call path: argument extraction, conversions, results and failures.

Module functions show the messages as callers meet them; the test-only
module _binding_probe reaches the conversions no module function takes yet.
"""

import gc
import inspect
import sys
import threading

import numpy as np
import pytest

import _binding_probe as probe
import vesk._core as m

cce, nmrs, wf = m.classify_causal_edge, m.neighbor_mass_role_similarity, m.world_fact_from_output


def raises(call, exc, message):
    with pytest.raises(exc) as info:
        call()
    assert str(info.value) == message
    assert type(info.value) is exc
    return info.value


@pytest.mark.parametrize(
    "call, message",
    [
        (lambda: cce(1, 2, 3.0, 4, 5, 6),
         "classify_causal_edge() takes from 3 to 5 positional arguments but 6 were given"),
        (lambda: nmrs([], [], []),
         "neighbor_mass_role_similarity() takes 2 positional arguments but 3 were given"),
        (lambda: probe.noop(1), "noop() takes 0 positional arguments but 1 was given"),
        (lambda: cce(1, 2, 3.0, support_count=1),
         "classify_causal_edge() got multiple values for argument 'support_count'"),
        (lambda: cce(1, 2, 3.0, bogus=1), "classify_causal_edge() got an unexpected keyword argument 'bogus'"),
        (lambda: wf(1), "world_fact_from_output() missing 4 required positional arguments: "
         "'stdout', 'stderr', 'success_markers', and 'failure_markers'"),
        (lambda: wf(1, "", "", []),
         "world_fact_from_output() missing 1 required positional argument: 'failure_markers'"),
        (lambda: nmrs(), "neighbor_mass_role_similarity() missing 2 required positional arguments: "
         "'neighbors_a' and 'neighbors_b'"),
        (lambda: cce(1, transition_lift=1.0),
         "classify_causal_edge() missing 1 required positional argument: 'counterevidence'"),
        (lambda: probe.make_widget(1).add(), "Widget.add() missing 1 required positional argument: 'x'"),
        (lambda: probe.Widget.twice(1, 2), "Widget.twice() takes 1 positional arguments but 2 were given"),
    ],
)
def test_argument_extraction_errors(call, message):
    raises(call, TypeError, message)


@pytest.mark.parametrize(
    "call, exc, message",
    [
        (lambda: wf(1, 2, "", [], []), TypeError, "argument 'stdout': 'int' object cannot be converted to 'str'"),
        (lambda: wf(1, "", "", "ok", []), TypeError,
         "argument 'success_markers': a str cannot be taken as a list; pass a list or a tuple"),
        (lambda: wf(1, "", "", 5, []), TypeError,
         "argument 'success_markers': 'int' object cannot be converted to 'Sequence'"),
        (lambda: wf(1, "", "", [], ["a", b"b"]), TypeError,
         "argument 'failure_markers': 'bytes' object cannot be converted to 'str'"),
        (lambda: wf(2**31, "", "", [], []), OverflowError, "out of range integral type conversion attempted"),
        (lambda: wf(1.0, "", "", [], []), TypeError,
         "argument 'exit_code': 'float' object cannot be interpreted as an integer"),
        (lambda: cce(-1, 0, 1.0), OverflowError, "can't convert negative int to unsigned"),
        (lambda: cce(2**64, 0, 1.0), OverflowError, "out of range integral type conversion attempted"),
        (lambda: cce(1, 2, "x"), TypeError, "argument 'transition_lift': must be real number, not str"),
        (lambda: cce(1, 2, 1.0, None), TypeError,
         "argument 'positive_effect_signals': 'NoneType' object cannot be interpreted as an integer"),
        (lambda: nmrs([1, -1], []), OverflowError, "can't convert negative int to unsigned"),
        (lambda: nmrs({1: 2}, []), TypeError,
         "argument 'neighbors_a': 'dict' object cannot be converted to 'Sequence'"),
        # Conversions stop at the first failing parameter.
        (lambda: wf("x", 1, 2, 3, 4), TypeError,
         "argument 'exit_code': 'str' object cannot be interpreted as an integer"),
    ],
)
def test_conversion_errors(call, exc, message):
    raises(call, exc, message)


def test_prefixed_type_error_keeps_the_cause():
    class Lift:
        def __float__(self):
            raise TypeError("no lift") from KeyError("root")

    error = raises(lambda: cce(1, 2, Lift()), TypeError, "argument 'transition_lift': no lift")
    assert isinstance(error.__cause__, KeyError)


def test_numbers_accept_what_the_host_converts():
    assert cce(np.uint64(3), np.int8(4), np.float32(2.0)) == "precedes"
    assert probe.echo_u64(2**64 - 1) == 2**64 - 1
    assert probe.echo_ints(i8=-128, u8=255, i32=-(2**31), u32=2**32 - 1) == [-128, 255, -(2**31), 2**32 - 1, None]
    assert probe.echo_ints(i64=True) == [None, None, None, None, 1]
    for kwargs in ({"i8": 128}, {"u8": 256}, {"u8": -1}, {"i32": 2**31}, {"u32": 2**32}, {"i64": 2**63}):
        with pytest.raises(OverflowError):
            probe.echo_ints(**kwargs)
    assert probe.echo_real(3) == 3.0
    assert probe.echo_real32(0.9) == 0.8999999761581421  # narrowed to 32 bits, widened exactly


@pytest.mark.parametrize("value, want", [(True, True), (False, False), (np.True_, True), (np.bool_(False), False),
                                         (None, True)])
def test_flag_accepts_bool_and_numpy_bool(value, want):
    assert probe.echo_flag(value) is want
    assert probe.echo_flag() is True  # a flag that defaults to on


@pytest.mark.parametrize("value", [1, 0, "True", np.int64(1)])
def test_flag_refuses_other_objects(value):
    with pytest.raises(TypeError, match=r"^argument 'flag': '\w+' object cannot be converted to 'bool'$"):
        probe.echo_flag(value)


def test_text_and_lists():
    assert probe.echo_text("żółw ⇒ ok") == "żółw ⇒ ok"
    raises(lambda: probe.echo_text(b"x"), TypeError, "argument 'value': 'bytes' object cannot be converted to 'str'")
    with pytest.raises(UnicodeEncodeError):
        probe.echo_text("\ud800")
    assert probe.echo_texts(("a", "b", "a")) == ["a", "b", "a"]
    assert probe.echo_reals([1, 2.5, np.float64(3)]) == [1.0, 2.5, 3.0]
    raises(lambda: probe.echo_reals([1, "2"]), TypeError, "argument 'items': must be real number, not str")


def test_metadata_dict():
    assert list(probe.echo_metadata({"b": "2", "a": "1"}).items()) == [("a", "1"), ("b", "2")]  # map order
    raises(lambda: probe.echo_metadata([("a", "1")]), TypeError,
           "argument 'metadata': 'list' object cannot be converted to 'dict'")
    for bad in ({"a": 1}, {1: "a"}):
        raises(lambda: probe.echo_metadata(bad), TypeError,
               "argument 'metadata': 'int' object cannot be converted to 'str'")


@pytest.mark.parametrize(
    "value, want",
    [(None, None), ("ns", ["ns"]), (["a", "b", "a"], ["a", "b", "a"]), (("a",), ["a"]), ([], [])],
)
def test_namespace_filter(value, want):
    assert probe.echo_namespace(0, value) == want
    assert probe.echo_namespace(0) is None


@pytest.mark.parametrize("value", [5, b"ns", ["a", 1], {"a": 1}])
def test_namespace_filter_error_has_no_prefix(value):
    raises(lambda: probe.echo_namespace(0, value), TypeError, "namespace must be a str, list[str], or None")
    raises(lambda: probe.echo_namespace("x", value), TypeError,
           "argument 'a': 'str' object cannot be interpreted as an integer")


@pytest.mark.parametrize(
    "kind, exc",
    [(0, RuntimeError), (1, ValueError), (2, OSError), (3, KeyError), (4, TypeError), (5, AttributeError)],
)
def test_status_maps_to_builtin_exception(kind, exc):
    with pytest.raises(exc) as info:
        probe.fail(kind, "Record 'ab' not found ⇒")
    assert type(info.value) is exc
    assert info.value.args == ("Record 'ab' not found ⇒",)
    assert probe.fail(None, "") == "ok"


def test_cpp_exceptions_do_not_cross_into_python():
    # The module has no exception class of its own: a C++ exception is a
    # RuntimeError with its text.
    with pytest.raises(RuntimeError) as info:
        probe.throw_exception("broken invariant")
    assert type(info.value) is RuntimeError and info.value.args == ("broken invariant",)
    with pytest.raises(RuntimeError, match="internal fault"):
        probe.throw_exception("int")  # not a std::exception: a generic text
    with pytest.raises(MemoryError):
        probe.throw_exception("alloc")
    assert probe.noop() is None  # the module keeps working


def test_released_body_lets_other_threads_run():
    # The waiter holds no interpreter lock, so this thread can call signal().
    result = []
    waiter = threading.Thread(target=lambda: result.append(probe.wait_for_signal(30.0)))
    waiter.start()
    while waiter.is_alive() and not result:
        probe.signal()
        waiter.join(0.01)
    waiter.join()
    assert result == [True]


def test_reference_dropped_without_the_lock_is_deferred():
    obj = object()
    before = sys.getrefcount(obj)
    probe.drop_on_native_thread(obj)
    assert sys.getrefcount(obj) == before + 1  # queued, not touched without the lock
    probe.noop()  # the next entry applies it
    assert sys.getrefcount(obj) == before


def test_class_object_and_method_kinds():
    W = probe.Widget
    raises(W, TypeError, "No constructor defined for Widget")
    assert W.__module__ == "_binding_probe" and W.__doc__ == "A native value held by a Python object."
    with pytest.raises(TypeError):
        W.extra = 1  # class objects are immutable
    w = probe.make_widget(5)
    assert w.value() == 5 and w.add(2) == 7 and w.add(x=1) == 8 and w.value() == 8
    assert W.twice(4) == 8 and w.twice(x=5) == 10  # static: on the class or an instance
    assert str(inspect.signature(w.add)) == "(x)" and w.add.__doc__ == "Add x to the value."
    with pytest.raises(TypeError, match="takes no arguments"):
        w.value(1)
    del w
    gc.collect()


def test_registration_appends_to_all():
    import types

    fresh = types.ModuleType("fresh")
    probe.register_noop(fresh)
    probe.register_noop(fresh)
    assert fresh.__all__ == ["noop", "noop"] and fresh.noop() is None

    bad = types.ModuleType("bad")
    bad.__all__ = ("x",)
    with pytest.raises(TypeError, match="__all__"):
        probe.register_noop(bad)
    assert not hasattr(bad, "noop")
