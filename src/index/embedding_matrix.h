// EmbeddingMatrix: the in-memory vectors of the embedding store, laid out for
// a fast cosine scan.
//
// All vectors share one length (the dimension, fixed by the first vector and
// forgotten when the last one goes). They live in one flat array, without a
// heap object per vector: rows are grouped in blocks of eight, and a block
// stores its vectors interleaved, element d of the eight rows side by side
// (block b, element d, lane l at data[b * dim + d].f[l]). A scan then walks
// memory once, front to back, and computes eight dot products per SIMD
// operation, each lane accumulating its own vector's products in index order
// with one rounding per multiply and per add: exactly the sum a plain loop
// over one vector gives, only eight (and four blocks) at a time.
//
// Each row also keeps the square root of its sum of squares (accumulated the
// same way), so a scan reads every element once. A row index maps ids to
// rows; removal moves the last row into the hole.
//
// Not thread-safe: the embedding store guards it with its reader-writer lock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/string_hash.h"
#include "model/flat_map.h"

namespace vesk {

class EmbeddingMatrix {
 public:
  static constexpr size_t kLanes = 8;

  size_t rows() const { return ids_.size(); }
  bool empty() const { return ids_.empty(); }
  // 0 when empty.
  size_t dim() const { return dim_; }

  std::optional<uint32_t> find(std::string_view id) const;
  // Starts loading what find(id) reads first; finds of many ids run faster
  // with each id prefetched some finds ahead.
  void prefetch(std::string_view id) const { index_.prefetch(id); }
  const std::string& id(size_t row) const { return ids_[row]; }
  // Copies a row's elements into out (dim() floats).
  void copy_row(size_t row, float* out) const;
  std::vector<float> row(size_t row) const;

  // Inserts or replaces the vector of an id. The caller has checked that the
  // vector is nonempty and, unless the matrix is empty, of length dim().
  void set(std::string_view id, std::span<const float> v);
  // Room for `rows` rows of `dim` elements, so that filling the matrix moves
  // nothing.
  void reserve(size_t rows, size_t dim);
  // set() for each (id, vector) in order, with the new rows written side by
  // side on the thread pool. The same checks are the caller's.
  void set_all(std::span<const std::pair<std::string_view, std::span<const float>>> rows);
  // False when the id has no row.
  bool erase(std::string_view id);
  // Drops every row whose id `keep` refuses; the rows kept stay in their
  // order. Returns the number dropped.
  size_t retain(const std::function<bool(std::string_view)>& keep);
  void clear();

  // Cosine similarity of the query with every row, in 32-bit floats: the dot
  // product over sqrt(sum of squares of the row) * sqrt(sum of squares of the
  // query). Appends (score, row) for each row whose score is above 0; rows
  // with a zero denominator, and scores that are NaN, are left out. The query
  // must have dim() elements.
  void positive_cosines(std::span<const float> query, std::vector<std::pair<float, uint32_t>>& out) const;
  // The same over the rows a mask selects: one byte per block of eight rows
  // (blocks() of them), bit l standing for row block * 8 + l. Only blocks
  // with a bit set are read; each selected row scores as the scan of every
  // row scores it.
  void positive_cosines(std::span<const float> query, std::span<const uint8_t> selected_lanes,
                        std::vector<std::pair<float, uint32_t>>& out) const;
  // The number of blocks of eight rows.
  size_t blocks() const { return (rows() + kLanes - 1) / kLanes; }

  // sqrt of the in-order 32-bit sum of squares; the norm every row keeps.
  static float norm(std::span<const float> v);

 private:
  struct alignas(32) Lane8 {
    float f[kLanes];
  };

  Lane8* block(size_t b) { return data_.data() + b * dim_; }
  const Lane8* block(size_t b) const { return data_.data() + b * dim_; }
  void write_row(size_t row, std::span<const float> v);
  // Copies the elements and the norm of row `from` to row `to`.
  void move_row(size_t from, size_t to);
  // A new row for the id, its elements zero; the first row sets the dimension.
  size_t add_row(std::string_view id, size_t dim);
  // Scores the rows of blocks [b0, b0 + nb) (those `lanes` selects when
  // kMasked), nb at most kChunkBlocks; `dots` holds nb * 8 floats. The scan
  // of every row is compiled without the mask test.
  template <bool kMasked>
  void score_blocks(std::span<const float> query, float qnorm, size_t b0, size_t nb, const uint8_t* lanes,
                    float* dots, std::vector<std::pair<float, uint32_t>>& out) const;
  // Blocks are scored a chunk at a time so the dot products stay in cache.
  static constexpr size_t kChunkBlocks = 64;

  size_t dim_ = 0;
  std::vector<Lane8> data_;   // ceil(rows / 8) blocks of dim_ Lane8 each
  std::vector<float> norms_;  // one per row
  std::vector<std::string> ids_;
  FlatStringMap<uint32_t> index_;
};

}  // namespace vesk
