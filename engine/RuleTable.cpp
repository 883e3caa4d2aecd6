#include "engine/RuleTable.h"

#include <cstring>
#include <span>

namespace corvane {

uint64_t RuleTable::hashIdentifier(std::string_view identifier) {
  // Bundle identifiers share their beginnings ("com.apple."): the first and last eight bytes
  // and the length tell them apart well enough, at a fixed cost whatever their length.
  uint64_t head = 0;
  uint64_t tail = 0;
  const size_t n = identifier.size();
  if (n != 0) std::memcpy(&head, identifier.data(), n < 8 ? n : 8);  // no application: no bytes
  if (n > 8) std::memcpy(&tail, identifier.data() + n - 8, 8);
  uint64_t h = (head * 0x9E3779B97F4A7C15ULL) ^ (tail * 0xC2B2AE3D27D4EB4FULL) ^ n;
  h ^= h >> 31;
  return h * 0x94D049BB133111EBULL;
}

namespace {

// The index of text in a table hashed with hashIdentifier, or -1. Texts are compared only when
// their whole hashes are equal.
int32_t find(std::span<const int32_t> slots, std::span<const uint64_t> hashes,
             std::span<const std::string_view> texts, std::string_view text) {
  const size_t mask = slots.size() - 1;
  const uint64_t hash = RuleTable::hashIdentifier(text);
  for (size_t slot = hash >> 32 & mask;; slot = (slot + 1) & mask) {
    const int32_t index = slots[slot];
    if (index < 0) return -1;
    if (hashes[slot] != hash) continue;
    const std::string_view known = texts[static_cast<size_t>(index)];
    if (known.size() == text.size() && std::memcmp(known.data(), text.data(), text.size()) == 0) {
      return index;
    }
  }
}

}  // namespace

FrontApplication RuleTable::classify(std::string_view bundleIdentifier) const {
  FrontApplication front;
  // A pattern matches when the identifier goes on past it and its beginning of that length,
  // ending in a dot, is the pattern: one look per length that patterns have, not per pattern.
  for (const uint32_t length : c_.patternLengths) {
    if (length >= bundleIdentifier.size()) break;
    if (bundleIdentifier[length - 1] != '.') continue;
    const int32_t i =
        find(c_.patternSlots, c_.patternHashes, c_.patterns, bundleIdentifier.substr(0, length));
    if (i >= 0) front.patterns[static_cast<size_t>(i) >> 6] |= uint64_t{1} << (i & 63);
  }
  if (!c_.identifierSlots.empty()) {
    front.identifier =
        find(c_.identifierSlots, c_.identifierHashes, c_.identifiers, bundleIdentifier);
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
