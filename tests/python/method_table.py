"""The methods of Vesk, one row each: what the module must show of them.

A row is (text signature, kind, lock, errors, docstring text). The kind is
"K" (arguments by position or keyword), "N" (no arguments), "S" (static,
with arguments) or "SN" (static, no arguments); the lock is "released" when
the method lets other Python threads run while it works, "held" otherwise;
errors are the exception classes of the operation's own failures (argument
errors aside); the docstring text follows the signature line and "--", or is
None for a method documented by its signature alone.

Rows are grouped by the part of the system that implements them, in the
order of the class's method table. Methods not built yet are listed once, in
PENDING at the end; the work that builds one deletes its name there.
"""

METHODS = (
    # Python module and bindings
    ('count($self, level=None)', 'K', 'held', (), None),
    ('get_taxonomy($self)', 'N', 'held', (), None),
    ('get_maintenance_trend_history($self)', 'N', 'held', (), None),
    ('get_latest_reflection_digest($self)', 'N', 'held', (), None),
    ('get_startup_validation_report($self)', 'N', 'held', (), None),
    ('get_persistence_manifest($self)', 'N', 'held', (), None),
    ('is_background_running($self)', 'N', 'held', (), None),
    ('__enter__($self)', 'N', 'held', (), None),
    ('is_encrypted($self)', 'N', 'held', (), None),
    ('has_synonyms($self)', 'N', 'held', (), None),
    ('clear_outcome_classifier($self)', 'N', 'held', (), 'Remove the Python outcome classifier.'),
    ('clear_claim_classifier($self)', 'N', 'held', (), 'Remove the Python claim classifier.'),
    # Storage engine and store lifecycle
    ('stop_background($self)', 'N', 'held', (), None),
    ('snapshot($self, label)', 'K', 'held', ('RuntimeError',), None),
    ('rollback($self, label)', 'K', 'held', ('RuntimeError',), None),
    ('diff($self, label_a, label_b)', 'K', 'held', ('RuntimeError',), None),
    ('list_snapshots($self)', 'N', 'held', (), None),
    ('close($self)', 'N', 'held', ('RuntimeError',), None),
    ('__exit__($self, _exc_type=None, _exc_val=None, _exc_tb=None)', 'K', 'held', ('RuntimeError',), None),
    ('flush($self)', 'N', 'held', ('RuntimeError',), None),
    # Write path, record access and ingress trust
    (
        'store($self, content, level=None, tags=None, pin=None, content_type=None, source_type=None, '
        'metadata=None, deduplicate=None, caused_by_id=None, channel=None, auto_promote=None, '
        'namespace=None, semantic_type=None, valid_from=None, valid_until=None)',
        'K', 'released', ('RuntimeError',),
        None,
    ),
    (
        'set_record_acl($self, record_id, visibility, read_roles=None, read_groups=None, '
        'read_principals=None, policy_version=None)',
        'K', 'held', ('RuntimeError', 'ValueError'),
        None,
    ),
    (
        'check_record_access($self, record_id, subject_id=None, roles=None, groups=None)',
        'K', 'held', (),
        None,
    ),
    ('get($self, record_id)', 'K', 'held', (), None),
    ('mark_record_salience($self, record_id, salience, reason=None)', 'K', 'held', ('RuntimeError',), None),
    ('delete($self, record_id)', 'K', 'held', ('RuntimeError',), None),
    ('purge_record($self, record_id, scope)', 'K', 'held', ('RuntimeError', 'ValueError'), None),
    (
        'update($self, record_id, content=None, level=None, tags=None, strength=None, metadata=None, '
        'source_type=None)',
        'K', 'held', ('RuntimeError',),
        None,
    ),
    ('connect($self, id_a, id_b, weight=None, relationship=None)', 'K', 'held', ('RuntimeError',), None),
    ('set_taxonomy($self, taxonomy)', 'K', 'held', (), None),
    (
        'store_image($self, path, description, level=None, tags=None, namespace=None)',
        'K', 'held', ('RuntimeError',),
        None,
    ),
    (
        'store_audio_transcript($self, transcript, source_path, level=None, tags=None, namespace=None)',
        'K', 'held', ('RuntimeError',),
        None,
    ),
    ('feedback($self, record_id, useful)', 'K', 'held', ('RuntimeError',), None),
    ('feedback_stats($self, record_id)', 'K', 'held', (), None),
    (
        'set_temporal_validity($self, record_id, valid_from=None, valid_until=None)',
        'K', 'held', ('ValueError',),
        None,
    ),
    (
        'supersede($self, old_id, new_content, level=None, tags=None, namespace=None, effective_at=None)',
        'K', 'held', ('RuntimeError',),
        None,
    ),
    ('superseded_by($self, record_id)', 'K', 'held', (), None),
    ('version_chain($self, record_id)', 'K', 'held', (), None),
    ('import_json($self, json_str)', 'K', 'held', ('RuntimeError',), None),
    ('load_synonyms($self, path)', 'K', 'held', ('OSError',), None),
    ('process($self, text, pin=None)', 'K', 'held', ('RuntimeError',), None),
    (
        'set_claim_classifier($self, func)',
        'K', 'held', (),
        'Set a Python callable that classifies each written text.\n'
        '\n'
        'The callable receives the text and returns "asserted", "hedged",\n'
        '"speculative", "hearsay", or None to defer to the built-in rules.\n'
        "It is called without Vesk's locks held, so it may itself be slow\n"
        '(for example a small local LLM).\n'
        '\n'
        'Example:\n'
        '  brain.set_claim_classifier(lambda text: my_model.classify(text))',
    ),
    (
        'set_security_profile($self, profile)',
        'K', 'held', ('ValueError',),
        'Choose the security profile: "balanced" (default) or "strict".',
    ),
    ('promotion_candidates($self, min_activations=None, min_strength=None)', 'K', 'held', (), None),
    ('promote_record($self, record_id)', 'K', 'held', ('OSError',), None),
    ('promotion_block_reason($self, record_id)', 'K', 'held', (), None),
    ('list_namespaces($self)', 'N', 'held', (), None),
    ('move_record($self, record_id, new_namespace)', 'K', 'held', ('OSError',), None),
    # Search indexes and recall pipeline
    ('set_trust_config($self, config)', 'K', 'held', (), None),
    # Recall variants and context rendering
    (
        'recall($self, query, token_budget=None, min_strength=None, expand_connections=None, '
        'session_id=None, namespace=None, format=None)',
        'K', 'released', ('RuntimeError', 'ValueError'),
        None,
    ),
    (
        'recall_with_applicability($self, query, current_state, top_k=None, min_strength=None, '
        'expand_connections=None, session_id=None, namespace=None)',
        'K', 'released', ('RuntimeError',),
        'Recall without changing ranking and annotate each result with\n'
        'applicability details.',
    ),
    (
        'recall_structured($self, query, top_k=None, min_strength=None, expand_connections=None, '
        'session_id=None, namespace=None)',
        'K', 'released', ('RuntimeError',),
        None,
    ),
    (
        'recall_structured_acl($self, query, enforcement_mode="enforce", subject_id=None, roles=None, '
        'groups=None, top_k=None, min_strength=None, expand_connections=None, session_id=None, '
        'namespace=None)',
        'K', 'released', ('RuntimeError', 'ValueError'),
        None,
    ),
    (
        'recall_provenance_ranked($self, query, top_k=None, min_strength=None, expand_connections=None, '
        'session_id=None, namespace=None)',
        'K', 'released', ('RuntimeError',),
        'Recall re-ranked by born-from-collision provenance. Same shape as\n'
        '`recall_structured`, plus `base_score` (pre-provenance relevance),\n'
        '`effective_score` (after the provenance multiplier), and `provenance`\n'
        '("lived_consequence" | "external_source" | "model_generated"). Results\n'
        'are ordered by `effective_score` desc.',
    ),
    (
        'recall_at($self, query, timestamp, top_k=None, min_strength=None, expand_connections=None, '
        'session_id=None, namespace=None)',
        'K', 'released', ('RuntimeError',),
        'Temporal recall: only consider records created at or before `timestamp` (Unix seconds).',
    ),
    (
        'recall_as_of($self, query, timestamp, top_k=None, min_strength=None, expand_connections=None, '
        'namespace=None)',
        'K', 'released', ('RuntimeError',),
        'Business-time recall using all information currently known to Vesk.',
    ),
    (
        'history($self, record_id)',
        'K', 'released', ('RuntimeError',),
        'Return access/strength timeline snapshot for a single record.',
    ),
    (
        'recall_full($self, query, top_k=None, include_failures=None, min_strength=None, '
        'expand_connections=None, session_id=None, namespace=None)',
        'K', 'released', ('RuntimeError',),
        None,
    ),
    (
        'search($self, query=None, level=None, tags=None, limit=None, content_type=None, source_type=None, '
        'namespace=None, semantic_type=None)',
        'K', 'released', (),
        None,
    ),
    (
        'explain_recall($self, query, top_k=None, min_strength=None, expand_connections=None, '
        'namespace=None)',
        'K', 'held', (),
        None,
    ),
    ('replay_recall($self, trace_id)', 'K', 'held', ('KeyError',), None),
    ('end_session($self, session_id)', 'K', 'released', ('RuntimeError',), None),
    ('recall_hit_stats($self)', 'N', 'held', (), None),
    ('reset_recall_hit_stats($self)', 'N', 'held', (), None),
    (
        'recall_family_context($self, query, top_k=None, min_strength=None, expand_connections=None, '
        'session_id=None, namespace=None)',
        'K', 'released', ('RuntimeError',),
        None,
    ),
    (
        'recall_person_context($self, record_id, query, top_k=None, min_strength=None, '
        'expand_connections=None, session_id=None)',
        'K', 'released', ('RuntimeError',),
        None,
    ),
    (
        'recall_relation_context($self, record_id, query, top_k=None, min_strength=None, '
        'expand_connections=None, session_id=None, limit=None)',
        'K', 'released', ('RuntimeError',),
        None,
    ),
    (
        'recall_entity_context($self, entity_id, query, top_k=None, min_strength=None, '
        'expand_connections=None, session_id=None)',
        'K', 'released', ('RuntimeError',),
        None,
    ),
    (
        'recall_entity_context_for_record($self, record_id, query, top_k=None, min_strength=None, '
        'expand_connections=None, session_id=None)',
        'K', 'released', ('RuntimeError',),
        None,
    ),
    (
        'recall_entity_graph_context($self, entity_id, query, top_k=None, min_strength=None, '
        'expand_connections=None, session_id=None, limit=None)',
        'K', 'released', ('RuntimeError',),
        None,
    ),
    (
        'recall_project_context($self, project_id, query, top_k=None, min_strength=None, '
        'expand_connections=None, session_id=None)',
        'K', 'released', ('RuntimeError',),
        None,
    ),
    (
        'set_recall_fusion_mode($self, mode)',
        'K', 'held', ('ValueError',),
        'Choose how recall fuses its ranked signals: "family" (default),\n'
        '"equal", "embedding_only" or "bm25_embedding".',
    ),
    (
        'enable_full_cognitive_stack($self)',
        'N', 'held', (),
        'Enable all four cognitive recall reranking signals (Python binding).\n'
        '\n'
        'Equivalent to calling `set_belief_rerank_mode("limited")`,\n'
        '`set_concept_surface_mode("limited")`, `set_causal_rerank_mode("limited")`,\n'
        'and `set_policy_rerank_mode("limited")` in one call.',
    ),
    (
        'disable_full_cognitive_stack($self)',
        'N', 'held', (),
        'Disable all four cognitive recall reranking signals (Python binding).\n'
        '\n'
        'Resets every phase to Off. Counterpart to `enable_full_cognitive_stack()`.',
    ),
    (
        'set_belief_rerank_mode($self, mode)',
        'K', 'held', ('ValueError',),
        'Set belief-aware recall reranking mode (Python binding).\n'
        'mode: "off" | "shadow" | "limited"',
    ),
    (
        'set_concept_surface_mode($self, mode)',
        'K', 'held', ('ValueError',),
        'Set concept surface mode (Python binding).\n'
        'mode: "off" | "inspect" | "limited"',
    ),
    (
        'set_causal_evidence_mode($self, mode)',
        'K', 'held', ('ValueError',),
        'Set causal pattern recall reranking mode (Python binding).\n'
        'mode: "off" | "limited"\n'
        'Set causal evidence gating mode (Python binding).\n'
        'mode: "strict" | "temporal_cluster_recovery" | "explicit_trusted"\n'
        '\n'
        '"explicit_trusted" — recommended when causality is user-declared via\n'
        'link_records(). A single explicit link suffices for the repeated-evidence\n'
        'gate; the effect-variants gate is bypassed for consistent-polarity outcomes.',
    ),
    ('set_causal_rerank_mode($self, mode)', 'K', 'held', ('ValueError',), None),
    (
        'set_policy_rerank_mode($self, mode)',
        'K', 'held', ('ValueError',),
        'Set policy hint recall reranking mode (Python binding).\n'
        'mode: "off" | "limited"',
    ),
    ('suggest_memory_intent($self, query)', 'K', 'held', (), None),
    (
        'set_embedding_fn($self, func)',
        'K', 'held', (),
        'Set a Python callable as the embedding function.\n'
        'The function receives a string and returns a list of floats.\n'
        'When set, embeddings are computed on store and used as a 4th RRF signal.\n'
        '\n'
        'Example:\n'
        '  brain.set_embedding_fn(lambda text: model.encode(text).tolist())',
    ),
    (
        'set_context_dates($self, mode)',
        'K', 'held', ('ValueError',),
        'Enable or disable the built-in phrase rules for claim certainty.\n'
        'Which provenance-context entries show their event date: "off",\n'
        '"first_hand" (default) or "all". "all" raised injection success when\n'
        "outside records were dated newer than the user's statements (E23, E24).",
    ),
    (
        'set_identity_block_enabled($self, enabled)',
        'K', 'held', (),
        'Show (default) or hide the always-on block of first-hand identity facts.',
    ),
    ('clear_embedding_fn($self)', 'N', 'held', (), 'Clear the embedding function.'),
    (
        'store_embedding($self, record_id, embedding)',
        'K', 'held', ('ValueError',),
        'Store an embedding vector for a specific record.',
    ),
    ('has_embeddings($self)', 'N', 'held', (), 'Check if embedding support is active.'),
    ('recall_cognitive($self, query=None, limit=None, namespace=None)', 'K', 'released', (), None),
    ('recall_core_tier($self, query=None, limit=None, namespace=None)', 'K', 'released', (), None),
    # Cognitive layers
    ('get_suppressed_policy_hints($self, namespace=None, limit=None)', 'K', 'held', (), None),
    ('get_rejected_policy_hints($self, namespace=None, limit=None)', 'K', 'held', (), None),
    ('get_surfaced_concepts($self, limit=None)', 'K', 'held', (), None),
    ('get_surfaced_concepts_for_namespace($self, namespace, limit=None)', 'K', 'held', (), None),
    (
        'set_embedding_claim_threshold($self, threshold=None)',
        'K', 'held', (),
        'Opt in to embedding-based belief clustering at this cosine threshold (None disables it).',
    ),
    (
        'get_belief_id_for_record($self, record_id)',
        'K', 'held', (),
        'ID of the belief that currently owns a record, if any.',
    ),
    ('get_surfaced_policy_hints($self, limit=None)', 'K', 'held', (), None),
    ('get_surfaced_policy_hints_for_namespace($self, namespace, limit=None)', 'K', 'held', (), None),
    ('set_claim_rules_enabled($self, enabled)', 'K', 'held', (), None),
    # Maintenance cycle
    ('decay($self)', 'N', 'released', ('RuntimeError',), None),
    (
        'decay_by_route_state($self)',
        'N', 'released', ('RuntimeError',),
        'Route-state-stratified decay (demotion, not deletion). Reads each\n'
        "record's consequence route-state class instead of its access frequency:\n"
        'a refuted scar never field-decays, a never-confirmed candidate decays\n'
        'fastest regardless of how often it was accessed, and weak records are\n'
        'demoted to cold (trace kept) rather than deleted. Returns (decayed, demoted).',
    ),
    ('consolidate($self)', 'N', 'released', ('RuntimeError',), None),
    ('reflect($self)', 'N', 'released', ('RuntimeError',), None),
    (
        'insights($self, phase=None)',
        'K', 'held', ('ValueError',),
        'Run all insight detectors (phase 0 + 1 + 2) and return list of dicts.',
    ),
    ('configure_maintenance($self, config)', 'K', 'held', (), None),
    ('run_maintenance($self)', 'N', 'released', (), None),
    ('get_maintenance_trend_summary($self)', 'N', 'held', (), None),
    ('start_background($self, interval_secs=None)', 'K', 'held', (), None),
    # Audit graph, consequences and outcome receipts
    (
        'annotate_audit_entity($self, record_or_entity_id, kind, status, canonical_id=None)',
        'K', 'released', ('RuntimeError', 'ValueError'),
        None,
    ),
    (
        'set_audit_entity_status($self, record_or_entity_id, status, valid_from=None, valid_until=None)',
        'K', 'released', ('RuntimeError', 'ValueError'),
        None,
    ),
    (
        'link_audit_entities($self, from_record_or_entity_id, to_record_or_entity_id, relation, '
        'valid_from=None, valid_until=None)',
        'K', 'released', ('RuntimeError', 'ValueError'),
        None,
    ),
    (
        'audit_graph($self, namespace=None, valid_at=None)',
        'K', 'released', ('RuntimeError', 'ValueError'),
        None,
    ),
    ('explain_decision($self, decision_id)', 'K', 'released', ('RuntimeError', 'ValueError'), None),
    ('trace_claim_evidence($self, claim_id)', 'K', 'released', ('RuntimeError', 'ValueError'), None),
    ('find_claim_conflicts($self, claim_id)', 'K', 'released', ('RuntimeError', 'ValueError'), None),
    (
        'capture_outcome_receipt($self, task_id, lineage_id, attempt_id, candidate_record_ids, '
        'selected_record_ids, outcome, supersedes_receipt_id=None, namespace=None, provenance=None, '
        'logging_policy_id=None, selected_set_probability_bps=None, candidate_verdicts=None, '
        'verifier_id=None)',
        'K', 'released', ('RuntimeError', 'ValueError'),
        None,
    ),
    ('outcome_receipts($self, namespace=None, lineage_id=None)', 'K', 'released', ('RuntimeError',), None),
    (
        'capture_consequence($self, situation, action, consequence, trust=0, scope=None, provenance=None, '
        'links=None, namespace=None)',
        'K', 'released', ('RuntimeError',),
        None,
    ),
    ('get_consequence_unit($self, record_id)', 'K', 'held', (), None),
    ('get_consequence_units($self, query=None, limit=None, namespace=None)', 'K', 'released', (), None),
    ('explain_consequence_unit($self, record_id)', 'K', 'held', (), None),
    (
        'consequence_verdict($self, situation, action, namespace=None)',
        'K', 'released', (),
        'Scar-protected verdict for a (situation, action) pair.\n'
        '\n'
        'Returns a dict: {"verdict": "supports"|"refutes"|"inconclusive",\n'
        '"supports": int, "refutes": int, "inconclusive": int, "abstain": bool}.\n'
        'A lived `refutes` always wins over later supporting frequency (the\n'
        'gaslight guard); `abstain` is true while nothing has resolved the pair.',
    ),
    (
        'should_abstain_on($self, situation, action, namespace=None)',
        'K', 'held', (),
        'True when the agent should abstain on this (situation, action) pair —\n'
        'no lived consequence has resolved it. Honest "I haven\'t verified this".',
    ),
    (
        'policy_hint($self, situation, action, namespace=None)',
        'K', 'released', (),
        'Scar-protected runtime policy hint for a (situation, action) pair.\n'
        '\n'
        'Returns a dict: {"hint": "avoid"|"prefer"|"verify_first", "reason": str,\n'
        '"verdict": "supports"|"refutes"|"inconclusive", "supports": int,\n'
        '"refutes": int, "requires_evidence": bool, "should_block": bool,\n'
        '"scar": bool, "situation": str, "action": str}. A refuted action yields\n'
        '`avoid` + `should_block`; an unverified one yields `verify_first` +\n'
        '`requires_evidence`. Deterministic, no LLM.',
    ),
    (
        'evaluate_applicability($self, record_id, current_state)',
        'K', 'released', (),
        'Evaluate one record against agent-supplied structured current state.',
    ),
    (
        'record_world_fact($self, situation, action, fact, namespace=None)',
        'K', 'released', ('RuntimeError',),
        'Close an evidence debt by recording a world fact for a (situation, action).\n'
        '\n'
        'This is the Python-reachable end of the executable-judge loop: pass the\n'
        '3-state fact ("supports" | "refutes" | "inconclusive") produced by\n'
        '`world_fact_from_output` from a real command, and it is captured as a\n'
        'scar-protected consequence:\n'
        '  * "supports"     → a confirming consequence (trust +1);\n'
        '  * "refutes"      → a refuting consequence (trust -1) — a lived scar that\n'
        '    later supporting frequency can never bury (see `consequence_verdict`);\n'
        '  * "inconclusive" → nothing is recorded; the debt stays open.\n'
        '\n'
        "Returns the new consequence unit's record id, or None for inconclusive.",
    ),
    ('start_retrieval_episode($self, query, candidate_ids, routes=None)', 'K', 'held', ('ValueError',), None),
    (
        'set_outcome_classifier($self, func)',
        'K', 'held', (),
        "Set a Python callable that labels each written text's outcome.\n"
        '\n'
        'The callable receives the text and returns "positive", "negative", or\n'
        'None. The result is stored as `metadata["outcome"]` (unless the caller\n'
        'set it) and decides whether advice says avoid or prefer. Called without\n'
        "Vesk's locks held.",
    ),
    # Entity, relation, project and persona memory
    ('get_structural_relations($self, limit=None)', 'K', 'held', (), None),
    ('get_relations($self, limit=None)', 'K', 'held', (), None),
    ('get_structural_relations_for_record($self, record_id, limit=None)', 'K', 'held', (), None),
    ('get_relations_for_record($self, record_id, limit=None)', 'K', 'held', (), None),
    ('get_relation_digest($self, record_id, limit=None)', 'K', 'held', (), None),
    ('get_entity_digest($self, entity_id)', 'K', 'held', (), None),
    ('get_entity_digest_for_record($self, record_id)', 'K', 'held', (), None),
    ('get_entity_graph_digest($self, entity_id, limit=None)', 'K', 'held', (), None),
    ('get_entity_graph_digest_for_record($self, record_id, limit=None)', 'K', 'held', (), None),
    (
        'get_entity_graph_neighbors($self, entity_id, top_n=None, min_weight=None, '
        'relation_type_filter=None, edge_limit=None)',
        'K', 'held', (),
        None,
    ),
    ('get_entity_relations($self, entity_id, limit=None)', 'K', 'held', (), None),
    ('get_family_graph($self, namespace=None)', 'K', 'held', (), None),
    ('get_family_graph_for_record($self, record_id)', 'K', 'held', (), None),
    ('get_person_digest($self, record_id)', 'K', 'held', (), None),
    ('get_project_graph($self, project_id)', 'K', 'held', (), None),
    ('get_project_graph_for_record($self, record_id)', 'K', 'held', (), None),
    ('get_project_status($self, project_id)', 'K', 'held', (), None),
    ('get_project_status_for_record($self, record_id)', 'K', 'held', (), None),
    ('get_project_timeline($self, project_id)', 'K', 'held', (), None),
    ('get_project_timeline_for_record($self, record_id)', 'K', 'held', (), None),
    ('get_project_digest($self, project_id)', 'K', 'held', (), None),
    ('get_project_digest_for_record($self, record_id)', 'K', 'held', (), None),
    ('start_research($self, topic, depth=None)', 'K', 'held', (), None),
    (
        'add_research_finding($self, project_id, query, result, url=None)',
        'K', 'held', ('RuntimeError',),
        None,
    ),
    (
        'add_research_evidence_finding($self, project_id, query, result, document_id, revision_id, uri, '
        'source_bytes, byte_start, byte_end, verification_status="candidate", '
        'answer_permission="context_only", page_start=None, page_end=None, cell_range=None)',
        'K', 'held', ('RuntimeError', 'ValueError'),
        None,
    ),
    ('complete_research($self, project_id, synthesis=None)', 'K', 'held', ('RuntimeError',), None),
    (
        'store_project_task($self, project_id, content, due_date=None, metadata=None)',
        'K', 'held', ('RuntimeError',),
        None,
    ),
    ('store_project_todo($self, project_id, content, metadata=None)', 'K', 'held', ('RuntimeError',), None),
    ('store_project_note($self, project_id, content, metadata=None)', 'K', 'held', ('RuntimeError',), None),
    (
        'store_family_person($self, relation_type, content, metadata=None, namespace=None)',
        'K', 'held', ('RuntimeError',),
        None,
    ),
    (
        'link_records($self, source_id, target_id, relation_type, weight=None)',
        'K', 'held', ('RuntimeError',),
        None,
    ),
    (
        'link_entities($self, source_entity_id, target_entity_id, relation_type, weight=None)',
        'K', 'held', ('RuntimeError',),
        None,
    ),
    ('store_user_profile($self, fields)', 'K', 'held', ('RuntimeError',), None),
    ('get_user_profile($self)', 'N', 'held', (), None),
    ('set_persona($self, persona)', 'K', 'held', ('RuntimeError',), None),
    ('get_persona($self)', 'N', 'held', (), None),
    ('get_credibility($self, url)', 'K', 'held', (), None),
    ('set_credibility_override($self, domain, score)', 'K', 'held', ('ValueError',), None),
    # Governance, health and explanation reports
    ('explain_record($self, record_id)', 'K', 'held', (), None),
    ('provenance_chain($self, record_id)', 'K', 'held', (), None),
    ('explainability_bundle($self, record_id)', 'K', 'held', (), None),
    (
        'cross_namespace_digest($self, namespace=None, top_concepts_limit=None, min_record_count=None, '
        'pairwise_similarity_threshold=None, include_dimensions=None, compact_summary=None)',
        'K', 'held', (),
        None,
    ),
    ('stats($self)', 'N', 'held', (), None),
    ('get_reflection_summaries($self, limit=None)', 'K', 'held', (), None),
    ('get_reflection_digest($self, limit=None)', 'K', 'held', (), None),
    ('get_memory_health_digest($self, limit=None)', 'K', 'held', (), None),
    ('deprecate_belief($self, belief_id)', 'K', 'held', ('RuntimeError',), None),
    ('deprecate_belief_with_reason($self, belief_id, reason)', 'K', 'held', ('RuntimeError',), None),
    ('invalidate_causal_pattern($self, pattern_id)', 'K', 'held', ('RuntimeError',), None),
    (
        'invalidate_causal_pattern_with_reason($self, pattern_id, reason)',
        'K', 'held', ('RuntimeError',),
        None,
    ),
    ('retract_causal_pattern($self, pattern_id)', 'K', 'held', ('RuntimeError',), None),
    ('retract_causal_pattern_with_reason($self, pattern_id, reason)', 'K', 'held', ('RuntimeError',), None),
    ('retract_policy_hint($self, hint_id)', 'K', 'held', ('RuntimeError',), None),
    ('retract_policy_hint_with_reason($self, hint_id, reason)', 'K', 'held', ('RuntimeError',), None),
    ('get_correction_log($self)', 'N', 'held', (), None),
    ('get_correction_log_for_target($self, target_kind, target_id)', 'K', 'held', (), None),
    ('get_correction_review_queue($self, limit=None)', 'K', 'held', (), None),
    ('get_suggested_corrections($self, limit=None)', 'K', 'held', (), None),
    ('get_suggested_corrections_report($self, limit=None)', 'K', 'held', (), None),
    ('get_namespace_governance_status($self, namespace=None)', 'K', 'held', (), None),
    ('get_high_volatility_beliefs($self, min_volatility=None, limit=None)', 'K', 'held', (), None),
    ('get_high_salience_records($self, min_salience=None, limit=None)', 'K', 'held', (), None),
    ('get_salience_summary($self)', 'N', 'held', (), None),
    ('get_low_stability_beliefs($self, max_stability=None, limit=None)', 'K', 'held', (), None),
    ('get_belief_instability_summary($self)', 'N', 'held', (), None),
    ('get_contradiction_clusters($self, namespace=None, limit=None)', 'K', 'held', (), None),
    ('get_recently_corrected_beliefs($self, limit=None)', 'K', 'held', (), None),
    ('get_contradiction_review_queue($self, namespace=None, limit=None)', 'K', 'held', (), None),
    ('get_policy_lifecycle_summary($self, action_limit=None, domain_limit=None)', 'K', 'held', (), None),
    ('get_policy_pressure_report($self, namespace=None, limit=None)', 'K', 'held', (), None),
    ('record_tool_failure($self, tool_name)', 'K', 'held', (), None),
    ('record_tool_success($self, tool_name)', 'K', 'held', (), None),
    ('is_tool_available($self, tool_name)', 'K', 'held', (), None),
    ('tool_health($self)', 'N', 'held', (), None),
    (
        'security_report($self)',
        'N', 'released', (),
        'Protections, their states and evidence, store statistics and warnings.',
    ),
    ('tier_stats($self)', 'N', 'held', (), None),
    ('namespace_stats($self)', 'N', 'held', (), None),
    # Context capsules, exchange and portable containers
    (
        'build_context_capsule($self, purpose, token_budget=2000, namespace=None, valid_at=None)',
        'K', 'held', ('ValueError',),
        None,
    ),
    (
        'build_compacted_context_capsule($self, purpose, token_budget=2000, namespace=None, valid_at=None)',
        'K', 'held', ('ValueError',),
        None,
    ),
    ('export_context($self, query, top_k=None, namespace=None)', 'K', 'held', ('RuntimeError',), None),
    ('import_context($self, fragment_json)', 'K', 'held', ('RuntimeError',), None),
    ('generate_container_signing_key()', 'SN', 'held', (), None),
    ('export_container($self, output_path)', 'K', 'held', ('OSError',), None),
    ('export_signed_container($self, output_path, signing_key)', 'K', 'held', ('OSError',), None),
    ('append_container($self, container_path)', 'K', 'held', ('OSError',), None),
    ('append_signed_container($self, container_path, signing_key)', 'K', 'held', ('OSError',), None),
    (
        'append_container_with_retention($self, container_path, min_generations=1, max_generations=None, '
        'max_age_seconds=None, max_size_bytes=None)',
        'K', 'held', ('OSError',),
        None,
    ),
    (
        'append_signed_container_with_retention($self, container_path, signing_key, min_generations=1, '
        'max_generations=None, max_age_seconds=None, max_size_bytes=None)',
        'K', 'held', ('OSError',),
        None,
    ),
    ('inspect_container(container_path)', 'S', 'held', ('OSError',), None),
    (
        'verify_container_authenticity(container_path, trusted_public_key=None, require_all_signed=True)',
        'S', 'held', ('OSError',),
        None,
    ),
    (
        'update_container_authenticity_checkpoint(container_path, checkpoint_path, trusted_public_key)',
        'S', 'held', ('OSError',),
        None,
    ),
    (
        'verify_container_authenticity_checkpoint(container_path, checkpoint_path)',
        'S', 'held', ('OSError',),
        None,
    ),
    ('list_container_generations(container_path)', 'S', 'held', ('OSError',), None),
    ('inspect_container_generation(container_path, generation)', 'S', 'held', ('OSError',), None),
    (
        'diff_container_generations(container_path, from_generation, to_generation)',
        'S', 'held', ('OSError',),
        None,
    ),
    ('compact_container(container_path, keep_last)', 'S', 'held', ('OSError',), None),
    (
        'apply_container_retention(container_path, min_generations=1, max_generations=None, '
        'max_age_seconds=None, max_size_bytes=None)',
        'S', 'held', ('OSError',),
        None,
    ),
    (
        'plan_container_retention(container_path, min_generations=1, max_generations=None, '
        'max_age_seconds=None, max_size_bytes=None)',
        'S', 'held', ('OSError',),
        None,
    ),
    ('hold_container_generation(container_path, generation, label)', 'S', 'held', ('OSError',), None),
    (
        'hold_signed_container_generation(container_path, generation, label, signing_key)',
        'S', 'held', ('OSError',),
        None,
    ),
    ('release_container_generation_hold(container_path, generation)', 'S', 'held', ('OSError',), None),
    (
        'release_signed_container_generation_hold(container_path, generation, signing_key)',
        'S', 'held', ('OSError',),
        None,
    ),
    (
        'start_container_retention_scheduler($self, container_path, interval_seconds, min_generations=1, '
        'max_generations=None, max_age_seconds=None, max_size_bytes=None)',
        'K', 'held', ('OSError',),
        None,
    ),
    ('stop_container_retention_scheduler($self)', 'N', 'held', (), None),
    ('container_retention_scheduler_status($self)', 'N', 'held', (), None),
    ('verify_container(container_path)', 'S', 'held', ('OSError',), None),
    ('verify_container_generation(container_path, generation)', 'S', 'held', ('OSError',), None),
    ('verify_container_segments(container_path, names)', 'S', 'held', ('OSError',), None),
    ('read_container_segment(container_path, name)', 'S', 'held', ('OSError',), None),
    (
        'read_container_segment_at_generation(container_path, generation, name)',
        'S', 'held', ('OSError',),
        None,
    ),
    ('import_container(container_path, target_path)', 'S', 'held', ('OSError',), None),
    (
        'import_authenticated_container(container_path, target_path, trusted_public_key, '
        'require_all_signed=True)',
        'S', 'held', ('OSError',),
        None,
    ),
    ('import_container_generation(container_path, target_path, generation)', 'S', 'held', ('OSError',), None),
    ('extract_container_segments(container_path, target_path, names)', 'S', 'held', ('OSError',), None),
    ('export_json($self)', 'N', 'held', ('RuntimeError',), None),
)

# Methods not built yet, by the work that brings them. Empty once every
# method of the table is built.
PENDING = {
    'Write path, record access and ingress trust': (
    ),
    'Recall variants and context rendering': (
        'recall_family_context', 'recall_person_context', 'recall_relation_context',
        'recall_entity_context', 'recall_entity_context_for_record', 'recall_entity_graph_context',
        'recall_project_context', 'set_causal_evidence_mode',
    ),
    'Cognitive layers': (
        'get_suppressed_policy_hints', 'get_rejected_policy_hints', 'get_surfaced_policy_hints',
        'get_surfaced_policy_hints_for_namespace',
    ),
    'Maintenance cycle': (
        'consolidate',
    ),
    'Entity, relation, project and persona memory': (
    ),
    'Governance, health and explanation reports': (
        'explain_record', 'provenance_chain', 'explainability_bundle',
        'get_correction_review_queue', 'get_suggested_corrections',
        'get_suggested_corrections_report', 'get_namespace_governance_status',
    ),
}
