// Strict reading of the tools' numeric command-line values: plain decimal
// digits, for seconds with one fraction part, and nothing else (no sign,
// space, exponent, hexadecimal or trailing text), within a stated range.
#pragma once

#include <cstdlib>
#include <cstring>

namespace options_detail {

inline bool all_digits(const char* s, size_t n) {
  if (n == 0) return false;
  for (size_t i = 0; i < n; ++i)
    if (s[i] < '0' || s[i] > '9') return false;
  return true;
}

}  // namespace options_detail

// The first n characters of s as a whole number from lo to hi.
inline bool parse_whole(const char* s, size_t n, long lo, long hi, long& out) {
  // Nine digits cannot overflow a long; more are out of any range here.
  if (n > 9 || !options_detail::all_digits(s, n)) return false;
  long v = 0;
  for (size_t i = 0; i < n; ++i) v = v * 10 + (s[i] - '0');
  if (v < lo || v > hi) return false;
  out = v;
  return true;
}

inline bool parse_whole(const char* s, long lo, long hi, long& out) {
  return parse_whole(s, std::strlen(s), lo, hi, out);
}

// Digits, optionally followed by a point and more digits, from lo to hi.
inline bool parse_decimal(const char* s, double lo, double hi, double& out) {
  const char* point = std::strchr(s, '.');
  const size_t whole = point ? static_cast<size_t>(point - s) : std::strlen(s);
  if (whole > 9 || !options_detail::all_digits(s, whole)) return false;
  if (point && !options_detail::all_digits(point + 1, std::strlen(point + 1))) return false;
  const double v = std::strtod(s, nullptr);
  if (v < lo || v > hi) return false;
  out = v;
  return true;
}
