// Finite guards: the one way the model turns a computed float into a stored one.
//
// The JSON form of a record writes an infinite or NaN float as null and refuses
// null when reading a number back, so a single non-finite value would make a
// whole journal frame unreadable and lose every record in it at the next open.
// Every mutation of a stored float therefore goes through these helpers: NaN is
// refused (the caller keeps the old value or reports an error), infinities are
// clamped like any other out-of-range value.
#pragma once

#include <cmath>
#include <optional>

namespace vesk {

template <typename F>
constexpr bool is_finite(F x) {
  return std::isfinite(x);
}

// x when finite, else the fallback.
template <typename F>
constexpr F finite_or(F x, F fallback) {
  return std::isfinite(x) ? x : fallback;
}

// x clamped into [lo, hi]; -inf gives lo and +inf gives hi; NaN gives none.
template <typename F>
constexpr std::optional<F> clamp_finite(F x, F lo, F hi) {
  if (std::isnan(x)) return std::nullopt;
  if (x < lo) return lo;
  if (x > hi) return hi;
  return x;
}

// x clamped into [0, 1] (weights, strengths, confidences); NaN gives none.
template <typename F>
constexpr std::optional<F> clamp_unit(F x) {
  return clamp_finite<F>(x, F(0), F(1));
}

// x clamped into [lo, hi], NaN replaced by the fallback.
template <typename F>
constexpr F clamp_or(F x, F lo, F hi, F fallback) {
  auto c = clamp_finite<F>(x, lo, hi);
  return c ? *c : fallback;
}

}  // namespace vesk
