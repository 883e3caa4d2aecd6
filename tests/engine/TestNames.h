// Readable names for parameterised cases: gtest allows letters, digits and '_' only.
#pragma once

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace corvane::testing {

// Every other character becomes '_'; an empty text is "empty".
inline std::string testName(std::string_view text) {
  if (text.empty()) return "empty";
  std::string name;
  for (const char c : text) {
    name += std::isalnum(static_cast<unsigned char>(c)) != 0 ? c : '_';
  }
  return name;
}

inline std::string hexName(uint64_t value) {
  char digits[24];
  std::snprintf(digits, sizeof digits, "0x%llx", static_cast<unsigned long long>(value));
  return std::string(digits);
}

}  // namespace corvane::testing
