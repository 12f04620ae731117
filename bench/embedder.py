"""A fixed, dependency-light text embedder shared by every system under test.

Words are hashed into 4096 signed buckets (the hashing trick) and the
bucket vector is projected to 384 dimensions by a seeded Gaussian matrix,
then normalised. It knows nothing of meaning; it makes texts that share
words close, which is what a paraphrase that keeps the names needs. Every
system gets the very same function, so the cost of calling it is the same
for all of them and the comparison is of what each does with the vectors.
"""

from __future__ import annotations

import re
import zlib

import numpy as np

DIM = 384
BUCKETS = 4096
SEED = 384_4096

_WORD = re.compile(r"[a-z0-9]+")
_STOP = frozenset("""
a an and are as at be by for from has have in is it its of on or the to was
were will with what which when how does do did this that after before
""".split())


class HashingEmbedder:
    def __init__(self, dim: int = DIM, buckets: int = BUCKETS, seed: int = SEED):
        rng = np.random.default_rng(seed)
        self.dim = dim
        self.buckets = buckets
        self.projection = (rng.standard_normal((buckets, dim)) / np.sqrt(dim)).astype(np.float32)

    def vector(self, text: str) -> np.ndarray:
        words = [w for w in _WORD.findall(text.lower()) if w not in _STOP]
        if not words:
            words = ["<empty>"]
        rows = []
        signs = []
        for w in words:
            h = zlib.crc32(w.encode())
            rows.append(h % self.buckets)
            signs.append(1.0 if (h >> 31) & 1 else -1.0)
        v = np.asarray(signs, dtype=np.float32) @ self.projection[rows]
        norm = float(np.linalg.norm(v))
        return v / norm if norm > 0 else v

    def __call__(self, text: str) -> list:
        """The embedding function handed to every system: text to a list of floats."""
        return self.vector(text).tolist()
