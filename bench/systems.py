"""The systems under test, each behind the same small adapter.

Every adapter can create a store in an empty directory, store one record,
close, open the directory again and answer a query for one namespace. The
peers are used the way an agent-memory layer uses them: SQLite FTS5 as a
table plus a full-text index, one autocommit INSERT (its own transaction)
per write; Chroma as a persistent local collection fed the shared embeddings; bm25s as a pure
in-memory BM25 index (built in one go, saved and loaded as files).

A recall result is a list of dicts with at least "id" and "content".
"""

from __future__ import annotations

import inspect
import json
import os
import re
import sqlite3
import threading
import time

TOP_K = 10

_WORD = re.compile(r"[A-Za-z0-9]+")
_FTS_STOP = frozenset("""
a an and are as at be by can do does for from has have how i in is it its me
my of on or our the to was we were what when where which who why will with
""".split())


def query_terms(text: str) -> list[str]:
    """The query's content words, lower-cased, each once, in order."""
    out, seen = [], set()
    for w in _WORD.findall(text.lower()):
        if w not in _FTS_STOP and w not in seen:
            seen.add(w)
            out.append(w)
    return out


def _kwargs_for(method, wanted: dict) -> dict:
    """Keep only the keyword arguments the method declares (when it tells)."""
    try:
        params = inspect.signature(method).parameters
    except (TypeError, ValueError):
        return wanted
    if any(p.kind == p.VAR_KEYWORD for p in params.values()):
        return wanted
    return {k: v for k, v in wanted.items() if k in params}


# ---------------------------------------------------------------- Vesk

class Vesk:
    """The store under test, in one of three set-ups."""

    PASSWORD = "bench-password-4c9e1d"
    REQUIRED = ("store", "recall", "recall_structured", "close")

    def __init__(self, variant: str, embedder=None, text_budget: int = 600):
        self.variant = variant              # "plain", "encrypted" or "embeddings"
        self.embedder = embedder
        self.text_budget = text_budget
        self.v = None

    @classmethod
    def missing(cls, variant: str) -> str | None:
        """Why this set-up cannot run yet, or None when it can."""
        try:
            import vesk
        except Exception as e:  # noqa: BLE001 - any import failure means "not built"
            return f"the vesk package does not import ({type(e).__name__}: {e})"
        klass = getattr(vesk, "Vesk", None)
        if klass is None:
            return "vesk.Vesk does not exist yet"
        needed = cls.REQUIRED + (("set_embedding_fn",) if variant == "embeddings" else ())
        absent = [m for m in needed if not hasattr(klass, m)]
        if absent:
            return "vesk.Vesk has no " + ", ".join(absent) + " yet"
        return None

    def _open(self, path: str):
        import vesk
        pw = self.PASSWORD if self.variant == "encrypted" else None
        self.v = vesk.Vesk(path, password=pw) if pw else vesk.Vesk(path)
        if self.variant == "embeddings":
            self.v.set_embedding_fn(self.embedder)
        # Which optional arguments the methods take is read once, outside
        # the timed calls.
        self._store_kw = set(_kwargs_for(self.v.store, dict.fromkeys(("tags", "metadata", "namespace"))))
        self._recall_kw = set(_kwargs_for(self.v.recall, dict.fromkeys(("token_budget", "top_k", "namespace"))))

    def create(self, path: str):
        self._open(path)

    def open(self, path: str):
        self._open(path)

    def store(self, rec) -> str:
        kw = {"tags": rec.tags, "metadata": rec.metadata, "namespace": rec.namespace}
        return self.v.store(rec.content, **{k: kw[k] for k in self._store_kw})

    def close(self):
        if self.v is not None:
            self.v.close()
            self.v = None

    def recall_text(self, q) -> str:
        kw = {"token_budget": self.text_budget, "top_k": TOP_K, "namespace": q.namespace}
        return self.v.recall(q.text, **{k: kw[k] for k in self._recall_kw})

    def recall_structured(self, q) -> list:
        return self.v.recall_structured(q.text, top_k=TOP_K, namespace=q.namespace)

    def reader(self):
        return self


# ---------------------------------------------------------------- SQLite FTS5

class SqliteFts5:
    """A memories table with an external-content FTS5 index kept by a trigger."""

    SCHEMA = """
    CREATE TABLE memories(
        rowid INTEGER PRIMARY KEY,
        id TEXT NOT NULL UNIQUE,
        namespace TEXT NOT NULL,
        content TEXT NOT NULL,
        tags TEXT NOT NULL,
        metadata TEXT NOT NULL,
        created_at REAL NOT NULL);
    CREATE VIRTUAL TABLE memories_fts USING fts5(
        content, content='memories', content_rowid='rowid');
    CREATE TRIGGER memories_ai AFTER INSERT ON memories BEGIN
        INSERT INTO memories_fts(rowid, content) VALUES (new.rowid, new.content);
    END;
    """
    INSERT = ("INSERT INTO memories(id, namespace, content, tags, metadata, created_at) "
              "VALUES (?, ?, ?, ?, ?, ?)")
    QUERY = """
    SELECT m.id, m.content, m.tags, m.metadata, bm25(memories_fts) AS score
    FROM memories_fts JOIN memories m ON m.rowid = memories_fts.rowid
    WHERE memories_fts MATCH ? AND m.namespace = ?
    ORDER BY score LIMIT ?
    """

    def __init__(self):
        self.conn = None
        self.path = None
        self._readers: list = []
        self._local = threading.local()

    def _connect(self) -> sqlite3.Connection:
        conn = sqlite3.connect(os.path.join(self.path, "memories.db"), isolation_level=None,
                               check_same_thread=False)
        conn.execute("PRAGMA journal_mode=WAL")
        conn.execute("PRAGMA synchronous=NORMAL")
        return conn

    def create(self, path: str):
        self.path = path
        os.makedirs(path, exist_ok=True)
        self.conn = self._connect()
        self.conn.executescript(self.SCHEMA)

    def open(self, path: str):
        self.path = path
        self.conn = self._connect()

    def store(self, rec) -> str:
        # The connection is in autocommit mode: the one INSERT (and the FTS5
        # row its trigger adds) is its own transaction, committed before
        # execute returns, with no BEGIN and COMMIT round trips from Python.
        self.conn.execute(self.INSERT, (rec.id, rec.namespace, rec.content, json.dumps(rec.tags),
                                        json.dumps(rec.metadata), time.time()))
        return rec.id

    def close(self):
        for r in self._readers:
            r.close()
        self._readers.clear()
        if self.conn is not None:
            self.conn.close()
            self.conn = None

    def query(self, q, conn=None) -> list:
        terms = query_terms(q.text)
        if not terms:
            return []
        match = " OR ".join('"' + t + '"' for t in terms)
        rows = (conn or self.conn).execute(self.QUERY, (match, q.namespace, TOP_K)).fetchall()
        return [{"id": r[0], "content": r[1], "tags": json.loads(r[2]),
                 "metadata": json.loads(r[3]), "score": -r[4]} for r in rows]

    def reader(self):
        """A query object for the calling thread: one connection per thread,
        as a multi-threaded application would hold them."""
        conn = self._connect()
        self._readers.append(conn)
        outer = self

        class _Reader:
            def query(self, q):
                return outer.query(q, conn)
        return _Reader()


# ---------------------------------------------------------------- Chroma

class Chroma:
    """A persistent Chroma collection fed the shared embeddings (cosine)."""

    COLLECTION = "memories"

    def __init__(self, embedder):
        self.embedder = embedder
        self.client = None
        self.col = None

    @staticmethod
    def _client(path: str):
        import chromadb
        from chromadb.config import Settings
        return chromadb.PersistentClient(path=path, settings=Settings(anonymized_telemetry=False))

    def create(self, path: str):
        self.client = self._client(path)
        self.col = self.client.create_collection(self.COLLECTION, embedding_function=None,
                                                 metadata={"hnsw:space": "cosine"})

    def open(self, path: str):
        self.client = self._client(path)
        self.col = self.client.get_collection(self.COLLECTION, embedding_function=None)

    @staticmethod
    def _meta(rec) -> dict:
        return {"namespace": rec.namespace, "tags": ",".join(rec.tags), **rec.metadata}

    def store(self, rec) -> str:
        self.col.add(ids=[rec.id], documents=[rec.content], metadatas=[self._meta(rec)],
                     embeddings=[self.embedder(rec.content)])
        return rec.id

    def store_batch(self, recs) -> None:
        self.col.add(ids=[r.id for r in recs], documents=[r.content for r in recs],
                     metadatas=[self._meta(r) for r in recs],
                     embeddings=[self.embedder(r.content) for r in recs])

    def close(self):
        # The client has no close; dropping it and the shared system cache
        # releases the files.
        self.col = None
        self.client = None
        try:
            from chromadb.api.client import SharedSystemClient
            SharedSystemClient.clear_system_cache()
        except Exception:  # noqa: BLE001 - older or newer client layouts
            pass

    def query(self, q) -> list:
        r = self.col.query(query_embeddings=[self.embedder(q.text)], n_results=TOP_K,
                           where={"namespace": q.namespace},
                           include=["documents", "metadatas", "distances"])
        return [{"id": i, "content": d, "metadata": m, "score": 1.0 - dist}
                for i, d, m, dist in zip(r["ids"][0], r["documents"][0], r["metadatas"][0],
                                         r["distances"][0])]

    def reader(self):
        return self


# ---------------------------------------------------------------- bm25s

class Bm25s:
    """In-memory BM25 (sparse matrices), one index per namespace.

    bm25s has no incremental insert: records are gathered and the index is
    built once at close, then saved; open loads the saved files."""

    def __init__(self):
        self.pending: dict = {}
        self.indexes: dict = {}
        self.path = None

    def create(self, path: str):
        self.path = path
        os.makedirs(path, exist_ok=True)
        self.pending = {}

    def store(self, rec) -> str:
        self.pending.setdefault(rec.namespace, []).append(
            {"id": rec.id, "content": rec.content, "tags": rec.tags, "metadata": rec.metadata})
        return rec.id

    def close(self):
        if not self.pending:
            self.indexes = {}
            return
        import bm25s
        from bm25s.tokenization import Tokenizer
        for ns, docs in self.pending.items():
            d = os.path.join(self.path, ns)
            os.makedirs(d, exist_ok=True)
            tok = Tokenizer(stopwords="en")
            ids = tok.tokenize([x["content"] for x in docs], return_as="tuple", show_progress=False)
            retriever = bm25s.BM25()
            retriever.index(ids, show_progress=False)
            retriever.save(d, show_progress=False)
            tok.save_vocab(d)
            with open(os.path.join(d, "docs.jsonl"), "w") as f:
                for x in docs:
                    f.write(json.dumps(x) + "\n")
        self.pending = {}

    def open(self, path: str):
        import bm25s
        from bm25s.tokenization import Tokenizer
        self.path = path
        self.indexes = {}
        for ns in sorted(os.listdir(path)):
            d = os.path.join(path, ns)
            retriever = bm25s.BM25.load(d, show_progress=False)
            tok = Tokenizer(stopwords="en")
            tok.load_vocab(d)
            with open(os.path.join(d, "docs.jsonl")) as f:
                docs = [json.loads(line) for line in f]
            self.indexes[ns] = (tok, retriever, docs)

    def query(self, q) -> list:
        entry = self.indexes.get(q.namespace)
        if entry is None:
            return []
        tok, retriever, docs = entry
        ids = tok.tokenize([q.text], update_vocab=False, return_as="ids", show_progress=False)
        k = min(TOP_K, len(docs))
        res, scores = retriever.retrieve(ids, k=k, show_progress=False, n_threads=0)
        out = []
        for i, s in zip(res[0], scores[0]):
            if s > 0:
                d = docs[int(i)]
                out.append({**d, "score": float(s)})
        return out

    def reader(self):
        return self
