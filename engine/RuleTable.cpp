#include "engine/RuleTable.h"

#include <cstring>

namespace corvane {

namespace {

// Bundle identifiers share their beginnings ("com.apple."): two of the same length are told
// apart by their last eight bytes before the whole is compared.
bool sameIdentifier(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  if (a.size() >= 8) {
    uint64_t tailA = 0;
    uint64_t tailB = 0;
    std::memcpy(&tailA, a.data() + a.size() - 8, 8);
    std::memcpy(&tailB, b.data() + b.size() - 8, 8);
    if (tailA != tailB) return false;
  }
  return std::memcmp(a.data(), b.data(), a.size()) == 0;
}

// Lists are short (a few applications): a scan beats a search.
bool contains(std::span<const std::string_view> list, std::string_view identifier) {
  for (std::string_view entry : list) {
    if (sameIdentifier(entry, identifier)) return true;
  }
  return false;
}

}  // namespace

bool RuleTable::appliesIn(const CompiledShortcut& shortcut,
                          std::string_view bundleIdentifier) const {
  if (shortcut.appsBegin == shortcut.appsEnd) return true;
  return contains(
      std::span(c_.apps).subspan(shortcut.appsBegin, shortcut.appsEnd - shortcut.appsBegin),
      bundleIdentifier);
}

bool RuleTable::excludes(std::string_view bundleIdentifier) const {
  return contains(c_.exclude, bundleIdentifier);
}

}  // namespace corvane
