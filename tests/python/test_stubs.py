"""The type stubs (python/vesk/_core.pyi) describe the module exactly.

Every function, class, method, property and attribute the stub names exists
in the module with the same parameters (names, kinds, defaults), and every
public name of the module and of its classes is in the stub, so the stub
cannot drift from the module.
"""

import ast
import inspect
from pathlib import Path

import pytest

import vesk._core as core

STUB = Path(core.__file__).resolve().parent / "_core.pyi"
if not STUB.exists():  # an editable install keeps the stub in the source tree
    STUB = Path(__file__).resolve().parents[2] / "python" / "vesk" / "_core.pyi"



def _maintenance_report():
    # No store operation hands out a maintenance report yet; the test probe
    # builds one with the module's own class tables.
    import _binding_probe

    return _binding_probe.maintenance_report()


# Classes the stub describes that the module does not export, with the way a
# caller reaches them.
UNEXPORTED = {
    "CompletedArchivalRule": lambda: type(core.MaintenanceConfig().completed_archival_rules[0]),
    "FeedbackAuditReport": lambda: type(_maintenance_report().feedback),
    "FeedbackAuditEntry": lambda: type(_maintenance_report().feedback.entries[0]),
    "ConceptSurfaceTelemetry": lambda: type(_maintenance_report().concept_surface),
    "MaintenanceHotspots": lambda: type(_maintenance_report().hotspots),
}


def _tree():
    return ast.parse(STUB.read_text(encoding="utf-8"))


def _is_typed_dict(node):
    return any(isinstance(b, ast.Name) and b.id == "TypedDict" for b in node.bases)


def _stub_classes():
    return {n.name: n for n in _tree().body if isinstance(n, ast.ClassDef) and not n.name.startswith("_")}


def _stub_functions():
    return {n.name: n for n in _tree().body if isinstance(n, ast.FunctionDef) and not n.name.startswith("_")}


def _stub_params(fn, drop_first):
    """(name, kind, default) of a stub def; keyword-only marks are kept."""
    args = fn.args
    positional = args.posonlyargs + args.args
    defaults = [None] * (len(positional) - len(args.defaults)) + list(args.defaults)
    out = [(a.arg, "positional", _literal(d)) for a, d in zip(positional, defaults)]
    out += [(a.arg, "keyword", _literal(d)) for a, d in zip(args.kwonlyargs, args.kw_defaults)]
    return out[1:] if drop_first else out


_REQUIRED = object()


def _literal(node):
    return _REQUIRED if node is None else ast.literal_eval(node)


def _real_params(obj, drop_first):
    out = []
    for p in inspect.signature(obj).parameters.values():
        kind = "keyword" if p.kind is p.KEYWORD_ONLY else "positional"
        out.append((p.name, kind, _REQUIRED if p.default is p.empty else p.default))
    return out[1:] if drop_first else out


def _class_of(name):
    return UNEXPORTED[name]() if name in UNEXPORTED else getattr(core, name)


def _members(node):
    """(methods, properties, attributes, static methods) a stub class declares."""
    methods, properties, attributes, static = {}, set(), set(), set()
    for item in node.body:
        if isinstance(item, ast.FunctionDef):
            decorators = {ast.unparse(d) for d in item.decorator_list}
            if "property" in decorators or any(d.endswith(".setter") for d in decorators):
                properties.add(item.name)
            else:
                methods[item.name] = item
                if "staticmethod" in decorators:
                    static.add(item.name)
        elif isinstance(item, ast.AnnAssign) and isinstance(item.target, ast.Name):
            attributes.add(item.target.id)
    return methods, properties, attributes, static


def test_the_stub_names_every_exported_name():
    stubbed = set(_stub_classes()) | set(_stub_functions())
    assert sorted(set(core.__all__) - stubbed) == []
    assert sorted(stubbed - set(core.__all__) - set(UNEXPORTED)) == []


@pytest.mark.parametrize("name", sorted(_stub_functions()))
def test_module_functions_match(name):
    assert _stub_params(_stub_functions()[name], False) == _real_params(getattr(core, name), False)


@pytest.mark.parametrize("name", sorted(n for n, c in _stub_classes().items() if not _is_typed_dict(c)))
def test_classes_match(name):
    cls = _class_of(name)
    methods, properties, attributes, static = _members(_stub_classes()[name])

    for method, fn in methods.items():
        if method == "__new__":
            assert _stub_params(fn, True) == _real_params(cls, False), method
        elif method in static:
            # Static in the module too: callable on the class, nothing bound.
            assert isinstance(inspect.getattr_static(cls, method), staticmethod), method
            assert _stub_params(fn, False) == _real_params(getattr(cls, method), False), method
        elif not method.startswith("__") or method in ("__enter__", "__exit__"):
            assert _stub_params(fn, True) == _real_params(getattr(cls, method), True), method
    for attr in properties | attributes:
        assert attr in dir(cls), attr

    # Everything public the class has is in the stub, inherited stub members
    # (the enumerations' base) included.
    public = {n for n in cls.__dict__ if not n.startswith("_")}
    assert sorted(public - set(methods) - properties - attributes) == []
