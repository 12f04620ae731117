#include "exchange/capsule/generation_listing.h"

#include "exchange/capsule/container_reader.h"

namespace vesk {

Result<std::vector<ContainerGenerationEntry>> list_container_generations(const fs::path& path, Env& env) {
  Result<OpenedContainer> opened = open_container(path, env);
  if (!opened.ok()) return opened.status();
  std::vector<ContainerGenerationEntry> entries;
  entries.reserve(opened->state.generations.size());
  for (const CapsuleToc& toc : opened->state.generations) {
    entries.push_back({toc.generation, toc.created_at, toc.segments.size(), toc.original_size, toc.stored_size});
  }
  return entries;
}

}  // namespace vesk
