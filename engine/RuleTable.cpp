#include "engine/RuleTable.h"

#include <cstring>

namespace corvane {

uint64_t RuleTable::hashIdentifier(std::string_view identifier) {
  // Bundle identifiers share their beginnings ("com.apple."): the first and last eight bytes
  // and the length tell them apart well enough, at a fixed cost whatever their length.
  uint64_t head = 0;
  uint64_t tail = 0;
  const size_t n = identifier.size();
  std::memcpy(&head, identifier.data(), n < 8 ? n : 8);
  if (n > 8) std::memcpy(&tail, identifier.data() + n - 8, 8);
  uint64_t h = (head * 0x9E3779B97F4A7C15ULL) ^ (tail * 0xC2B2AE3D27D4EB4FULL) ^ n;
  h ^= h >> 31;
  return h * 0x94D049BB133111EBULL;
}

FrontApplication RuleTable::classify(std::string_view bundleIdentifier) const {
  FrontApplication front;
  for (size_t i = 0; i < c_.patterns.size(); ++i) {
    const std::string_view pattern = c_.patterns[i];
    if (bundleIdentifier.size() > pattern.size() &&
        std::memcmp(bundleIdentifier.data(), pattern.data(), pattern.size()) == 0) {
      front.patterns[i >> 6] |= uint64_t{1} << (i & 63);
    }
  }
  if (c_.identifierSlots.empty()) return front;
  const size_t mask = c_.identifierSlots.size() - 1;
  for (size_t slot = hashIdentifier(bundleIdentifier) >> 32 & mask;; slot = (slot + 1) & mask) {
    const int32_t index = c_.identifierSlots[slot];
    if (index < 0) break;
    const std::string_view known = c_.identifiers[static_cast<size_t>(index)];
    if (known.size() == bundleIdentifier.size() &&
        std::memcmp(known.data(), bundleIdentifier.data(), known.size()) == 0) {
      front.identifier = index;
      break;
    }
  }
  return front;
}

bool RuleTable::excludes(const FrontApplication& front, BuiltinCombination combination) const {
  const uint32_t bit = combination == BuiltinCombination::none ? 0 : combinationBit(combination);
  for (const Contents::Exclusion& exclusion : c_.exclusions) {
    if ((exclusion.keep & bit) == 0 && holds(exclusion.apps, front)) return true;
  }
  return false;
}

}  // namespace corvane
