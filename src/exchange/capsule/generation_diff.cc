#include "exchange/capsule/generation_diff.h"

#include <algorithm>
#include <string_view>

#include "exchange/capsule/container_reader.h"

namespace vesk {

namespace {

// The TOC's segments in ascending name order, the first of a repeated name
// kept (a stable sort keeps TOC order among equal names).
std::vector<const CapsuleSegment*> by_name(const CapsuleToc& toc) {
  std::vector<const CapsuleSegment*> out;
  out.reserve(toc.segments.size());
  for (const CapsuleSegment& s : toc.segments) out.push_back(&s);
  std::stable_sort(out.begin(), out.end(), [](const CapsuleSegment* a, const CapsuleSegment* b) {
    return std::string_view(a->name) < std::string_view(b->name);
  });
  out.erase(std::unique(out.begin(), out.end(),
                        [](const CapsuleSegment* a, const CapsuleSegment* b) { return a->name == b->name; }),
            out.end());
  return out;
}

}  // namespace

GenerationDiff diff_generation_tocs(const CapsuleToc& from, const CapsuleToc& to) {
  GenerationDiff diff;
  diff.from_generation = from.generation;
  diff.to_generation = to.generation;
  diff.original_size_delta = static_cast<int64_t>(to.original_size - from.original_size);
  const std::vector<const CapsuleSegment*> a = by_name(from), b = by_name(to);
  // One merge over the two sorted lists.
  size_t i = 0, j = 0;
  while (i < a.size() || j < b.size()) {
    const int order = i == a.size()   ? 1
                      : j == b.size() ? -1
                                      : std::string_view(a[i]->name).compare(b[j]->name);
    if (order < 0) {
      diff.removed.push_back(a[i++]->name);
    } else if (order > 0) {
      diff.added.push_back(b[j++]->name);
    } else {
      const CapsuleSegment& x = *a[i++];
      const CapsuleSegment& y = *b[j++];
      if (x.sha256 == y.sha256 && x.original_size == y.original_size) {
        diff.unchanged.push_back(x.name);
      } else {
        diff.changed.push_back({x.name, x.sha256, y.sha256, x.original_size, y.original_size});
      }
    }
  }
  return diff;
}

Result<GenerationDiff> diff_container_generations(const fs::path& path, uint64_t from, uint64_t to, Env& env) {
  Result<OpenedContainer> opened = open_container(path, env);
  if (!opened.ok()) return opened.status();
  Result<CapsuleToc> from_toc = select_generation(*opened, from);
  if (!from_toc.ok()) return from_toc.status();
  Result<CapsuleToc> to_toc = select_generation(*opened, to);
  if (!to_toc.ok()) return to_toc.status();
  GenerationDiff diff = diff_generation_tocs(*from_toc, *to_toc);
  diff.from_generation = from;
  diff.to_generation = to;
  return diff;
}

}  // namespace vesk
