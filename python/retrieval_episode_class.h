// RetrievalEpisode: the Python object that holds one retrieval episode.
//
// Unlike the value classes it is live. Every reference to the object sees
// one state, kept in a BorrowCell (binding/borrow_cell.h): its attributes
// (`id`, `query`, `routes` by canonical name, `candidate_ids` in ascending
// byte order) are computed from that state on each read under a read borrow,
// so a read while a writer holds the episode raises RuntimeError. The
// episode's methods take the same cell for reading or writing.
//
// A body returns a RetrievalEpisode; the object made from it holds its own
// cell with that state.
#pragma once

#include "audit/retrieval_episode.h"
#include "binding/borrow_cell.h"
#include "binding/native.h"

namespace vesk::py {

using EpisodeCell = BorrowCell<RetrievalEpisode>;

template <> struct NativeClass<EpisodeCell> { static ClassObject& object(); };

template <>
struct ToPy<RetrievalEpisode> {
  static PyObject* convert(const RetrievalEpisode& episode);
};

}  // namespace vesk::py
