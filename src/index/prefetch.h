// A cache-line prefetch the compiler keeps. GCC drops __builtin_prefetch
// from a loop that does nothing else (the loop has no other effect, so it
// is removed whole); the indexes issue batches of prefetches in such loops
// before the lookups that need them.
#pragma once

namespace vesk {

inline void prefetch_line(const void* p) {
#if defined(__x86_64__) || defined(__i386__)
  asm volatile("prefetcht0 %0" : : "m"(*static_cast<const char*>(p)));
#else
  __builtin_prefetch(p);
#endif
}

}  // namespace vesk
