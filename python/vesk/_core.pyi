"""Type stubs of the extension module vesk._core."""

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

class _FullRecallItem(TypedDict):
    id: str
    content: str
    score: float
    level: Literal["WORKING", "DECISIONS", "DOMAIN", "IDENTITY"]
    strength: float
    tags: list[str]
    source_type: str
    metadata: dict[str, str]
    trust: NotRequired[str]
    source: NotRequired[str]
    concepts: NotRequired[list[dict[str, object]]]

class _AclRecallItem(TypedDict):
    id: str
    content: str
    score: float
    namespace: str
    level: Literal["WORKING", "DECISIONS", "DOMAIN", "IDENTITY"]

class _AccessDenial(TypedDict):
    record_id: str
    namespace: str
    allowed: bool
    reason: str
    policy_version: str | None

class _AclRecallAnswer(TypedDict):
    enforcement_mode: Literal["enforce", "audit"]
    evaluated_count: int
    denied_count: int
    results: list[_AclRecallItem]
    audit_decisions: list[_AccessDenial]

class _ProvenanceRankedItem(TypedDict):
    id: str
    content: str
    score: float
    effective_score: float
    base_score: float
    provenance: Literal["lived_consequence", "external_source", "model_generated"]
    level: Literal["WORKING", "DECISIONS", "DOMAIN", "IDENTITY"]
    strength: float
    tags: list[str]
    source_type: str

class _ApplicabilityRecallItem(TypedDict):
    id: str
    content: str
    score: float
    level: Literal["WORKING", "DECISIONS", "DOMAIN", "IDENTITY"]
    strength: float
    salience: float
    tags: list[str]
    source_type: str
    namespace: str
    semantic_type: str
    metadata: dict[str, str]
    applicability: _ApplicabilityDecision

class _NamespaceBeliefSummary(TypedDict):
    resolved: int
    unresolved: int
    singleton: int
    empty: int
    high_volatility_count: int
    avg_volatility: float

class _NamespaceTopConcept(TypedDict):
    concept_id: str
    key: str
    confidence: float
    state: str
    record_count: int
    belief_count: int

class _NamespaceDigestEntry(TypedDict):
    namespace: str
    record_count: int
    concept_count: int
    stable_concept_count: int
    concept_signatures: list[str]
    tags: list[str]
    structural_relation_types: list[str]
    causal_signatures: list[str]
    belief_state_summary: _NamespaceBeliefSummary | None
    correction_count: int | None
    correction_density: float | None
    top_concepts: list[_NamespaceTopConcept]

class _BeliefDict(TypedDict):
    id: str
    key: str
    state: str
    winner_id: str | None
    hypothesis_ids: list[str]
    score: float
    confidence: float
    support_mass: float
    conflict_mass: float
    stability: float
    volatility: float
    world_verdict: str
    should_abstain: bool
    last_updated: float

class _ContradictionReviewItem(TypedDict):
    cluster_id: str
    namespace: str
    title: str
    belief_ids: list[str]
    belief_keys: list[str]
    record_ids: list[str]
    shared_tags: list[str]
    unresolved_belief_count: int
    high_volatility_belief_count: int
    dependent_causal_patterns: int
    dependent_policy_hints: int
    downstream_impact: int
    total_conflict_mass: float
    avg_volatility: float
    avg_stability: float
    priority_score: float
    severity: str

class _NamespacePairSimilarity(TypedDict):
    namespace_a: str
    namespace_b: str
    shared_concept_signatures: list[str]
    concept_signature_similarity: float
    shared_tags: list[str]
    tag_jaccard: float
    shared_structural_relation_types: list[str]
    structural_similarity: float
    shared_causal_signatures: list[str]
    causal_signature_similarity: float

class _CrossNamespaceDigest(TypedDict):
    namespace_count: int
    latency_ms: float
    compact_summary: bool
    included_dimensions: list[str]
    namespaces: list[_NamespaceDigestEntry]
    pairs: list[_NamespacePairSimilarity]

class _SecurityProtection(TypedDict):
    name: str
    state: Literal["on", "off", "partial", "explicit", "not_in_core"]
    evidence: str
    detail: str

class _SecurityStats(TypedDict):
    records: int
    by_effective_source: dict[str, int]
    relayed_by_model: int
    hearsay_or_speculative: int
    restricted: int
    untrusted_groups_over_cap: int
    records_in_groups_over_cap: int
    outside_channel_first_hand: int

class _SecurityReport(TypedDict):
    profile: Literal["balanced", "strict"]
    protections: list[_SecurityProtection]
    stats: _SecurityStats
    warnings: list[str]

class _MemoryIntent(TypedDict):
    needs_memory: bool
    suggested_routes: list[Literal["timeline", "graph", "documentary"]]
    reason: Literal["empty_query", "self_contained_turn", "conservative_all_routes", "query_signal_routes"]

class _PurgeReport(TypedDict):
    record_digest: str
    scope: Literal["active", "derived", "current_storage", "history"]
    active_record_removed: bool
    beliefs_removed: int
    concepts_removed: int
    causal_patterns_removed: int
    policy_hints_removed: int
    topology_removed: bool
    snapshots_rewritten: int
    audit_entries_removed: int
    removed_surfaces: list[str]

class _RecallHitStats(TypedDict):
    recall_total: int
    recall_empty: int
    search_total: int
    search_empty: int

class _EndSessionResult(TypedDict, total=False):
    pairs_strengthened: int
    session_records: int

class _SnapshotDiff(TypedDict):
    added: list[str]
    removed: list[str]
    modified: list[str]

class _ContainerKeyPair(TypedDict):
    private_key: str
    public_key: str

class _ContainerHold(TypedDict):
    generation: int
    label: str
    created_at: int

class _ContainerAuthenticity(TypedDict):
    algorithm: str
    public_key: str
    manifest_sha256: str
    previous_manifest_sha256: str | None
    signature: str

class _ContainerSegment(TypedDict):
    name: str
    offset: int
    stored_size: int
    original_size: int
    codec: Literal["raw", "zstd"]
    sha256: str

class _ContainerManifest(TypedDict):
    format: str
    version: int
    generation: int
    created_at: int
    original_size: int
    stored_size: int
    holds: list[_ContainerHold]
    authenticity: _ContainerAuthenticity | None
    segments: list[_ContainerSegment]

class _ContainerImportReport(TypedDict):
    target_path: str
    segment_count: int
    restored_size: int

class _ContainerGenerationEntry(TypedDict):
    generation: int
    created_at: int
    segment_count: int
    original_size: int
    stored_size: int

class _ChangedSegment(TypedDict):
    name: str
    previous_sha256: str
    current_sha256: str
    previous_size: int
    current_size: int

class _GenerationDiff(TypedDict):
    from_generation: int
    to_generation: int
    added: list[str]
    removed: list[str]
    unchanged: list[str]
    original_size_delta: int
    changed: list[_ChangedSegment]

class _SegmentVerification(TypedDict):
    segment_count: int
    total_size: int
    segments: list[str]

class _ContainerExportReport(TypedDict):
    output_path: str
    segment_count: int
    original_size: int
    container_size: int
    compressed_segment_count: int
    generation: int

class _ContainerWriteReport(TypedDict):
    output_path: str
    generation: int
    segment_count: int
    changed_segment_count: int
    reused_segment_count: int
    removed_segment_count: int
    appended_bytes: int
    container_size: int

class _ContainerAuthenticityReport(TypedDict):
    path: str
    verified: bool
    generation_count: int
    signed_generation_count: int
    unsigned_generation_count: int
    all_generations_signed: bool
    chain_start_generation: int | None
    detached_prefix: bool
    public_key: str | None
    latest_manifest_sha256: str | None

class _GenerationHoldReport(TypedDict):
    control_generation: int
    held_generation: int
    active_holds: list[_ContainerHold]

class _RetentionPlan(TypedDict):
    evaluated_generations: list[int]
    keep_generations: list[int]
    drop_generations: list[int]
    selected_keep_last: int
    age_cutoff: int | None
    estimated_compacted_size: int
    size_target_met: bool
    held_generations: list[int]
    hold_floor_generation: int | None
    limits_blocked_by_holds: bool
    reasons: list[str]

class _CompactionReport(TypedDict):
    path: str
    kept_generations: list[int]
    dropped_generation_count: int
    copied_segment_count: int
    reused_segment_count: int
    previous_size: int
    compacted_size: int
    reclaimed_bytes: int
    trailing_bytes_removed: int

class _RetentionResult(TypedDict):
    evaluated_generation_count: int
    selected_keep_last: int
    age_cutoff: int | None
    estimated_compacted_size: int
    size_target_met: bool
    reasons: list[str]
    compaction: _CompactionReport
    plan: _RetentionPlan

class _AppendWithRetention(TypedDict):
    append: _ContainerWriteReport
    retention: _RetentionResult

class _AuthenticityCheckpoint(TypedDict):
    format: str
    version: int
    public_key: str
    generation: int
    manifest_sha256: str
    updated_at: int

class _CheckpointComparison(TypedDict):
    checkpoint_path: str
    public_key: str
    checkpoint_generation: int
    current_generation: int
    current_manifest_sha256: str
    advanced_by: int
    checkpoint_is_current: bool

class _RetentionSchedulerStatus(TypedDict):
    path: str
    running: bool
    interval_seconds: int
    run_count: int
    last_run_at: int | None
    last_reclaimed_bytes: int | None
    last_error: str | None

_AuditEntityKind = Literal["source", "claim", "memory", "decision", "action", "artifact", "verification"]
_AuditEntityStatus = Literal[
    "candidate", "observed", "accepted", "verified", "rejected", "superseded", "blocked", "decided", "completed",
    "produced",
]
_AuditRelationKind = Literal[
    "supports", "refutes", "contradicts", "supersedes", "derived_from", "recalled_for", "used_evidence", "used_by",
    "caused", "produced", "verified_by",
]

class _AuditGraphNode(TypedDict):
    entity_id: str
    record_id: str
    namespace: str
    kind: _AuditEntityKind
    status: _AuditEntityStatus
    status_recorded_at: float
    record_created_at: float
    valid_from: float | None
    valid_until: float | None
    business_time_valid: bool
    content_preview: str

class _AuditEdge(TypedDict):
    from_entity_id: str
    from_record_id: str
    to_entity_id: str
    to_record_id: str
    relation: _AuditRelationKind
    recorded_at: float
    valid_from: float | None
    valid_until: float | None

class _AuditGraph(TypedDict):
    schema_version: int
    evaluated_at: float
    namespace: str | None
    nodes: list[_AuditGraphNode]
    edges: list[_AuditEdge]

class _CapsuleEntry(TypedDict):
    record_id: str
    category: Literal[
        "refutation_scar",
        "evidence_debt",
        "active_goal",
        "contradiction",
        "outcome",
        "decision",
        "identity",
        "domain",
        "purpose_relevant",
    ]
    content: str
    source_type: str
    semantic_type: str
    level: Literal["WORKING", "DECISIONS", "DOMAIN", "IDENTITY"]
    confidence: float
    strength: float
    salience: float
    estimated_tokens: int
    selection_reasons: list[str]

class _CapsuleCompaction(TypedDict):
    baseline_entry_count: int
    output_entry_count: int
    additional_entry_count: int
    original_equivalent_tokens: int
    compacted_tokens: int
    saved_tokens: int
    reduction_ratio: float
    transformed_entry_count: int
    protected_entry_count: int
    originals_unchanged: bool

class _ContextCapsule(TypedDict):
    namespace: str
    purpose: str
    token_budget: int
    estimated_tokens: int
    source_record_count: int
    omitted_count: int
    refutation_count: int
    evidence_debt_count: int
    contradiction_count: int
    capsule_hash: str
    entries: list[_CapsuleEntry]
    compaction: NotRequired[_CapsuleCompaction]

class _CorrectionLogEntry(TypedDict):
    timestamp: int
    time_iso: str
    target_kind: str
    target_id: str
    operation: str
    reason: str
    session_id: str
class _ContradictionReport(TypedDict):
    claim: _AuditGraphNode
    opposing_claim: _AuditGraphNode
    relation: str
    claim_sources: list[_AuditEdge]
    opposing_sources: list[_AuditEdge]
    recommended_operation: str

class _ClaimEvidenceTrace(TypedDict):
    claim: _AuditGraphNode
    source_edges: list[_AuditEdge]
    decision_uses: list[_AuditGraphNode]
    conflicts: list[_ContradictionReport]

class _DecisionEvidence(TypedDict):
    claim: _AuditGraphNode
    use_relation: str
    source_edges: list[_AuditEdge]

class _DecisionExplanation(TypedDict):
    decision: _AuditGraphNode
    evidence: list[_DecisionEvidence]
    conflicts: list[_ContradictionReport]
    actions: list[_AuditGraphNode]
    artifacts: list[_AuditGraphNode]
    verifications: list[_AuditGraphNode]
    missing_links: list[str]

class _CandidateVerdict(TypedDict):
    record_id: str
    outcome: Literal["helpful", "unhelpful", "inconclusive"]

class _ConsequenceUnitDict(TypedDict):
    record_id: str
    situation: str
    action: str
    consequence: str
    trust: int
    scope: list[str]
    provenance: list[str]
    links: dict[str, str]
    namespace: str
    captured_at: float
    polarity: Literal["supports", "refutes", "inconclusive"]
    readout: str

class _ConsequenceVerdict(TypedDict):
    verdict: Literal["supports", "refutes", "inconclusive"]
    supports: int
    refutes: int
    inconclusive: int
    abstain: bool

class _ConsequencePolicyHintDict(TypedDict):
    situation: str
    action: str
    hint: Literal["avoid", "prefer", "verify_first"]
    reason: str
    verdict: Literal["supports", "refutes", "inconclusive"]
    supports: int
    refutes: int
    requires_evidence: bool
    should_block: bool
    scar: bool

class _OutcomeReceipt(TypedDict):
    schema_version: int
    receipt_id: str
    task_id: str
    lineage_id: str
    attempt_id: str
    candidate_record_ids: list[str]
    selected_record_ids: list[str]
    outcome: Literal["helpful", "unhelpful", "inconclusive"]
    supersedes_receipt_id: str | None
    namespace: str
    provenance: list[str]
    recorded_at_ms: int
    logging_policy_id: str | None
    selected_set_probability_bps: int | None
    candidate_verdicts: list[_CandidateVerdict]
    verifier_id: str | None
    integrity_digest: str

class _ApplicabilityConflict(TypedDict):
    field: str
    values: list[str]

class _ApplicabilityMismatch(TypedDict):
    field: str
    expected: str
    actual: list[str]

class _ApplicabilityDecision(TypedDict):
    record_id: str
    decision: Literal["use", "reject", "unknown"]
    requirements_total: int
    matched_fields: list[str]
    missing_fields: list[str]
    invalid_requirement_fields: list[str]
    reasons: list[str]
    conflicting_fields: list[_ApplicabilityConflict]
    mismatches: list[_ApplicabilityMismatch]

class _EvidenceOpened(TypedDict):
    record_id: str
    claim_id: str
    route: Literal["timeline", "graph", "documentary"]
    admission: Literal["cite", "context_only", "block"]
    integrity_valid: bool
    document_id: str
    revision_id: str
    span_hash: str
    support_keys: list[str]
    citable: bool
    reason: Literal["citable", "context_only", "evidence_blocked", "lineage_invalid"]

class _EpisodeFinalization(TypedDict):
    episode_id: str
    decision: Literal["allow", "abstain", "block"]
    answer_permitted: bool
    reasons: list[str]
    citations: list[str]
    opened_record_ids: list[str]
    unsupported_claim_keys: list[str]
    unused_opened_record_ids: list[str]
    all_citations_opened: bool
    all_citations_citable: bool
    all_claims_supported: bool

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
    def start_background(self, interval_secs: int | None = None) -> None: ...
    def run_maintenance(self) -> MaintenanceReport: ...
    def reflect(self) -> dict[str, int]: ...
    def decay(self) -> tuple[int, int]: ...
    def decay_by_route_state(self) -> tuple[int, int]:
        """Route-state-stratified decay (demotion, not deletion). Returns (decayed, demoted)."""
    def insights(self, phase: int | None = None) -> list[dict[str, object]]:
        """Run all insight detectors (phase 0 + 1 + 2) and return list of dicts."""
    def configure_maintenance(self, config: MaintenanceConfig) -> None: ...
    def is_encrypted(self) -> bool: ...
    def is_background_running(self) -> bool: ...
    def has_synonyms(self) -> bool: ...
    def load_synonyms(self, path: str) -> int: ...
    def list_snapshots(self) -> list[str]: ...
    def snapshot(self, label: str) -> str: ...
    def rollback(self, label: str) -> int: ...
    def diff(self, label_a: str, label_b: str) -> _SnapshotDiff: ...
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
    def connect(self, id_a: str, id_b: str, weight: float | None = None, relationship: str | None = None) -> None: ...
    def update(
        self,
        record_id: str,
        content: str | None = None,
        level: Level | None = None,
        tags: Sequence[str] | None = None,
        strength: float | None = None,
        metadata: dict[str, str] | None = None,
        source_type: str | None = None,
    ) -> "Record | None": ...
    def supersede(
        self,
        old_id: str,
        new_content: str,
        level: Level | None = None,
        tags: Sequence[str] | None = None,
        namespace: str | None = None,
        effective_at: float | None = None,
    ) -> str: ...
    def superseded_by(self, record_id: str) -> str | None: ...
    def version_chain(self, record_id: str) -> "list[Record]": ...
    def set_temporal_validity(
        self, record_id: str, valid_from: float | None = None, valid_until: float | None = None
    ) -> "Record": ...
    def feedback(self, record_id: str, useful: bool) -> bool: ...
    def feedback_stats(self, record_id: str) -> tuple[int, int, int] | None: ...
    def move_record(self, record_id: str, new_namespace: str) -> "Record | None": ...
    def import_json(self, json_str: str) -> int: ...
    def store_image(
        self,
        path: str,
        description: str,
        level: Level | None = None,
        tags: Sequence[str] | None = None,
        namespace: str | None = None,
    ) -> str: ...
    def store_audio_transcript(
        self,
        transcript: str,
        source_path: str,
        level: Level | None = None,
        tags: Sequence[str] | None = None,
        namespace: str | None = None,
    ) -> str: ...
    def process(self, text: str, pin: bool | None = None) -> str: ...
    def promotion_candidates(
        self, min_activations: int | None = None, min_strength: float | None = None
    ) -> list[Record]: ...
    def promotion_block_reason(self, record_id: str) -> str | None: ...
    def promote_record(self, record_id: str) -> Level | None: ...
    def mark_record_salience(self, record_id: str, salience: float, reason: str | None = None) -> "Record | None": ...
    def search(
        self,
        query: str | None = None,
        level: Level | None = None,
        tags: Sequence[str] | None = None,
        limit: int | None = None,
        content_type: str | None = None,
        source_type: str | None = None,
        namespace: _Namespaces = None,
        semantic_type: str | None = None,
    ) -> list[Record]: ...
    def suggest_memory_intent(self, query: str) -> _MemoryIntent: ...
    def delete(self, record_id: str) -> bool: ...
    def purge_record(self, record_id: str, scope: str) -> _PurgeReport: ...
    def recall_cognitive(
        self, query: str | None = None, limit: int | None = None, namespace: _Namespaces = None
    ) -> list[Record]: ...
    def recall_core_tier(
        self, query: str | None = None, limit: int | None = None, namespace: _Namespaces = None
    ) -> list[Record]: ...
    def get_structural_relations(self, limit: int | None = None) -> list[StructuralRelation]: ...
    def get_relations(self, limit: int | None = None) -> list[RelationEdge]: ...
    def get_structural_relations_for_record(
        self, record_id: str, limit: int | None = None
    ) -> list[StructuralRelation]: ...
    def get_relations_for_record(self, record_id: str, limit: int | None = None) -> list[RelationEdge]: ...
    def get_relation_digest(self, record_id: str, limit: int | None = None) -> RelationDigest | None: ...
    def link_records(
        self, source_id: str, target_id: str, relation_type: str, weight: float | None = None
    ) -> RelationEdge: ...
    def get_entity_digest(self, entity_id: str) -> EntityDigest | None: ...
    def get_entity_digest_for_record(self, record_id: str) -> EntityDigest | None: ...
    def get_entity_graph_digest(self, entity_id: str, limit: int | None = None) -> EntityGraphDigest | None: ...
    def get_entity_graph_digest_for_record(
        self, record_id: str, limit: int | None = None
    ) -> EntityGraphDigest | None: ...
    def get_entity_graph_neighbors(
        self,
        entity_id: str,
        top_n: int | None = None,
        min_weight: float | None = None,
        relation_type_filter: str | None = None,
        edge_limit: int | None = None,
    ) -> list[EntityGraphDigest]: ...
    def get_entity_relations(self, entity_id: str, limit: int | None = None) -> list[EntityRelationEdge]: ...
    def link_entities(
        self, source_entity_id: str, target_entity_id: str, relation_type: str, weight: float | None = None
    ) -> EntityRelationEdge: ...
    def start_research(self, topic: str, depth: str | None = None) -> dict[str, object]: ...
    def add_research_finding(self, project_id: str, query: str, result: str, url: str | None = None) -> None: ...
    def add_research_evidence_finding(
        self,
        project_id: str,
        query: str,
        result: str,
        document_id: str,
        revision_id: str,
        uri: str,
        source_bytes: bytes | bytearray | Sequence[int],
        byte_start: int,
        byte_end: int,
        verification_status: str = "candidate",
        answer_permission: str = "context_only",
        page_start: int | None = None,
        page_end: int | None = None,
        cell_range: str | None = None,
    ) -> dict[str, object]: ...
    def complete_research(self, project_id: str, synthesis: str | None = None) -> str: ...
    def store_project_note(self, project_id: str, content: str, metadata: dict[str, str] | None = None) -> str: ...
    def store_project_task(
        self, project_id: str, content: str, due_date: str | None = None, metadata: dict[str, str] | None = None
    ) -> str: ...
    def store_project_todo(self, project_id: str, content: str, metadata: dict[str, str] | None = None) -> str: ...
    def get_project_graph(self, project_id: str) -> ProjectGraphSnapshot | None: ...
    def get_project_graph_for_record(self, record_id: str) -> ProjectGraphSnapshot | None: ...
    def get_project_status(self, project_id: str) -> ProjectStatusSnapshot | None: ...
    def get_project_status_for_record(self, record_id: str) -> ProjectStatusSnapshot | None: ...
    def get_project_timeline(self, project_id: str) -> ProjectTimelineSnapshot | None: ...
    def get_project_timeline_for_record(self, record_id: str) -> ProjectTimelineSnapshot | None: ...
    def get_project_digest(self, project_id: str) -> ProjectDigest | None: ...
    def get_project_digest_for_record(self, record_id: str) -> ProjectDigest | None: ...
    def get_family_graph(self, namespace: str | None = None) -> FamilyGraphSnapshot | None: ...
    def get_family_graph_for_record(self, record_id: str) -> FamilyGraphSnapshot | None: ...
    def get_person_digest(self, record_id: str) -> PersonDigest | None: ...
    def store_family_person(
        self, relation_type: str, content: str, metadata: dict[str, str] | None = None, namespace: str | None = None
    ) -> str: ...
    def store_user_profile(self, fields: dict[str, str]) -> str: ...
    def get_user_profile(self) -> dict[str, str] | None: ...
    def set_persona(self, persona: AgentPersona) -> str: ...
    def get_persona(self) -> AgentPersona | None: ...
    def set_taxonomy(self, taxonomy: TagTaxonomy) -> None: ...
    def get_taxonomy(self) -> TagTaxonomy: ...
    def set_claim_rules_enabled(self, enabled: bool) -> None: ...
    def get_belief_id_for_record(self, record_id: str) -> str | None:
        """ID of the belief that currently owns a record, if any."""
    def set_embedding_claim_threshold(self, threshold: float | None = None) -> None:
        """Opt in to embedding-based belief clustering at this cosine threshold (None disables it)."""
    def get_contradiction_clusters(
        self, namespace: str | None = None, limit: int | None = None
    ) -> list[ContradictionCluster]: ...
    def get_belief_instability_summary(self) -> BeliefInstabilitySummary: ...
    def get_surfaced_concepts(self, limit: int | None = None) -> list[SurfacedConcept]: ...
    def get_surfaced_concepts_for_namespace(
        self, namespace: str, limit: int | None = None
    ) -> list[SurfacedConcept]: ...
    def get_high_volatility_beliefs(
        self, min_volatility: float | None = None, limit: int | None = None
    ) -> list[_BeliefDict]: ...
    def get_low_stability_beliefs(
        self, max_stability: float | None = None, limit: int | None = None
    ) -> list[_BeliefDict]: ...
    def get_recently_corrected_beliefs(self, limit: int | None = None) -> list[_BeliefDict]: ...
    def get_contradiction_review_queue(
        self, namespace: str | None = None, limit: int | None = None
    ) -> list[_ContradictionReviewItem]: ...
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
    def recall_full(
        self,
        query: str,
        top_k: int | None = None,
        include_failures: bool | None = None,
        min_strength: float | None = None,
        expand_connections: bool | None = None,
        session_id: str | None = None,
        namespace: _Namespaces = None,
    ) -> list[_FullRecallItem]: ...
    def recall_structured_acl(
        self,
        query: str,
        enforcement_mode: Literal["enforce", "audit"] = "enforce",
        subject_id: str | None = None,
        roles: list[str] | tuple[str, ...] | None = None,
        groups: list[str] | tuple[str, ...] | None = None,
        top_k: int | None = None,
        min_strength: float | None = None,
        expand_connections: bool | None = None,
        session_id: str | None = None,
        namespace: _Namespaces = None,
    ) -> _AclRecallAnswer: ...
    def recall_provenance_ranked(
        self,
        query: str,
        top_k: int | None = None,
        min_strength: float | None = None,
        expand_connections: bool | None = None,
        session_id: str | None = None,
        namespace: _Namespaces = None,
    ) -> list[_ProvenanceRankedItem]:
        """Recall re-ranked by born-from-collision provenance. Same shape as
        `recall_structured`, plus `base_score` (pre-provenance relevance),
        `effective_score` (after the provenance multiplier), and `provenance`
        ("lived_consequence" | "external_source" | "model_generated"). Results
        are ordered by `effective_score` desc."""
    def recall_with_applicability(
        self,
        query: str,
        current_state: dict[str, list[str] | tuple[str, ...]],
        top_k: int | None = None,
        min_strength: float | None = None,
        expand_connections: bool | None = None,
        session_id: str | None = None,
        namespace: _Namespaces = None,
    ) -> list[_ApplicabilityRecallItem]:
        """Recall without changing ranking and annotate each result with
        applicability details."""
    def recall_at(
        self,
        query: str,
        timestamp: float,
        top_k: int | None = None,
        min_strength: float | None = None,
        expand_connections: bool | None = None,
        session_id: str | None = None,
        namespace: _Namespaces = None,
    ) -> list[dict[str, object]]:
        """Temporal recall: only consider records created at or before `timestamp` (Unix seconds)."""
    def recall_as_of(
        self,
        query: str,
        timestamp: float,
        top_k: int | None = None,
        min_strength: float | None = None,
        expand_connections: bool | None = None,
        namespace: _Namespaces = None,
    ) -> list[dict[str, object]]:
        """Business-time recall using all information currently known to Vesk."""
    def explain_recall(
        self,
        query: str,
        top_k: int | None = None,
        min_strength: float | None = None,
        expand_connections: bool | None = None,
        namespace: _Namespaces = None,
    ) -> dict[str, object]: ...
    def replay_recall(self, trace_id: str) -> dict[str, object]: ...
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
    def get_maintenance_trend_history(self) -> list[MaintenanceTrendSnapshot]: ...
    def get_maintenance_trend_summary(self) -> MaintenanceTrendSummary: ...
    def get_latest_reflection_digest(self) -> ReflectionSummary | None: ...
    def export_container(self, output_path: str) -> _ContainerExportReport: ...
    def export_signed_container(self, output_path: str, signing_key: str) -> _ContainerExportReport: ...
    def append_container(self, container_path: str) -> _ContainerWriteReport: ...
    def append_signed_container(self, container_path: str, signing_key: str) -> _ContainerWriteReport: ...
    @staticmethod
    def generate_container_signing_key() -> _ContainerKeyPair: ...
    @staticmethod
    def inspect_container(container_path: str) -> _ContainerManifest: ...
    @staticmethod
    def verify_container(container_path: str) -> _ContainerManifest: ...
    @staticmethod
    def verify_container_authenticity(
        container_path: str, trusted_public_key: str | None = None, require_all_signed: bool = True
    ) -> _ContainerAuthenticityReport: ...
    @staticmethod
    def import_container(container_path: str, target_path: str) -> _ContainerImportReport: ...
    def append_container_with_retention(
        self,
        container_path: str,
        min_generations: int = 1,
        max_generations: int | None = None,
        max_age_seconds: int | None = None,
        max_size_bytes: int | None = None,
    ) -> _AppendWithRetention: ...
    def append_signed_container_with_retention(
        self,
        container_path: str,
        signing_key: str,
        min_generations: int = 1,
        max_generations: int | None = None,
        max_age_seconds: int | None = None,
        max_size_bytes: int | None = None,
    ) -> _AppendWithRetention: ...
    @staticmethod
    def hold_container_generation(container_path: str, generation: int, label: str) -> _GenerationHoldReport: ...
    @staticmethod
    def hold_signed_container_generation(
        container_path: str, generation: int, label: str, signing_key: str
    ) -> _GenerationHoldReport: ...
    @staticmethod
    def release_container_generation_hold(container_path: str, generation: int) -> _GenerationHoldReport: ...
    @staticmethod
    def release_signed_container_generation_hold(
        container_path: str, generation: int, signing_key: str
    ) -> _GenerationHoldReport: ...
    @staticmethod
    def plan_container_retention(
        container_path: str,
        min_generations: int = 1,
        max_generations: int | None = None,
        max_age_seconds: int | None = None,
        max_size_bytes: int | None = None,
    ) -> _RetentionPlan: ...
    @staticmethod
    def apply_container_retention(
        container_path: str,
        min_generations: int = 1,
        max_generations: int | None = None,
        max_age_seconds: int | None = None,
        max_size_bytes: int | None = None,
    ) -> _RetentionResult: ...
    @staticmethod
    def compact_container(container_path: str, keep_last: int) -> _CompactionReport: ...
    @staticmethod
    def update_container_authenticity_checkpoint(
        container_path: str, checkpoint_path: str, trusted_public_key: str
    ) -> _AuthenticityCheckpoint: ...
    @staticmethod
    def verify_container_authenticity_checkpoint(
        container_path: str, checkpoint_path: str
    ) -> _CheckpointComparison: ...
    def start_container_retention_scheduler(
        self,
        container_path: str,
        interval_seconds: int,
        min_generations: int = 1,
        max_generations: int | None = None,
        max_age_seconds: int | None = None,
        max_size_bytes: int | None = None,
    ) -> _RetentionSchedulerStatus: ...
    def stop_container_retention_scheduler(self) -> bool: ...
    def container_retention_scheduler_status(self) -> _RetentionSchedulerStatus | None: ...
    @staticmethod
    def list_container_generations(container_path: str) -> list[_ContainerGenerationEntry]: ...
    @staticmethod
    def inspect_container_generation(container_path: str, generation: int) -> _ContainerManifest: ...
    @staticmethod
    def verify_container_generation(container_path: str, generation: int) -> _ContainerManifest: ...
    @staticmethod
    def diff_container_generations(
        container_path: str, from_generation: int, to_generation: int
    ) -> _GenerationDiff: ...
    @staticmethod
    def verify_container_segments(container_path: str, names: Sequence[str]) -> _SegmentVerification: ...
    @staticmethod
    def read_container_segment(container_path: str, name: str) -> bytes: ...
    @staticmethod
    def read_container_segment_at_generation(container_path: str, generation: int, name: str) -> bytes: ...
    @staticmethod
    def import_container_generation(
        container_path: str, target_path: str, generation: int
    ) -> _ContainerImportReport: ...
    @staticmethod
    def extract_container_segments(
        container_path: str, target_path: str, names: Sequence[str]
    ) -> _ContainerImportReport: ...
    @staticmethod
    def import_authenticated_container(
        container_path: str, target_path: str, trusted_public_key: str, require_all_signed: bool = True
    ) -> _ContainerImportReport: ...

    def annotate_audit_entity(
        self, record_or_entity_id: str, kind: str, status: str, canonical_id: str | None = None
    ) -> _AuditGraphNode: ...
    def set_audit_entity_status(
        self,
        record_or_entity_id: str,
        status: str,
        valid_from: float | None = None,
        valid_until: float | None = None,
    ) -> _AuditGraphNode: ...
    def link_audit_entities(
        self,
        from_record_or_entity_id: str,
        to_record_or_entity_id: str,
        relation: str,
        valid_from: float | None = None,
        valid_until: float | None = None,
    ) -> _AuditEdge: ...
    def audit_graph(self, namespace: str | None = None, valid_at: float | None = None) -> _AuditGraph: ...
    def build_context_capsule(
        self, purpose: str, token_budget: int = 2000, namespace: str | None = None, valid_at: float | None = None
    ) -> _ContextCapsule: ...
    def build_compacted_context_capsule(
        self, purpose: str, token_budget: int = 2000, namespace: str | None = None, valid_at: float | None = None
    ) -> _ContextCapsule: ...
    def export_json(self) -> str: ...
    def export_context(self, query: str, top_k: int | None = None, namespace: str | None = None) -> str: ...
    def import_context(self, fragment_json: str) -> int: ...
    def get_correction_log(self) -> list[_CorrectionLogEntry]: ...
    def get_correction_log_for_target(self, target_kind: str, target_id: str) -> list[_CorrectionLogEntry]: ...
    def deprecate_belief(self, belief_id: str) -> bool: ...
    def deprecate_belief_with_reason(self, belief_id: str, reason: str) -> bool: ...
    def retract_policy_hint(self, hint_id: str) -> bool: ...
    def retract_policy_hint_with_reason(self, hint_id: str, reason: str) -> bool: ...
    def invalidate_causal_pattern(self, pattern_id: str) -> bool: ...
    def invalidate_causal_pattern_with_reason(self, pattern_id: str, reason: str) -> bool: ...
    def retract_causal_pattern(self, pattern_id: str) -> bool: ...
    def retract_causal_pattern_with_reason(self, pattern_id: str, reason: str) -> bool: ...
    def cross_namespace_digest(
        self,
        namespace: str | list[str] | tuple[str, ...] | None = None,
        top_concepts_limit: int | None = None,
        min_record_count: int | None = None,
        pairwise_similarity_threshold: float | None = None,
        include_dimensions: list[str] | tuple[str, ...] | None = None,
        compact_summary: bool | None = None,
    ) -> _CrossNamespaceDigest: ...
    def stats(self) -> dict[str, int]: ...
    def tier_stats(self) -> dict[str, int]: ...
    def namespace_stats(self) -> dict[str, int]: ...
    def security_report(self) -> _SecurityReport:
        """Protections, their states and evidence, store statistics and warnings."""
    def record_tool_failure(self, tool_name: str) -> None: ...
    def record_tool_success(self, tool_name: str) -> None: ...
    def is_tool_available(self, tool_name: str) -> bool: ...
    def tool_health(self) -> dict[str, str]: ...
    def get_salience_summary(self) -> SalienceSummary: ...
    def get_policy_pressure_report(
        self, namespace: str | None = None, limit: int | None = None
    ) -> list[PolicyPressureArea]: ...
    def get_policy_lifecycle_summary(
        self, action_limit: int | None = None, domain_limit: int | None = None
    ) -> PolicyLifecycleSummary: ...
    def get_reflection_summaries(self, limit: int | None = None) -> list[ReflectionSummary]: ...
    def get_reflection_digest(self, limit: int | None = None) -> ReflectionDigest: ...
    def get_memory_health_digest(self, limit: int | None = None) -> MemoryHealthDigest: ...
    def get_high_salience_records(
        self, min_salience: float | None = None, limit: int | None = None
    ) -> list[Record]: ...
    def trace_claim_evidence(self, claim_id: str) -> _ClaimEvidenceTrace: ...
    def find_claim_conflicts(self, claim_id: str) -> list[_ContradictionReport]: ...
    def explain_decision(self, decision_id: str) -> _DecisionExplanation: ...
    def get_credibility(self, url: str) -> float: ...
    def set_credibility_override(self, domain: str, score: float) -> None: ...
    def capture_outcome_receipt(
        self,
        task_id: str,
        lineage_id: str,
        attempt_id: str,
        candidate_record_ids: Sequence[str],
        selected_record_ids: Sequence[str],
        outcome: str,
        supersedes_receipt_id: str | None = None,
        namespace: str | None = None,
        provenance: Sequence[str] | None = None,
        logging_policy_id: str | None = None,
        selected_set_probability_bps: int | None = None,
        candidate_verdicts: dict[str, str] | None = None,
        verifier_id: str | None = None,
    ) -> _OutcomeReceipt:
        """Record how one attempt at a task turned out, as a tamper-evident receipt in
        the audit journal, and return it as a dict. Repeating a captured request
        returns the stored receipt; another request for the same task attempt raises."""
    def outcome_receipts(self, namespace: str | None = None, lineage_id: str | None = None) -> list[_OutcomeReceipt]:
        """The stored outcome receipts, oldest first, as dicts; filtered by
        namespace and lineage when given."""

    def start_retrieval_episode(
        self, query: str, candidate_ids: list[str], routes: list[str] | None = None
    ) -> RetrievalEpisode: ...
    def evaluate_applicability(
        self, record_id: str, current_state: dict[str, list[str]]
    ) -> _ApplicabilityDecision | None: ...
    def capture_consequence(
        self,
        situation: str,
        action: str,
        consequence: str,
        trust: int = 0,
        scope: Sequence[str] | None = None,
        provenance: Sequence[str] | None = None,
        links: dict[str, str] | None = None,
        namespace: str | None = None,
    ) -> _ConsequenceUnitDict: ...
    def record_world_fact(self, situation: str, action: str, fact: str, namespace: str | None = None) -> str | None:
        """Close an evidence debt by recording a world fact for a (situation, action)."""
    def get_consequence_unit(self, record_id: str) -> _ConsequenceUnitDict | None: ...
    def explain_consequence_unit(self, record_id: str) -> str | None: ...
    def get_consequence_units(
        self, query: str | None = None, limit: int | None = None, namespace: str | None = None
    ) -> list[_ConsequenceUnitDict]: ...
    def consequence_verdict(self, situation: str, action: str, namespace: str | None = None) -> _ConsequenceVerdict:
        """Scar-protected verdict for a (situation, action) pair."""
    def should_abstain_on(self, situation: str, action: str, namespace: str | None = None) -> bool:
        """True when the agent should abstain on this (situation, action) pair."""
    def policy_hint(self, situation: str, action: str, namespace: str | None = None) -> _ConsequencePolicyHintDict:
        """Scar-protected runtime policy hint for a (situation, action) pair."""

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

# ---- Value classes: read-only attributes, no constructor; every read of an
# ---- attribute returns new objects.

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

@final
class MaintenanceReport:
    """Full maintenance cycle report."""
    @property
    def timestamp(self) -> str: ...
    @property
    def decay(self) -> DecayReport: ...
    @property
    def reflect(self) -> ReflectReport: ...
    @property
    def epistemic(self) -> EpistemicPhaseReport: ...
    @property
    def insights_found(self) -> int: ...
    @property
    def belief(self) -> BeliefPhaseReport: ...
    @property
    def concept(self) -> ConceptPhaseReport: ...
    @property
    def causal(self) -> CausalPhaseReport: ...
    @property
    def policy(self) -> PolicyPhaseReport: ...
    @property
    def feedback(self) -> FeedbackAuditReport: ...
    @property
    def consolidation(self) -> ConsolidationReport: ...
    @property
    def cross_connections(self) -> int: ...
    @property
    def task_reminders(self) -> list[str]: ...
    @property
    def records_archived(self) -> int: ...
    @property
    def total_records(self) -> int: ...
    @property
    def experience_injected(self) -> int: ...
    @property
    def timings(self) -> PhaseTimings: ...
    @property
    def stability(self) -> LayerStability: ...
    @property
    def concept_surface(self) -> ConceptSurfaceTelemetry: ...
    @property
    def reflection(self) -> ReflectionSummary: ...
    @property
    def trend_summary(self) -> MaintenanceTrendSummary: ...
    @property
    def hotspots(self) -> MaintenanceHotspots: ...

@final
class DecayReport:
    """Decay phase report."""
    @property
    def decayed(self) -> int: ...
    @property
    def archived(self) -> int: ...

@final
class ReflectReport:
    """Reflect phase report."""
    @property
    def promoted(self) -> int: ...
    @property
    def archived(self) -> int: ...
    @property
    def blocked_conflict(self) -> int: ...
    @property
    def blocked_volatility(self) -> int: ...
    @property
    def blocked_identity_threshold(self) -> int: ...

@final
class EpistemicPhaseReport:
    """Epistemic phase report — support/conflict propagation from local graph structure."""
    @property
    def updated_records(self) -> int: ...
    @property
    def total_support_links(self) -> int: ...
    @property
    def total_conflict_links(self) -> int: ...
    @property
    def volatile_records(self) -> int: ...

@final
class BeliefPhaseReport:
    """Belief phase report — epistemic layer stats from a single maintenance cycle."""
    @property
    def beliefs_created(self) -> int: ...
    @property
    def beliefs_pruned(self) -> int: ...
    @property
    def revisions(self) -> int: ...
    @property
    def resolved(self) -> int: ...
    @property
    def unresolved(self) -> int: ...
    @property
    def total_beliefs(self) -> int: ...
    @property
    def total_hypotheses(self) -> int: ...
    @property
    def churn_rate(self) -> float: ...

@final
class ConceptPhaseReport:
    """Concept phase report — concept discovery stats from a single maintenance cycle."""
    @property
    def seeds_found(self) -> int: ...
    @property
    def candidates_found(self) -> int: ...
    @property
    def stable_count(self) -> int: ...
    @property
    def rejected_count(self) -> int: ...
    @property
    def avg_abstraction_score(self) -> float: ...
    @property
    def centroids_built(self) -> int: ...
    @property
    def partitions_with_multiple_seeds(self) -> int: ...
    @property
    def multi_seed_partition_sizes(self) -> list[int]: ...
    @property
    def cluster_sizes(self) -> list[int]: ...
    @property
    def clusters_with_multiple_beliefs(self) -> int: ...
    @property
    def largest_cluster_size(self) -> int: ...
    @property
    def pairwise_comparisons(self) -> int: ...
    @property
    def pairwise_above_threshold(self) -> int: ...
    @property
    def tanimoto_min(self) -> float: ...
    @property
    def tanimoto_max(self) -> float: ...
    @property
    def tanimoto_avg(self) -> float: ...
    @property
    def avg_centroid_size(self) -> float: ...
    @property
    def seeds_capped(self) -> int: ...

@final
class CausalPhaseReport:
    """Causal phase report — causal pattern discovery stats from a single maintenance cycle."""
    @property
    def skipped(self) -> bool: ...
    @property
    def edges_found(self) -> int: ...
    @property
    def explicit_edges_found(self) -> int: ...
    @property
    def temporal_edges_found(self) -> int: ...
    @property
    def temporal_namespaces_scanned(self) -> int: ...
    @property
    def temporal_pairs_considered(self) -> int: ...
    @property
    def temporal_pairs_skipped_by_budget(self) -> int: ...
    @property
    def temporal_edges_capped(self) -> int: ...
    @property
    def temporal_namespaces_hit_cap(self) -> int: ...
    @property
    def candidates_found(self) -> int: ...
    @property
    def patterns_meeting_support_gate(self) -> int: ...
    @property
    def patterns_meeting_repeated_window_gate(self) -> int: ...
    @property
    def patterns_meeting_counterfactual_gate(self) -> int: ...
    @property
    def patterns_blocked_by_evidence_gates(self) -> int: ...
    @property
    def patterns_blocked_by_counterfactual_gate(self) -> int: ...
    @property
    def stable_count(self) -> int: ...
    @property
    def rejected_count(self) -> int: ...
    @property
    def avg_causal_strength(self) -> float: ...

@final
class PolicyPhaseReport:
    """Policy phase report — policy hint discovery stats from a single maintenance cycle."""
    @property
    def seeds_found(self) -> int: ...
    @property
    def hints_found(self) -> int: ...
    @property
    def stable_hints(self) -> int: ...
    @property
    def suppressed_hints(self) -> int: ...
    @property
    def rejected_hints(self) -> int: ...
    @property
    def avg_policy_strength(self) -> float: ...

@final
class ConsolidationReport:
    """Consolidation phase report."""
    @property
    def native_merged(self) -> int: ...
    @property
    def clusters_found(self) -> int: ...
    @property
    def meta_created(self) -> int: ...

# Not an attribute of the module: reach it with type() of a MaintenanceReport's feedback.
@final
class FeedbackAuditReport:
    """Feedback audit summary for a maintenance cycle."""
    @property
    def beliefs_touched(self) -> int: ...
    @property
    def beliefs_boosted(self) -> int: ...
    @property
    def beliefs_dampened(self) -> int: ...
    @property
    def net_confidence_delta(self) -> float: ...
    @property
    def net_volatility_delta(self) -> float: ...
    @property
    def entries(self) -> list[FeedbackAuditEntry]: ...

# Not an attribute of the module: reach it with type() of an item of a
# FeedbackAuditReport's entries.
@final
class FeedbackAuditEntry:
    """Single feedback audit event emitted by the belief feedback pass."""
    @property
    def belief_id(self) -> str: ...
    @property
    def source_kind(self) -> str: ...
    @property
    def source_id(self) -> str: ...
    @property
    def reason(self) -> str: ...
    @property
    def delta_requested(self) -> float: ...
    @property
    def delta_applied(self) -> float: ...
    @property
    def confidence_before(self) -> float: ...
    @property
    def confidence_after(self) -> float: ...
    @property
    def volatility_before(self) -> float: ...
    @property
    def volatility_after(self) -> float: ...
    @property
    def volatility_delta_applied(self) -> float: ...
    @property
    def stability_before(self) -> float: ...
    @property
    def stability_after(self) -> float: ...
    @property
    def stability_delta_applied(self) -> float: ...

@final
class PhaseTimings:
    """Per-phase timing in milliseconds."""
    @property
    def level_fix_ms(self) -> float: ...
    @property
    def decay_ms(self) -> float: ...
    @property
    def reflect_ms(self) -> float: ...
    @property
    def epistemic_ms(self) -> float: ...
    @property
    def insights_ms(self) -> float: ...
    @property
    def sdr_build_ms(self) -> float: ...
    @property
    def belief_ms(self) -> float: ...
    @property
    def concept_ms(self) -> float: ...
    @property
    def causal_ms(self) -> float: ...
    @property
    def policy_ms(self) -> float: ...
    @property
    def consolidation_ms(self) -> float: ...
    @property
    def cross_connections_ms(self) -> float: ...
    @property
    def tasks_archival_ms(self) -> float: ...
    @property
    def total_ms(self) -> float: ...

@final
class LayerStability:
    """Per-layer identity stability counters."""
    @property
    def belief_retained(self) -> int: ...
    @property
    def belief_new(self) -> int: ...
    @property
    def belief_dropped(self) -> int: ...
    @property
    def belief_churn(self) -> float: ...
    @property
    def concept_retained(self) -> int: ...
    @property
    def concept_new(self) -> int: ...
    @property
    def concept_dropped(self) -> int: ...
    @property
    def concept_churn(self) -> float: ...
    @property
    def causal_retained(self) -> int: ...
    @property
    def causal_new(self) -> int: ...
    @property
    def causal_dropped(self) -> int: ...
    @property
    def causal_churn(self) -> float: ...
    @property
    def policy_retained(self) -> int: ...
    @property
    def policy_new(self) -> int: ...
    @property
    def policy_dropped(self) -> int: ...
    @property
    def policy_churn(self) -> float: ...

# Not an attribute of the module: reach it with type() of a MaintenanceReport's
# concept_surface.
@final
class ConceptSurfaceTelemetry:
    """Runtime telemetry for the bounded concept inspection surface."""
    @property
    def mode(self) -> str: ...
    @property
    def surfaced_concepts_available(self) -> int: ...
    @property
    def surfaced_namespaces(self) -> int: ...
    @property
    def global_calls_since_last_cycle(self) -> int: ...
    @property
    def namespace_calls_since_last_cycle(self) -> int: ...
    @property
    def record_calls_since_last_cycle(self) -> int: ...
    @property
    def concepts_returned_since_last_cycle(self) -> int: ...
    @property
    def record_annotations_returned_since_last_cycle(self) -> int: ...

# Not an attribute of the module: reach it with type() of a MaintenanceReport's hotspots.
@final
class MaintenanceHotspots:
    """Maintenance hot-spot accounting for scalability visibility."""
    @property
    def records_before_cycle(self) -> int: ...
    @property
    def records_after_cycle(self) -> int: ...
    @property
    def belief_snapshot_records(self) -> int: ...
    @property
    def sdr_source_bytes(self) -> int: ...
    @property
    def sdr_vectors_built(self) -> int: ...
    @property
    def sdr_vectors_computed(self) -> int: ...
    @property
    def sdr_vectors_reused(self) -> int: ...
    @property
    def belief_total_beliefs(self) -> int: ...
    @property
    def belief_total_hypotheses(self) -> int: ...
    @property
    def concept_pairwise_comparisons(self) -> int: ...
    @property
    def concept_partitions_with_multiple_seeds(self) -> int: ...
    @property
    def causal_edges_found(self) -> int: ...
    @property
    def causal_explicit_edges_found(self) -> int: ...
    @property
    def causal_temporal_edges_found(self) -> int: ...
    @property
    def causal_temporal_namespaces_scanned(self) -> int: ...
    @property
    def causal_temporal_pairs_considered(self) -> int: ...
    @property
    def causal_temporal_pairs_skipped_by_budget(self) -> int: ...
    @property
    def causal_temporal_edges_capped(self) -> int: ...
    @property
    def causal_temporal_namespaces_hit_cap(self) -> int: ...
    @property
    def policy_seeds_found(self) -> int: ...
    @property
    def cross_connections_found(self) -> int: ...
    @property
    def task_reminders_found(self) -> int: ...
    @property
    def dominant_phase(self) -> str: ...
    @property
    def dominant_phase_ms(self) -> float: ...
    @property
    def dominant_phase_share(self) -> float: ...

@final
class ReflectionSummary:
    """Bounded maintenance-time synthesis summary over one cycle."""
    @property
    def timestamp(self) -> str: ...
    @property
    def digest(self) -> str: ...
    @property
    def dominant_phase(self) -> str: ...
    @property
    def report(self) -> ReflectionJobReport: ...
    @property
    def findings(self) -> list[ReflectionFinding]: ...

@final
class ReflectionJobReport:
    """Compact report about reflection jobs executed in one cycle."""
    @property
    def jobs_run(self) -> int: ...
    @property
    def blocker_findings(self) -> int: ...
    @property
    def contradiction_findings(self) -> int: ...
    @property
    def trend_findings(self) -> int: ...
    @property
    def total_findings(self) -> int: ...
    @property
    def capped(self) -> bool: ...

@final
class ReflectionFinding:
    """Single bounded reflection finding emitted during maintenance."""
    @property
    def kind(self) -> str: ...
    @property
    def namespace(self) -> str: ...
    @property
    def title(self) -> str: ...
    @property
    def detail(self) -> str: ...
    @property
    def related_ids(self) -> list[str]: ...
    @property
    def score(self) -> float: ...
    @property
    def severity(self) -> str: ...

@final
class ReflectionDigest:
    """Aggregated digest across recent reflection summaries."""
    @property
    def summary_count(self) -> int: ...
    @property
    def total_findings(self) -> int: ...
    @property
    def high_severity_findings(self) -> int: ...
    @property
    def latest_timestamp(self) -> str: ...
    @property
    def latest_dominant_phase(self) -> str: ...
    @property
    def kinds(self) -> list[ReflectionKindSummary]: ...
    @property
    def namespaces(self) -> list[str]: ...
    @property
    def top_findings(self) -> list[ReflectionFinding]: ...

@final
class ReflectionKindSummary:
    """Aggregated rollup for one reflection finding kind across recent summaries."""
    @property
    def kind(self) -> str: ...
    @property
    def count(self) -> int: ...
    @property
    def high_severity_count(self) -> int: ...
    @property
    def avg_score(self) -> float: ...

@final
class MaintenanceTrendSnapshot:
    """Persisted bounded maintenance trend snapshot for one cycle."""
    @property
    def timestamp(self) -> str: ...
    @property
    def total_records(self) -> int: ...
    @property
    def records_archived(self) -> int: ...
    @property
    def insights_found(self) -> int: ...
    @property
    def volatile_records(self) -> int: ...
    @property
    def belief_churn(self) -> float: ...
    @property
    def causal_rejection_rate(self) -> float: ...
    @property
    def policy_suppression_rate(self) -> float: ...
    @property
    def feedback_beliefs_touched(self) -> int: ...
    @property
    def feedback_net_confidence_delta(self) -> float: ...
    @property
    def feedback_net_volatility_delta(self) -> float: ...
    @property
    def correction_events(self) -> int: ...
    @property
    def cumulative_corrections(self) -> int: ...
    @property
    def cycle_time_ms(self) -> float: ...
    @property
    def dominant_phase(self) -> str: ...

@final
class MaintenanceTrendSummary:
    """Bounded trend summary across recent maintenance cycles."""
    @property
    def snapshot_count(self) -> int: ...
    @property
    def recent(self) -> list[MaintenanceTrendSnapshot]: ...
    @property
    def avg_belief_churn(self) -> float: ...
    @property
    def avg_causal_rejection_rate(self) -> float: ...
    @property
    def avg_policy_suppression_rate(self) -> float: ...
    @property
    def avg_cycle_time_ms(self) -> float: ...
    @property
    def avg_correction_events(self) -> float: ...
    @property
    def total_corrections_in_window(self) -> int: ...
    @property
    def latest_dominant_phase(self) -> str: ...

@final
class PolicyPressureArea:
    @property
    def namespace(self) -> str: ...
    @property
    def domain(self) -> str: ...
    @property
    def advisory_pressure(self) -> float: ...
    @property
    def active_hints(self) -> int: ...
    @property
    def suppressed_hints(self) -> int: ...
    @property
    def rejected_hints(self) -> int: ...
    @property
    def strongest_hint_id(self) -> str: ...
    @property
    def strongest_action_kind(self) -> str: ...
    @property
    def strongest_policy_strength(self) -> float: ...

@final
class PolicyLifecycleSummary:
    @property
    def total_hints(self) -> int: ...
    @property
    def active_hints(self) -> int: ...
    @property
    def stable_hints(self) -> int: ...
    @property
    def candidate_hints(self) -> int: ...
    @property
    def suppressed_hints(self) -> int: ...
    @property
    def rejected_hints(self) -> int: ...
    @property
    def avg_policy_strength(self) -> float: ...
    @property
    def avg_risk_score(self) -> float: ...
    @property
    def action_summaries(self) -> list[PolicyActionSummary]: ...
    @property
    def domain_summaries(self) -> list[PolicyDomainSummary]: ...

@final
class PolicyActionSummary:
    @property
    def action_kind(self) -> str: ...
    @property
    def total_hints(self) -> int: ...
    @property
    def stable_hints(self) -> int: ...
    @property
    def candidate_hints(self) -> int: ...
    @property
    def suppressed_hints(self) -> int: ...
    @property
    def rejected_hints(self) -> int: ...
    @property
    def avg_policy_strength(self) -> float: ...
    @property
    def avg_risk_score(self) -> float: ...

@final
class PolicyDomainSummary:
    @property
    def namespace(self) -> str: ...
    @property
    def domain(self) -> str: ...
    @property
    def total_hints(self) -> int: ...
    @property
    def active_hints(self) -> int: ...
    @property
    def stable_hints(self) -> int: ...
    @property
    def candidate_hints(self) -> int: ...
    @property
    def suppressed_hints(self) -> int: ...
    @property
    def rejected_hints(self) -> int: ...
    @property
    def avg_policy_strength(self) -> float: ...
    @property
    def avg_risk_score(self) -> float: ...
    @property
    def advisory_pressure(self) -> float: ...

@final
class ContradictionCluster:
    @property
    def id(self) -> str: ...
    @property
    def namespace(self) -> str: ...
    @property
    def belief_ids(self) -> list[str]: ...
    @property
    def belief_keys(self) -> list[str]: ...
    @property
    def record_ids(self) -> list[str]: ...
    @property
    def shared_tags(self) -> list[str]: ...
    @property
    def unresolved_belief_count(self) -> int: ...
    @property
    def high_volatility_belief_count(self) -> int: ...
    @property
    def avg_volatility(self) -> float: ...
    @property
    def avg_stability(self) -> float: ...
    @property
    def total_conflict_mass(self) -> float: ...
    @property
    def max_conflict_mass(self) -> float: ...

@final
class BeliefInstabilitySummary:
    @property
    def total_beliefs(self) -> int: ...
    @property
    def resolved(self) -> int: ...
    @property
    def unresolved(self) -> int: ...
    @property
    def singleton(self) -> int: ...
    @property
    def empty(self) -> int: ...
    @property
    def contradiction_cluster_count(self) -> int: ...
    @property
    def high_volatility_count(self) -> int: ...
    @property
    def low_stability_count(self) -> int: ...
    @property
    def avg_volatility(self) -> float: ...
    @property
    def avg_stability(self) -> float: ...
    @property
    def volatility_bands(self) -> BeliefVolatilityBands: ...

@final
class BeliefVolatilityBands:
    @property
    def low(self) -> int: ...
    @property
    def medium(self) -> int: ...
    @property
    def high(self) -> int: ...

@final
class SalienceSummary:
    @property
    def total_records(self) -> int: ...
    @property
    def high_salience_count(self) -> int: ...
    @property
    def avg_salience(self) -> float: ...
    @property
    def max_salience(self) -> float: ...
    @property
    def bands(self) -> SalienceBands: ...

@final
class SalienceBands:
    @property
    def low(self) -> int: ...
    @property
    def medium(self) -> int: ...
    @property
    def high(self) -> int: ...

@final
class MemoryHealthDigest:
    @property
    def total_records(self) -> int: ...
    @property
    def startup_has_recovery_warnings(self) -> bool: ...
    @property
    def high_salience_record_count(self) -> int: ...
    @property
    def avg_salience(self) -> float: ...
    @property
    def max_salience(self) -> float: ...
    @property
    def reflection_summary_count(self) -> int: ...
    @property
    def reflection_high_severity_findings(self) -> int: ...
    @property
    def contradiction_cluster_count(self) -> int: ...
    @property
    def high_volatility_belief_count(self) -> int: ...
    @property
    def low_stability_belief_count(self) -> int: ...
    @property
    def recent_correction_count(self) -> int: ...
    @property
    def suppressed_policy_hint_count(self) -> int: ...
    @property
    def rejected_policy_hint_count(self) -> int: ...
    @property
    def policy_pressure_area_count(self) -> int: ...
    @property
    def maintenance_trend_direction(self) -> str: ...
    @property
    def latest_dominant_phase(self) -> str: ...
    @property
    def top_issues(self) -> list[OperatorReviewIssue]: ...

@final
class OperatorReviewIssue:
    @property
    def kind(self) -> str: ...
    @property
    def target_id(self) -> str: ...
    @property
    def namespace(self) -> str: ...
    @property
    def title(self) -> str: ...
    @property
    def score(self) -> float: ...
    @property
    def severity(self) -> str: ...

@final
class SurfacedConcept:
    """Stable external contract for inspection-only concept output."""
    @property
    def id(self) -> str: ...
    @property
    def key(self) -> str: ...
    @property
    def state(self) -> str: ...
    @property
    def namespace(self) -> str: ...
    @property
    def semantic_type(self) -> str: ...
    @property
    def core_terms(self) -> list[str]: ...
    @property
    def shell_terms(self) -> list[str]: ...
    @property
    def tags(self) -> list[str]: ...
    @property
    def abstraction_score(self) -> float: ...
    @property
    def confidence(self) -> float: ...
    @property
    def cluster_size(self) -> int: ...
    @property
    def support_mass(self) -> float: ...
    @property
    def belief_ids(self) -> list[str]: ...
    @property
    def record_ids(self) -> list[str]: ...

@final
class SurfacedPolicyHint:
    """A filtered, stable, user-facing advisory hint."""
    @property
    def id(self) -> str: ...
    @property
    def state(self) -> str: ...
    @property
    def action_kind(self) -> str: ...
    @property
    def namespace(self) -> str: ...
    @property
    def domain(self) -> str: ...
    @property
    def recommendation(self) -> str: ...
    @property
    def policy_strength(self) -> float: ...
    @property
    def confidence(self) -> float: ...
    @property
    def risk_score(self) -> float: ...
    @property
    def trigger_causal_ids(self) -> list[str]: ...
    @property
    def trigger_concept_ids(self) -> list[str]: ...
    @property
    def trigger_belief_ids(self) -> list[str]: ...
    @property
    def supporting_record_ids(self) -> list[str]: ...
    @property
    def evidence_source_floor(self) -> str: ...
    @property
    def untrusted_evidence(self) -> bool: ...

@final
class RelationEdge:
    """Public inspect shape for any explicit typed relation edge."""
    @property
    def source_record_id(self) -> str: ...
    @property
    def target_record_id(self) -> str: ...
    @property
    def relation_type(self) -> str: ...
    @property
    def weight(self) -> float: ...
    @property
    def namespace(self) -> str: ...
    @property
    def structural(self) -> bool: ...

@final
class RelationDigest:
    """Combined inspect object for one record and its direct typed-relation corridor."""
    @property
    def anchor_record_id(self) -> str: ...
    @property
    def namespace(self) -> str: ...
    @property
    def anchor_tags(self) -> list[str]: ...
    @property
    def anchor_content(self) -> str: ...
    @property
    def relation_count(self) -> int: ...
    @property
    def structural_relations(self) -> int: ...
    @property
    def non_structural_relations(self) -> int: ...
    @property
    def relation_types(self) -> dict[str, int]: ...
    @property
    def linked_record_ids(self) -> list[str]: ...
    @property
    def edges(self) -> list[RelationEdge]: ...

@final
class StructuralRelation:
    """Public inspect shape for deterministic structural relations."""
    @property
    def source_record_id(self) -> str: ...
    @property
    def target_record_id(self) -> str: ...
    @property
    def relation_type(self) -> str: ...
    @property
    def weight(self) -> float: ...
    @property
    def namespace(self) -> str: ...
    @property
    def evidence_record_ids(self) -> list[str]: ...

@final
class EntityDigest:
    """Deterministic aggregate for all records carrying the same local entity id."""
    @property
    def entity_id(self) -> str: ...
    @property
    def namespace(self) -> str: ...
    @property
    def record_ids(self) -> list[str]: ...
    @property
    def relation_count(self) -> int: ...
    @property
    def tags(self) -> dict[str, int]: ...
    @property
    def levels(self) -> dict[str, int]: ...

@final
class EntityRelationEdge:
    """Deterministic typed edge between two local entities."""
    @property
    def source_entity_id(self) -> str: ...
    @property
    def target_entity_id(self) -> str: ...
    @property
    def relation_type(self) -> str: ...
    @property
    def weight(self) -> float: ...
    @property
    def namespace(self) -> str: ...
    @property
    def source_record_id(self) -> str: ...
    @property
    def target_record_id(self) -> str: ...

@final
class EntityGraphNeighbor:
    """One neighbor row in a deterministic entity graph snapshot."""
    @property
    def entity_id(self) -> str: ...
    @property
    def anchor_record_id(self) -> str: ...
    @property
    def record_count(self) -> int: ...
    @property
    def relation_count(self) -> int: ...
    @property
    def relation_types(self) -> dict[str, int]: ...
    @property
    def strongest_weight(self) -> float: ...

@final
class EntityGraphDigest:
    """Combined inspect object for one entity and its direct entity neighbors."""
    @property
    def entity(self) -> EntityDigest: ...
    @property
    def anchor_record_id(self) -> str: ...
    @property
    def neighbor_count(self) -> int: ...
    @property
    def relation_types(self) -> dict[str, int]: ...
    @property
    def neighbors(self) -> list[EntityGraphNeighbor]: ...
    @property
    def edges(self) -> list[EntityRelationEdge]: ...

@final
class PersonDigest:
    """Deterministic inspect object for one linked person inside the family graph."""
    @property
    def namespace(self) -> str: ...
    @property
    def profile_record_id(self) -> str: ...
    @property
    def person_record_id(self) -> str: ...
    @property
    def relation_type(self) -> str: ...
    @property
    def weight(self) -> float: ...
    @property
    def person_tags(self) -> list[str]: ...
    @property
    def person_content(self) -> str: ...

@final
class FamilyGraphSnapshot:
    """Inspect-friendly snapshot of deterministic self/family relations."""
    @property
    def namespace(self) -> str: ...
    @property
    def profile_record_id(self) -> str: ...
    @property
    def relation_count(self) -> int: ...
    @property
    def relation_types(self) -> dict[str, int]: ...
    @property
    def members(self) -> list[FamilyRelationMember]: ...

@final
class FamilyRelationMember:
    """One inspect row in a deterministic self/family graph."""
    @property
    def record_id(self) -> str: ...
    @property
    def relation_type(self) -> str: ...
    @property
    def weight(self) -> float: ...
    @property
    def tags(self) -> list[str]: ...
    @property
    def content(self) -> str: ...

@final
class ProjectDigest:
    """Combined deterministic project digest for runtime/UI inspection."""
    @property
    def graph(self) -> ProjectGraphSnapshot: ...
    @property
    def status(self) -> ProjectStatusSnapshot: ...
    @property
    def timeline(self) -> ProjectTimelineSnapshot: ...

@final
class ProjectGraphSnapshot:
    """Inspect-friendly snapshot of a project-scoped structural graph."""
    @property
    def project_id(self) -> str: ...
    @property
    def project_record_id(self) -> str: ...
    @property
    def project_topic(self) -> str: ...
    @property
    def namespace(self) -> str: ...
    @property
    def member_record_ids(self) -> list[str]: ...
    @property
    def member_tags(self) -> dict[str, int]: ...
    @property
    def relation_count(self) -> int: ...

@final
class ProjectStatusSnapshot:
    """Deterministic project status counters derived from project-scoped records."""
    @property
    def project_id(self) -> str: ...
    @property
    def project_record_id(self) -> str: ...
    @property
    def project_topic(self) -> str: ...
    @property
    def namespace(self) -> str: ...
    @property
    def project_status(self) -> str: ...
    @property
    def total_members(self) -> int: ...
    @property
    def reports(self) -> int: ...
    @property
    def scheduled_tasks(self) -> int: ...
    @property
    def open_tasks(self) -> int: ...
    @property
    def completed_tasks(self) -> int: ...
    @property
    def todos(self) -> int: ...
    @property
    def open_todos(self) -> int: ...
    @property
    def completed_todos(self) -> int: ...
    @property
    def notes(self) -> int: ...
    @property
    def due_tasks(self) -> int: ...
    @property
    def high_priority_todos(self) -> int: ...

@final
class ProjectTimelineSnapshot:
    """Deterministic project timeline snapshot."""
    @property
    def project_id(self) -> str: ...
    @property
    def project_record_id(self) -> str: ...
    @property
    def project_topic(self) -> str: ...
    @property
    def namespace(self) -> str: ...
    @property
    def total_entries(self) -> int: ...
    @property
    def overdue_entries(self) -> int: ...
    @property
    def upcoming_entries(self) -> int: ...
    @property
    def open_entries(self) -> int: ...
    @property
    def entries(self) -> list[ProjectTimelineEntry]: ...

@final
class ProjectTimelineEntry:
    """One deterministic timeline row for a project-scoped record."""
    @property
    def record_id(self) -> str: ...
    @property
    def content(self) -> str: ...
    @property
    def kind(self) -> str: ...
    @property
    def status(self) -> str: ...
    @property
    def created_at(self) -> float: ...
    @property
    def due_date(self) -> str | None: ...
    @property
    def overdue(self) -> bool: ...
    @property
    def tags(self) -> list[str]: ...

@final
class ConsequenceUnit:
    @property
    def record_id(self) -> str: ...
    @property
    def situation(self) -> str: ...
    @property
    def action(self) -> str: ...
    @property
    def consequence(self) -> str: ...
    @property
    def trust(self) -> int: ...
    @property
    def scope(self) -> list[str]: ...
    @property
    def provenance(self) -> list[str]: ...
    @property
    def links(self) -> dict[str, str]: ...
    @property
    def namespace(self) -> str: ...
    @property
    def captured_at(self) -> float: ...

@final
class ConsequencePolicyHint:
    """A runtime decision derived from the scar-protected consequence verdict for a"""
    @property
    def situation(self) -> str: ...
    @property
    def action(self) -> str: ...
    @property
    def hint(self) -> str: ...
    @property
    def reason(self) -> str: ...
    @property
    def verdict(self) -> str: ...
    @property
    def supports(self) -> int: ...
    @property
    def refutes(self) -> int: ...
    @property
    def requires_evidence(self) -> bool: ...
    @property
    def should_block(self) -> bool: ...
    @property
    def scar(self) -> bool: ...

@final
class OutcomeReceipt:
    """Durable, content-free evidence that a retrieval attempt had an outcome."""
    @property
    def schema_version(self) -> int: ...
    @property
    def receipt_id(self) -> str: ...
    @property
    def task_id(self) -> str: ...
    @property
    def lineage_id(self) -> str: ...
    @property
    def attempt_id(self) -> str: ...
    @property
    def candidate_record_ids(self) -> list[str]: ...
    @property
    def selected_record_ids(self) -> list[str]: ...
    @property
    def outcome(self) -> OutcomeKind: ...
    @property
    def supersedes_receipt_id(self) -> str | None: ...
    @property
    def namespace(self) -> str: ...
    @property
    def provenance(self) -> list[str]: ...
    @property
    def recorded_at_ms(self) -> int: ...
    @property
    def logging_policy_id(self) -> str | None: ...
    @property
    def selected_set_probability_bps(self) -> int | None: ...
    @property
    def candidate_verdicts(self) -> list[CandidateOutcomeVerdict]: ...
    @property
    def verifier_id(self) -> str | None: ...
    @property
    def integrity_digest(self) -> str: ...

@final
class CandidateOutcomeVerdict:
    """Optional terminal verdict for one candidate, supplied by an explicit"""
    @property
    def record_id(self) -> str: ...
    @property
    def outcome(self) -> OutcomeKind: ...

@final
class OutcomeEvaluationEvidence:
    """Optional evidence needed for unbiased offline policy evaluation."""
    @property
    def logging_policy_id(self) -> str | None: ...
    @property
    def selected_set_probability_bps(self) -> int | None: ...
    @property
    def candidate_verdicts(self) -> list[CandidateOutcomeVerdict]: ...
    @property
    def verifier_id(self) -> str | None: ...

@final
class RetrievalEpisode:
    """Ephemeral audit state for one memory-backed answer."""
    @property
    def id(self) -> str: ...
    @property
    def query(self) -> str: ...
    @property
    def routes(self) -> list[Literal["timeline", "graph", "documentary"]]: ...
    @property
    def candidate_ids(self) -> list[str]: ...
    def open_verified_evidence(
        self,
        record_id: str,
        claim_id: str,
        claim_text: str,
        route: str,
        support_keys: list[str],
        document_id: str,
        revision_id: str,
        uri: str,
        registered_source_bytes: bytes | Sequence[int],
        current_source_bytes: bytes | Sequence[int],
        byte_start: int,
        byte_end: int,
        verification_status: str = "candidate",
        answer_permission: str = "context_only",
    ) -> _EvidenceOpened: ...
    def finalize(
        self, answer_present: bool, citations: list[str], atomic_claim_keys: list[str]
    ) -> _EpisodeFinalization: ...

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
