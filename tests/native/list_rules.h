// The rules of setup's "|" lists and of its "/p:" switch as they are written, step by step and
// without regard to cost, for the tests and the fuzzer to hold the runtime's faster forms to.
#pragma once

#include <cstdint>
#include <string>

#include "setup/setup_core.h"

namespace rules {

// Each CR LF pair replaced by Sep from the first pair on until no pair is left; every run of Sep
// made one; the Sep at the start and then those at the end removed; one Sep appended.
inline std::string NormalizeList(std::string s, char sep) {
  for (size_t at; (at = s.find("\r\n")) != std::string::npos;) s.replace(at, 2, 1, sep);
  std::string runs;
  for (char c : s)
    if (c != sep || runs.empty() || runs.back() != sep) runs += c;
  const size_t first = runs.find_first_not_of(sep);
  if (first == std::string::npos) return std::string(1, sep);
  return runs.substr(first, runs.find_last_not_of(sep) - first + 1) + sep;
}

// The names of a "/p:" list: GetListItem for each k from 1 to CountListItems.
inline TStringList ListNames(const std::string& list) {
  TStringList names;
  for (int32_t k = 1, n = CountListItems(list, '|'); k <= n; ++k) names.push_back(GetListItem(list, k, '|'));
  return names;
}

}  // namespace rules
