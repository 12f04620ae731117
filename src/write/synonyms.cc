#include "write/synonyms.h"

#include <mutex>
#include <toml++/toml.h>

#include "model/unicode_case.h"
#include "base/utf8.h"

namespace vesk {

Result<std::vector<std::vector<std::string>>> parse_synonym_groups(std::string_view toml_text,
                                                                    std::string_view source_name) {
  toml::table doc;
  try {
    doc = toml::parse(toml_text, source_name);
  } catch (const toml::parse_error& e) {
    const toml::source_position& at = e.source().begin;
    return Status::OS(std::string(e.description()) + " at line " + std::to_string(at.line) + " column " +
                      std::to_string(at.column));
  }
  std::vector<std::vector<std::string>> groups;
  const toml::array* list = doc["groups"].as_array();
  if (!list) return groups;
  for (const toml::node& element : *list) {
    const toml::table* group = element.as_table();
    const toml::array* words = group ? (*group)["words"].as_array() : nullptr;
    if (!words) continue;
    std::vector<std::string>& collected = groups.emplace_back();
    for (const toml::node& word : *words) {
      if (const toml::value<std::string>* text = word.as_string()) collected.push_back(text->get());
    }
  }
  return groups;
}

Result<uint64_t> SynonymMap::load(Env& env, const fs::path& path) {
  std::unique_lock lock(mu_);
  Result<std::string> text = env.read_file(path);
  if (!text.ok()) return text.status().as(ErrorKind::OS);
  if (!utf8_valid(*text)) return Status::OS("stream did not contain valid UTF-8");
  auto groups = parse_synonym_groups(*text, path.string());
  if (!groups.ok()) return groups.status();

  uint64_t count = 0;
  for (const std::vector<std::string>& group : *groups) {
    count += group.size();
    std::vector<std::string> lower;
    lower.reserve(group.size());
    for (const std::string& word : group) lower.push_back(unicode_lower(word));
    for (size_t i = 0; i < lower.size(); ++i) {
      for (size_t j = i + 1; j < lower.size(); ++j) {
        words_[lower[i]].insert(lower[j]);
        words_[lower[j]].insert(lower[i]);
      }
    }
  }
  return count;
}

bool SynonymMap::empty() const {
  std::shared_lock lock(mu_);
  return words_.empty();
}

StringSet SynonymMap::synonyms_of(std::string_view word) const {
  std::shared_lock lock(mu_);
  auto it = words_.find(word);
  return it == words_.end() ? StringSet{} : it->second;
}

}  // namespace vesk
