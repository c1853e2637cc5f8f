// Natural order of port names: "COM2" before "COM10", "ttyS2" before
// "ttyS10". Written once over a string of code units, so that the byte names
// of the Windows registry (char) and the names shown (char16_t, the UTF-16
// of a QString) sort alike. Standard library only.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string_view>
#include <type_traits>

namespace telvar {

namespace natural_order_detail {

template <typename Unit>
constexpr bool IsAsciiDigit(Unit c) {
  return c >= Unit('0') && c <= Unit('9');
}

template <typename Unit>
constexpr std::basic_string_view<Unit> WithoutLeadingZeros(std::basic_string_view<Unit> digits) {
  std::size_t i = 0;
  while (i + 1 < digits.size() && digits[i] == Unit('0')) ++i;
  return digits.substr(i);
}

// Code units compare as unsigned: a byte 0xC0 of a code page comes after
// the ASCII letters, as it does in the system's own tables.
template <typename Unit>
constexpr bool UnitLess(Unit a, Unit b) {
  using Unsigned = std::make_unsigned_t<Unit>;
  return static_cast<Unsigned>(a) < static_cast<Unsigned>(b);
}

template <typename Unit>
constexpr bool PlainLess(std::basic_string_view<Unit> a, std::basic_string_view<Unit> b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), UnitLess<Unit>);
}

}  // namespace natural_order_detail

// Runs of ASCII digits compare by their value (of any length), everything
// else unit by unit. Names alike but for leading zeros fall back to plain
// order, which keeps the order strict.
template <typename Unit>
constexpr bool NaturalLessOf(std::basic_string_view<Unit> a, std::basic_string_view<Unit> b) {
  using namespace natural_order_detail;
  std::size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (IsAsciiDigit(a[i]) && IsAsciiDigit(b[j])) {
      const std::size_t si = i, sj = j;
      while (i < a.size() && IsAsciiDigit(a[i])) ++i;
      while (j < b.size() && IsAsciiDigit(b[j])) ++j;
      const auto na = WithoutLeadingZeros(a.substr(si, i - si));
      const auto nb = WithoutLeadingZeros(b.substr(sj, j - sj));
      if (na.size() != nb.size()) return na.size() < nb.size();
      if (na != nb) return PlainLess(na, nb);
      continue;
    }
    if (a[i] != b[j]) return UnitLess(a[i], b[j]);
    ++i;
    ++j;
  }
  if (a.size() - i != b.size() - j) return a.size() - i < b.size() - j;
  return PlainLess(a, b);
}

}  // namespace telvar
