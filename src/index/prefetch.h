// A cache-line prefetch the compiler keeps. GCC 12 emitted no instruction
// at all for the __builtin_prefetch calls of the SDR index's batch prefetch
// loop (a loop that only reads and prefetches); an asm statement is always
// kept. The indexes issue batches of prefetches before the lookups that need
// them, so they use this one.
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
