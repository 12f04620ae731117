// The only parallel work of a maintenance cycle: the concept and causal
// phases side by side. They write different layers and only read the
// beliefs, so they need not wait for each other.
//
// The concept side runs on the calling thread; the causal side is handed to
// the thread pool as a job that any pool thread may take, and the calling
// thread takes it itself when no other thread has by the time the concept
// side ends. The call returns when both have ended.
//
// Both sides always run to their end. An exception thrown by either is kept
// until then and thrown to the caller afterwards (the concept side's when
// both threw), so a failing side never leaves the other holding its layer's
// locks while the caller unwinds.
//
// Each side runs isolated: while it waits inside parallel work of its own, a
// thread takes on no other job (the other side included), which could want a
// lock the waiting side holds.
#pragma once

#include <functional>

namespace vesk {

void run_concept_and_causal_phases(const std::function<void()>& concept_side,
                                   const std::function<void()>& causal_side);

}  // namespace vesk
