"""Type stubs of the extension module vesk._core (the names registered so far)."""

from collections.abc import Sequence
from collections.abc import Set as AbstractSet
from typing import Callable, ClassVar, Literal, NotRequired, TypedDict, final

__all__: list[str]
__version__: str

class _AccessDecision(TypedDict):
    allowed: bool
    reason: Literal["public_or_legacy", "allow_list_match", "restricted_no_match", "invalid_visibility_deny"]
    policy_version: str | None

class _StructuredRecallItem(TypedDict):
    id: str
    content: str
    score: float
    level: Literal["WORKING", "DECISIONS", "DOMAIN", "IDENTITY"]
    strength: float
    salience: float
    tags: list[str]
    source_type: str
    created_at: float
    valid_from: float | None
    valid_until: float | None
    superseded_at: float | None
    trust: NotRequired[str]
    source: NotRequired[str]
    concepts: NotRequired[list[dict[str, object]]]

class _RecallHitStats(TypedDict):
    recall_total: int
    recall_empty: int
    search_total: int
    search_empty: int

class _EndSessionResult(TypedDict, total=False):
    pairs_strengthened: int
    session_records: int

_Namespaces = str | list[str] | None

class Vesk:
    """Unified cognitive memory for AI agents."""

    def __new__(cls, path: str, password: str | None = None, security: str | None = None) -> "Vesk": ...
    @property
    def security_profile(self) -> Literal["balanced", "strict"]:
        """Current security profile name."""
    def set_security_profile(self, profile: str) -> None:
        """Choose the security profile: "balanced" (default) or "strict"."""
    def __enter__(self) -> "Vesk": ...
    def __exit__(self, _exc_type: object = None, _exc_val: object = None, _exc_tb: object = None) -> Literal[False]: ...
    def close(self) -> None: ...
    def flush(self) -> None: ...
    def stop_background(self) -> None: ...
    def is_encrypted(self) -> bool: ...
    def is_background_running(self) -> bool: ...
    def has_synonyms(self) -> bool: ...
    def load_synonyms(self, path: str) -> int: ...
    def list_snapshots(self) -> list[str]: ...
    def list_namespaces(self) -> list[str]: ...
    def store(
        self,
        content: str,
        level: Level | None = None,
        tags: Sequence[str] | None = None,
        pin: bool | None = None,
        content_type: str | None = None,
        source_type: str | None = None,
        metadata: dict[str, str] | None = None,
        deduplicate: bool | None = None,
        caused_by_id: str | None = None,
        channel: str | None = None,
        auto_promote: bool | None = None,
        namespace: str | None = None,
        semantic_type: str | None = None,
        valid_from: float | None = None,
        valid_until: float | None = None,
    ) -> str: ...
    def get(self, record_id: str) -> "Record | None": ...
    def count(self, level: Level | None = None) -> int: ...
    def set_taxonomy(self, taxonomy: TagTaxonomy) -> None: ...
    def get_taxonomy(self) -> TagTaxonomy: ...
    def set_claim_rules_enabled(self, enabled: bool) -> None: ...
    def set_claim_classifier(self, func: object) -> None:
        """Set a Python callable that classifies each written text."""
    def clear_claim_classifier(self) -> None:
        """Remove the Python claim classifier."""
    def set_outcome_classifier(self, func: object) -> None:
        """Set a Python callable that labels each written text's outcome."""
    def clear_outcome_classifier(self) -> None:
        """Remove the Python outcome classifier."""
    def set_record_acl(
        self,
        record_id: str,
        visibility: Literal["public", "restricted"],
        read_roles: Sequence[str] | None = None,
        read_groups: Sequence[str] | None = None,
        read_principals: Sequence[str] | None = None,
        policy_version: str | None = None,
    ) -> "Record | None": ...
    def check_record_access(
        self,
        record_id: str,
        subject_id: str | None = None,
        roles: Sequence[str] | None = None,
        groups: Sequence[str] | None = None,
    ) -> _AccessDecision | None: ...
    def set_trust_config(self, config: TrustConfig) -> None: ...
    def set_recall_fusion_mode(self, mode: Literal["equal", "embedding_only", "family", "bm25_embedding"]) -> None:
        """Choose how recall fuses its ranked signals: "family" (default),
        "equal", "embedding_only" or "bm25_embedding"."""
    def recall(
        self,
        query: str,
        token_budget: int | None = None,
        min_strength: float | None = None,
        expand_connections: bool | None = None,
        session_id: str | None = None,
        namespace: _Namespaces = None,
        format: Literal["provenance", "levels"] | None = None,
    ) -> str: ...
    def recall_structured(
        self,
        query: str,
        top_k: int | None = None,
        min_strength: float | None = None,
        expand_connections: bool | None = None,
        session_id: str | None = None,
        namespace: _Namespaces = None,
    ) -> list[_StructuredRecallItem]: ...
    def history(self, record_id: str) -> dict[str, str]:
        """Return access/strength timeline snapshot for a single record."""
    def end_session(self, session_id: str) -> _EndSessionResult: ...
    def recall_hit_stats(self) -> _RecallHitStats: ...
    def reset_recall_hit_stats(self) -> None: ...
    def enable_full_cognitive_stack(self) -> None:
        """Enable all four cognitive recall reranking signals (Python binding)."""
    def disable_full_cognitive_stack(self) -> None:
        """Disable all four cognitive recall reranking signals (Python binding)."""
    def set_belief_rerank_mode(self, mode: Literal["off", "shadow", "limited"]) -> None: ...
    def set_concept_surface_mode(self, mode: Literal["off", "inspect", "limited"]) -> None: ...
    def set_causal_rerank_mode(self, mode: Literal["off", "limited"]) -> None: ...
    def set_policy_rerank_mode(self, mode: Literal["off", "limited"]) -> None: ...
    def set_embedding_fn(self, func: Callable[[str], Sequence[float]] | object) -> None:
        """Set a Python callable as the embedding function."""
    def set_context_dates(self, mode: Literal["off", "first_hand", "all"]) -> None:
        """Which provenance-context entries show their event date."""
    def set_identity_block_enabled(self, enabled: bool) -> None:
        """Show (default) or hide the always-on block of first-hand identity facts."""
    def clear_embedding_fn(self) -> None:
        """Clear the embedding function."""
    def store_embedding(self, record_id: str, embedding: Sequence[float]) -> None:
        """Store an embedding vector for a specific record."""
    def has_embeddings(self) -> bool:
        """Check if embedding support is active."""
    def get_startup_validation_report(self) -> StartupValidationReport: ...
    def get_persistence_manifest(self) -> PersistenceManifest: ...

def neighbor_mass_role_similarity(neighbors_a: Sequence[int], neighbors_b: Sequence[int]) -> float:
    """Role similarity (normalized neighbor-mass Jaccard overlap, 0..1) of two entities."""

def classify_causal_edge(
    support_count: int,
    counterevidence: int,
    transition_lift: float,
    positive_effect_signals: int = 0,
    negative_effect_signals: int = 0,
) -> Literal["precedes", "causes", "enables", "refutes"]:
    """Classify a typed causal-edge kind from raw signals."""

def world_fact_from_output(
    exit_code: int,
    stdout: str,
    stderr: str,
    success_markers: Sequence[str],
    failure_markers: Sequence[str],
) -> Literal["supports", "refutes", "inconclusive"]:
    """Derive a 3-state world fact from a real command's captured output."""

# ---- Enumerations: members are class attributes; equal to their int value;
# ---- unhashable; no ordering; no constructor.

class _Enumeration:
    def __int__(self) -> int: ...
    def __eq__(self, other: object) -> bool: ...
    def __ne__(self, other: object) -> bool: ...
    __hash__: ClassVar[None]  # type: ignore[assignment]

@final
class ConsequencePolarity(_Enumeration):
    Supports: ClassVar[ConsequencePolarity]
    Refutes: ClassVar[ConsequencePolarity]
    Inconclusive: ClassVar[ConsequencePolarity]

@final
class OutcomeKind(_Enumeration):
    """Externally observed result for one retrieval attempt."""
    Helpful: ClassVar[OutcomeKind]
    Unhelpful: ClassVar[OutcomeKind]
    Inconclusive: ClassVar[OutcomeKind]

@final
class Level(_Enumeration):
    """Cognitive memory level — determines decay rate and importance."""
    Working: ClassVar[Level]
    Decisions: ClassVar[Level]
    Domain: ClassVar[Level]
    Identity: ClassVar[Level]
    @property
    def decay_rate(self) -> float: ...
    @property
    def dna(self) -> Literal["general", "user_core"]: ...
    @property
    def tier(self) -> Literal["cognitive", "core"]: ...
    @property
    def is_cognitive(self) -> bool: ...
    @property
    def is_core(self) -> bool: ...

@final
class Record:
    """A single cognitive memory record."""

    @property
    def id(self) -> str: ...
    @property
    def content(self) -> str: ...
    @property
    def level(self) -> Level: ...
    @property
    def pinned(self) -> bool: ...
    @property
    def strength(self) -> float: ...
    @property
    def activation_count(self) -> int: ...
    @property
    def created_at(self) -> float: ...
    @property
    def last_activated(self) -> float: ...
    @property
    def valid_from(self) -> float | None: ...
    @property
    def valid_until(self) -> float | None: ...
    @property
    def superseded_at(self) -> float | None: ...
    @property
    def tags(self) -> list[str]: ...
    @property
    def connections(self) -> dict[str, float]: ...
    @property
    def connection_types(self) -> dict[str, str]: ...
    @property
    def content_type(self) -> str: ...
    @property
    def metadata(self) -> dict[str, str]: ...
    @property
    def vesk_id(self) -> str | None: ...
    @property
    def caused_by_id(self) -> str | None: ...
    @property
    def namespace(self) -> str: ...
    @property
    def source_type(self) -> str: ...
    @property
    def semantic_type(self) -> str: ...
    @property
    def activation_velocity(self) -> float: ...
    @property
    def confidence(self) -> float: ...
    @property
    def support_mass(self) -> int: ...
    @property
    def conflict_mass(self) -> int: ...
    @property
    def volatility(self) -> float: ...
    @property
    def epistemic_health(self) -> float: ...
    @property
    def importance(self) -> float: ...

class RouteStateClass(_Enumeration):
    """Consequence route-state class of a record, used by route-state-stratified decay."""
    Candidate: ClassVar[RouteStateClass]
    EvidenceDebt: ClassVar[RouteStateClass]
    Confirmed: ClassVar[RouteStateClass]
    Refuted: ClassVar[RouteStateClass]

@final
class CausalEdgeKind(_Enumeration):
    """The semantic type of a causal edge."""
    Precedes: ClassVar[CausalEdgeKind]
    Causes: ClassVar[CausalEdgeKind]
    Enables: ClassVar[CausalEdgeKind]
    Refutes: ClassVar[CausalEdgeKind]

# ---- Value classes: read-only attributes, no constructor.

@final
class NeighborMassFootprint:
    """A presence footprint over an entity's neighbor mass."""

@final
class PersistenceManifest:
    @property
    def schema_version(self) -> int: ...
    @property
    def surfaces(self) -> dict[str, int]: ...

@final
class StartupValidationEvent:
    @property
    def surface(self) -> str: ...
    @property
    def path(self) -> str: ...
    @property
    def status(self) -> str: ...
    @property
    def detail(self) -> str | None: ...
    @property
    def recovered(self) -> bool: ...

@final
class StartupValidationReport:
    @property
    def loaded_surfaces(self) -> int: ...
    @property
    def missing_fallbacks(self) -> int: ...
    @property
    def recovered_fallbacks(self) -> int: ...
    @property
    def derived_skips(self) -> int: ...
    @property
    def has_recovery_warnings(self) -> bool: ...
    @property
    def events(self) -> list[StartupValidationEvent]: ...

# ---- Configuration classes: every attribute can be read and assigned; reads
# ---- return copies; 32-bit floats read widened.

@final
class TagTaxonomy:
    """User-configurable tag classification."""
    def __new__(cls) -> TagTaxonomy: ...
    @property
    def identity_tags(self) -> set[str]: ...
    @identity_tags.setter
    def identity_tags(self, value: AbstractSet[str]) -> None: ...
    @property
    def stable_tags(self) -> set[str]: ...
    @stable_tags.setter
    def stable_tags(self, value: AbstractSet[str]) -> None: ...
    @property
    def volatile_tags(self) -> set[str]: ...
    @volatile_tags.setter
    def volatile_tags(self, value: AbstractSet[str]) -> None: ...
    @property
    def non_identity_tags(self) -> set[str]: ...
    @non_identity_tags.setter
    def non_identity_tags(self, value: AbstractSet[str]) -> None: ...
    @property
    def consolidation_skip_tags(self) -> set[str]: ...
    @consolidation_skip_tags.setter
    def consolidation_skip_tags(self, value: AbstractSet[str]) -> None: ...
    @property
    def archive_protected_tags(self) -> set[str]: ...
    @archive_protected_tags.setter
    def archive_protected_tags(self, value: AbstractSet[str]) -> None: ...
    @property
    def sensitive_tags(self) -> set[str]: ...
    @sensitive_tags.setter
    def sensitive_tags(self, value: AbstractSet[str]) -> None: ...

@final
class TrustConfig:
    """User-configurable trust scoring model."""
    source_trust: dict[str, float]
    source_authority: dict[str, float]
    recency_boost_max: float
    recency_half_life_days: float
    fusion_mode: str
    def __new__(cls) -> TrustConfig: ...

@final
class ArchivalRule:
    """Configurable archival rule for a tag category."""
    tag: str
    max_age_days: int
    keep_recent: int
    def __new__(cls, tag: str, max_age_days: int, keep_recent: int) -> ArchivalRule: ...

# Not an attribute of the module: reach it with type() of an item of
# MaintenanceConfig().completed_archival_rules.
@final
class CompletedArchivalRule:
    """Completed archival rule — only deletes completed/done items."""
    tag: str
    max_age_days: int
    def __new__(cls, tag: str, max_age_days: int) -> CompletedArchivalRule: ...

@final
class MaintenanceConfig:
    """User-configurable maintenance settings."""
    decay_enabled: bool
    reflect_enabled: bool
    insights_enabled: bool
    consolidation_enabled: bool
    synthesis_enabled: bool
    archival_enabled: bool
    level_fix_interval: int
    max_clusters_per_run: int
    @property
    def archival_rules(self) -> list[ArchivalRule]: ...
    @archival_rules.setter
    def archival_rules(self, value: Sequence[ArchivalRule]) -> None: ...
    @property
    def completed_archival_rules(self) -> list[CompletedArchivalRule]: ...
    @completed_archival_rules.setter
    def completed_archival_rules(self, value: Sequence[CompletedArchivalRule]) -> None: ...
    task_tag: str
    def __new__(cls) -> MaintenanceConfig: ...

@final
class CircuitBreakerConfig:
    """Per-tool circuit breaker configuration."""
    failure_threshold: int
    failure_window_secs: int
    recovery_secs: int
    def __new__(cls) -> CircuitBreakerConfig: ...

@final
class PersonaTraits:
    """Agent persona trait values (0.0-1.0)."""
    warmth: float
    curiosity: float
    conciseness: float
    humor: float
    formality: float
    def __new__(cls) -> PersonaTraits: ...

@final
class AgentPersona:
    """Agent persona configuration."""
    name: str
    role: str
    scope: str
    tone: str
    motivations: str
    @property
    def languages(self) -> list[str]: ...
    @languages.setter
    def languages(self, value: Sequence[str]) -> None: ...
    @property
    def catchphrases(self) -> list[str]: ...
    @catchphrases.setter
    def catchphrases(self, value: Sequence[str]) -> None: ...
    @property
    def avoid(self) -> list[str]: ...
    @avoid.setter
    def avoid(self, value: Sequence[str]) -> None: ...
    traits: PersonaTraits
    def __new__(cls) -> AgentPersona: ...
