// The JSON texts of the embedding files (embedding_format.h), read and
// written a piece at a time so that a file of any size is handled on the
// thread pool without holding a second copy of it.
//
// Readers take the compact form the writers give on a fast path straight
// into a VectorRun, and leave every other text to the JSON reader and the
// codecs: a text is accepted, valued and refused exactly as a reader of the
// whole document accepts, values and refuses it. The writer gives the bytes
// JsonWriter gives.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "index/embedding_matrix.h"

namespace vesk {

// Vectors read from a piece of an embedding file: one put per entry, in file
// order (a later put for an id replaces an earlier one). The ids and the
// elements lie back to back, so a run of any length is four buffers, reused
// from one piece to the next.
class VectorRun {
 public:
  size_t size() const { return id_ends_.size(); }
  std::string_view id(size_t i) const {
    const size_t begin = i ? id_ends_[i - 1] : 0;
    return std::string_view(ids_).substr(begin, id_ends_[i] - begin);
  }
  std::span<const float> vector(size_t i) const {
    const size_t begin = i ? value_ends_[i - 1] : 0;
    return std::span<const float>(values_).subspan(begin, value_ends_[i] - begin);
  }

  // The elements of the next put, appended one at a time, then the put
  // closed with its id.
  void push_value(float x) { values_.push_back(x); }
  void close(std::string_view id);
  void add(std::string_view id, std::span<const float> v);
  // Drops the puts from entry n on, and elements pushed since the last close.
  void truncate(size_t n);
  void clear() { truncate(0); }

 private:
  std::string ids_;
  std::vector<size_t> id_ends_;
  std::vector<float> values_;
  std::vector<size_t> value_ends_;
};

// Appends the members of a stretch of the snapshot's object. The stretch
// starts at the object (first) or at a member, and ends after a member or at
// the end of the object (last); it is read as the object that the missing
// braces complete. False, with `out` as it was, when that object does not
// parse as the snapshot's map of vectors.
bool read_snapshot_members(std::string_view stretch, bool first, bool last, VectorRun& out);

// Appends the put of one log frame's text. False, with `out` as it was, when
// the text is not a valid LogFrame with nothing but whitespace after it.
bool read_log_frame(std::string_view text, VectorRun& out);

// The snapshot members "id":[numbers] of rows [begin, end) of the matrix in
// row order, without the row of `skip`, joined by commas: the bytes a
// JsonWriter writes for them inside the snapshot's object.
void append_snapshot_members(const EmbeddingMatrix& m, size_t begin, size_t end,
                             std::optional<std::string_view> skip, std::string& out);

}  // namespace vesk
