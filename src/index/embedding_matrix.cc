#include "index/embedding_matrix.h"

#include <tbb/blocked_range.h>
#include <tbb/parallel_for.h>

#include <cmath>
#include <cstring>

namespace vesk {

namespace {

using Lane8f = float __attribute__((vector_size(32)));

// Dot products of the query with every row of `nblocks` consecutive blocks,
// eight per block, written to out[b * 8 + lane]. Four blocks are in flight at
// once so that the additions of independent accumulators overlap. The clones
// let a machine with AVX2 do one block element per instruction; the others
// use two SSE halves. Contraction into fused multiply-adds stays off on every
// target: each lane must round its product and its sum apart, as the plain
// in-order loop does.
__attribute__((target_clones("avx2", "default"), optimize("fp-contract=off"))) void dot_blocks(
    const float* data, size_t dim, size_t nblocks, const float* q, float* out) {
  const size_t stride = dim * 8;
  size_t b = 0;
  for (; b + 4 <= nblocks; b += 4) {
    const float* p = data + b * stride;
    Lane8f a0 = {}, a1 = {}, a2 = {}, a3 = {};
    for (size_t d = 0; d < dim; ++d) {
      Lane8f x0, x1, x2, x3;
      std::memcpy(&x0, p + d * 8, 32);
      std::memcpy(&x1, p + stride + d * 8, 32);
      std::memcpy(&x2, p + 2 * stride + d * 8, 32);
      std::memcpy(&x3, p + 3 * stride + d * 8, 32);
      const float qd = q[d];
      a0 += x0 * qd;
      a1 += x1 * qd;
      a2 += x2 * qd;
      a3 += x3 * qd;
    }
    std::memcpy(out + b * 8, &a0, 32);
    std::memcpy(out + b * 8 + 8, &a1, 32);
    std::memcpy(out + b * 8 + 16, &a2, 32);
    std::memcpy(out + b * 8 + 24, &a3, 32);
  }
  for (; b < nblocks; ++b) {
    const float* p = data + b * stride;
    Lane8f a = {};
    for (size_t d = 0; d < dim; ++d) {
      Lane8f x;
      std::memcpy(&x, p + d * 8, 32);
      a += x * q[d];
    }
    std::memcpy(out + b * 8, &a, 32);
  }
}

__attribute__((optimize("fp-contract=off"))) float sum_of_squares(const float* v, size_t n) {
  float s = 0.0f;
  for (size_t i = 0; i < n; ++i) s += v[i] * v[i];
  return s;
}

}  // namespace

float EmbeddingMatrix::norm(std::span<const float> v) { return std::sqrt(sum_of_squares(v.data(), v.size())); }

std::optional<uint32_t> EmbeddingMatrix::find(std::string_view id) const {
  if (const uint32_t* row = index_.find(id)) return *row;
  return std::nullopt;
}

void EmbeddingMatrix::copy_row(size_t row, float* out) const {
  const Lane8* b = block(row / kLanes);
  const size_t lane = row % kLanes;
  for (size_t d = 0; d < dim_; ++d) out[d] = b[d].f[lane];
}

std::vector<float> EmbeddingMatrix::row(size_t row) const {
  std::vector<float> v(dim_);
  copy_row(row, v.data());
  return v;
}

void EmbeddingMatrix::write_row(size_t row, std::span<const float> v) {
  Lane8* b = block(row / kLanes);
  const size_t lane = row % kLanes;
  for (size_t d = 0; d < dim_; ++d) b[d].f[lane] = v[d];
  norms_[row] = norm(v);
}

void EmbeddingMatrix::set(std::string_view id, std::span<const float> v) {
  if (auto row = find(id)) {
    write_row(*row, v);
    return;
  }
  write_row(add_row(id, v.size()), v);
}

size_t EmbeddingMatrix::add_row(std::string_view id, size_t dim) {
  if (ids_.empty()) dim_ = dim;
  const size_t row = ids_.size();
  // A new block starts zeroed, so its unused lanes hold zero vectors.
  if (row % kLanes == 0) data_.resize(data_.size() + dim_, Lane8{});
  ids_.emplace_back(id);
  norms_.push_back(0.0f);
  index_.insert_or_assign(ids_.back(), static_cast<uint32_t>(row));
  return row;
}

void EmbeddingMatrix::set_all(std::span<const std::pair<std::string_view, std::span<const float>>> rows) {
  // Rows and ids first, in order, as set() would give them; the elements of
  // the new rows after, a block of eight rows per task.
  const size_t first = ids_.size();
  std::vector<std::span<const float>> fresh;
  fresh.reserve(rows.size());
  for (const auto& [id, v] : rows) {
    if (auto row = find(id)) {
      // A row of this call is written below, with the latest vector.
      if (*row >= first) {
        fresh[*row - first] = v;
      } else {
        write_row(*row, v);
      }
      continue;
    }
    add_row(id, v.size());
    fresh.push_back(v);
  }
  const size_t first_block = first / kLanes, end_block = (first + fresh.size() + kLanes - 1) / kLanes;
  tbb::parallel_for(tbb::blocked_range<size_t>(first_block, end_block, 16), [&](const tbb::blocked_range<size_t>& r) {
    for (size_t b = r.begin(); b != r.end(); ++b)
      for (size_t row = std::max(first, b * kLanes); row < std::min(first + fresh.size(), (b + 1) * kLanes); ++row)
        write_row(row, fresh[row - first]);
  });
}

void EmbeddingMatrix::reserve(size_t rows, size_t dim) {
  data_.reserve((rows + kLanes - 1) / kLanes * dim);
  ids_.reserve(rows);
  norms_.reserve(rows);
}

void EmbeddingMatrix::move_row(size_t from, size_t to) {
  Lane8* dst = block(to / kLanes);
  const Lane8* src = block(from / kLanes);
  const size_t to_lane = to % kLanes, from_lane = from % kLanes;
  for (size_t d = 0; d < dim_; ++d) dst[d].f[to_lane] = src[d].f[from_lane];
  norms_[to] = norms_[from];
}

size_t EmbeddingMatrix::retain(const std::function<bool(std::string_view)>& keep) {
  const size_t rows = ids_.size();
  size_t kept = 0;
  for (size_t row = 0; row < rows; ++row) {
    if (!keep(ids_[row])) {
      index_.erase(ids_[row]);
      continue;
    }
    if (kept != row) {
      move_row(row, kept);
      ids_[kept] = std::move(ids_[row]);
      index_[ids_[kept]] = static_cast<uint32_t>(kept);
    }
    ++kept;
  }
  if (kept == rows) return 0;
  if (kept == 0) {
    clear();
    return rows;
  }
  // The lanes behind the last row go back to zero, and whole blocks past it.
  data_.resize((kept + kLanes - 1) / kLanes * dim_);
  for (size_t row = kept; row % kLanes != 0; ++row) {
    Lane8* b = block(row / kLanes);
    for (size_t d = 0; d < dim_; ++d) b[d].f[row % kLanes] = 0.0f;
  }
  ids_.resize(kept);
  norms_.resize(kept);
  return rows - kept;
}

bool EmbeddingMatrix::erase(std::string_view id) {
  const uint32_t* found = index_.find(id);
  if (!found) return false;
  const size_t row = *found;
  const size_t last = ids_.size() - 1;
  index_.erase(id);
  if (row != last) {
    // Move the last row into the hole.
    move_row(last, row);
    ids_[row] = std::move(ids_[last]);
    index_[ids_[row]] = static_cast<uint32_t>(row);
  }
  Lane8* tail = block(last / kLanes);
  for (size_t d = 0; d < dim_; ++d) tail[d].f[last % kLanes] = 0.0f;
  ids_.pop_back();
  norms_.pop_back();
  if (last % kLanes == 0) data_.resize(data_.size() - dim_);
  if (ids_.empty()) clear();
  return true;
}

void EmbeddingMatrix::clear() {
  dim_ = 0;
  data_.clear();
  norms_.clear();
  ids_.clear();
  index_.clear();
}

template <bool kMasked>
void EmbeddingMatrix::score_blocks(std::span<const float> query, float qnorm, size_t b0, size_t nb,
                                   const uint8_t* lanes, float* dots,
                                   std::vector<std::pair<float, uint32_t>>& out) const {
  dot_blocks(&data_.data()->f[0] + b0 * dim_ * kLanes, dim_, nb, query.data(), dots);
  const size_t r0 = b0 * kLanes;
  const size_t r1 = std::min(ids_.size(), r0 + nb * kLanes);
  for (size_t r = r0; r < r1; ++r) {
    if (kMasked && !(lanes[r / kLanes] >> (r % kLanes) & 1u)) continue;
    const float denominator = norms_[r] * qnorm;
    if (denominator == 0.0f) continue;
    const float score = dots[r - r0] / denominator;
    if (score > 0.0f) out.emplace_back(score, static_cast<uint32_t>(r));
  }
}

void EmbeddingMatrix::positive_cosines(std::span<const float> query,
                                       std::vector<std::pair<float, uint32_t>>& out) const {
  if (ids_.empty() || query.size() != dim_) return;
  const float qnorm = norm(query);
  float dots[kChunkBlocks * kLanes];
  const size_t nblocks = blocks();
  for (size_t b0 = 0; b0 < nblocks; b0 += kChunkBlocks)
    score_blocks<false>(query, qnorm, b0, std::min(kChunkBlocks, nblocks - b0), nullptr, dots, out);
}

void EmbeddingMatrix::positive_cosines(std::span<const float> query, std::span<const uint8_t> selected_lanes,
                                       std::vector<std::pair<float, uint32_t>>& out) const {
  if (ids_.empty() || query.size() != dim_) return;
  const float qnorm = norm(query);
  float dots[kChunkBlocks * kLanes];
  const size_t nblocks = std::min(blocks(), selected_lanes.size());
  // Runs of consecutive selected blocks are scored together, so that a
  // namespace stored in one stretch reads as fast as the full scan does.
  for (size_t b0 = 0; b0 < nblocks;) {
    if (selected_lanes[b0] == 0) {
      ++b0;
      continue;
    }
    size_t nb = 1;
    while (nb < kChunkBlocks && b0 + nb < nblocks && selected_lanes[b0 + nb] != 0) ++nb;
    score_blocks<true>(query, qnorm, b0, nb, selected_lanes.data(), dots, out);
    b0 += nb;
  }
}

}  // namespace vesk
