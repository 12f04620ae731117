#include "recall/recall_cache.h"

#include <algorithm>
#include <bit>
#include <charconv>

#include "model/unicode_text.h"
#include "model/json_writer.h"

namespace vesk {

namespace {

// The shortest digits that read back to the same float, laid out without an
// exponent: 1e20 is "100000000000000000000", 1e-7 is "0.0000001", 1.0 is "1".
std::string plain_shortest(float v) {
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific);
  std::string_view text(buf, static_cast<size_t>(res.ptr - buf));
  const size_t e = text.find('e');
  if (e == std::string_view::npos) return std::string(text);  // inf, nan
  std::string out;
  std::string_view mantissa = text.substr(0, e);
  if (!mantissa.empty() && mantissa[0] == '-') {
    out.push_back('-');
    mantissa.remove_prefix(1);
  }
  std::string digits;
  for (char c : mantissa)
    if (c != '.') digits.push_back(c);
  int exponent = 0;
  std::string_view exp_text = text.substr(e + 1);
  if (!exp_text.empty() && exp_text[0] == '+') exp_text.remove_prefix(1);
  std::from_chars(exp_text.data(), exp_text.data() + exp_text.size(), exponent);
  // The value is 0.digits times ten to the power `point`.
  const long point = static_cast<long>(exponent) + 1;
  const long n = static_cast<long>(digits.size());
  if (point <= 0) {
    out.append("0.").append(static_cast<size_t>(-point), '0').append(digits);
  } else if (point >= n) {
    out.append(digits).append(static_cast<size_t>(point - n), '0');
  } else {
    out.append(digits, 0, static_cast<size_t>(point)).append(".").append(digits, static_cast<size_t>(point));
  }
  return out;
}

}  // namespace

std::string text_recall_cache_source(std::string_view format, std::string_view scope_key, uint64_t token_budget,
                                     float min_strength, bool expand_connections) {
  std::string out;
  out.reserve(format.size() + scope_key.size() + 48);
  out.append(format).append(":").append(scope_key).append(":");
  out.append(std::to_string(token_budget)).append(":");
  out.append(plain_shortest(min_strength)).append(":");
  out.append(expand_connections ? "true" : "false");
  return out;
}

std::string recall_cache_key(std::string_view text) {
  std::string lower = to_lower_full(text);
  return std::string(trim_unicode_white_space(lower));
}

std::optional<std::string> recall_cache_get(TextRecallCache& cache, std::string_view source) {
  return cache.get(recall_cache_key(source));
}

void recall_cache_put(TextRecallCache& cache, std::string_view source, std::string value) {
  cache.put(recall_cache_key(source), std::move(value));
}

void recall_cache_clear(TextRecallCache& cache) { cache.clear(); }

std::string structured_recall_cache_key(std::string_view query, uint64_t top_k,
                                        const std::optional<std::vector<std::string>>& namespaces,
                                        float min_strength) {
  std::vector<std::string> names = namespaces ? *namespaces : std::vector<std::string>{"default"};
  std::sort(names.begin(), names.end());
  names.erase(std::unique(names.begin(), names.end()), names.end());
  std::string out;
  JsonWriter w(out);
  w.begin_array();
  w.string(recall_cache_key(query));
  w.u64(top_k);
  w.u64(std::bit_cast<uint32_t>(min_strength));
  w.begin_array();
  for (const auto& n : names) w.string(n);
  w.end_array();
  w.end_array();
  return out;
}

void structured_recall_cache_clear(StructuredRecallCache& cache) { cache.clear(); }

void clear_recall_caches(TextRecallCache& text, StructuredRecallCache& structured) {
  recall_cache_clear(text);
  structured_recall_cache_clear(structured);
}

}  // namespace vesk
