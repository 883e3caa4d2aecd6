#include "engine/RuleTable.h"

#include <atomic>
#include <cstring>

namespace corvane {

uint64_t TextIndex::hash(std::string_view text) {
  uint64_t head = 0;
  uint64_t tail = 0;
  const size_t n = text.size();
  if (n != 0) std::memcpy(&head, text.data(), n < 8 ? n : 8);  // no application: no bytes
  if (n > 8) std::memcpy(&tail, text.data() + n - 8, 8);
  uint64_t h = (head * 0x9E3779B97F4A7C15ULL) ^ (tail * 0xC2B2AE3D27D4EB4FULL) ^ n;
  h ^= h >> 31;
  return h * 0x94D049BB133111EBULL;
}

TextIndex::TextIndex(std::vector<std::string_view> texts) : texts_(std::move(texts)) {
  if (texts_.empty()) return;
  size_t size = 16;
  while (size < texts_.size() * 4) size *= 2;  // a quarter full: probes stay short
  slots_.assign(size, -1);
  hashes_.assign(size, 0);
  for (size_t i = 0; i < texts_.size(); ++i) {
    const uint64_t h = hash(texts_[i]);
    size_t slot = (h >> 32) & (size - 1);
    while (slots_[slot] >= 0) slot = (slot + 1) & (size - 1);
    slots_[slot] = static_cast<int32_t>(i);
    hashes_[slot] = h;
  }
}

int32_t TextIndex::find(std::string_view text) const {
  if (slots_.empty()) return -1;
  const size_t mask = slots_.size() - 1;
  const uint64_t h = hash(text);
  for (size_t slot = h >> 32 & mask;; slot = (slot + 1) & mask) {
    const int32_t index = slots_[slot];
    if (index < 0) return -1;
    if (hashes_[slot] != h) continue;
    const std::string_view known = texts_[static_cast<size_t>(index)];
    if (known.size() == text.size() && std::memcmp(known.data(), text.data(), text.size()) == 0) {
      return index;
    }
  }
}

uint64_t RuleTable::newSerial() {
  static std::atomic<uint64_t> next{1};
  return next.fetch_add(1, std::memory_order_relaxed);
}

FrontApplication RuleTable::classify(std::string_view bundleIdentifier) const {
  FrontApplication front;
  // One look per length that patterns have, not per pattern.
  for (const uint32_t length : c_.patternLengths) {
    const std::string_view beginning = patternBeginning(bundleIdentifier, length);
    if (beginning.empty()) break;  // lengths ascend
    const int32_t i = c_.patterns.find(beginning);
    if (i >= 0) front.patterns[static_cast<size_t>(i) >> 6] |= uint64_t{1} << (i & 63);
  }
  front.identifier = c_.identifiers.find(bundleIdentifier);
  return front;
}

FrontClasses RuleTable::classes(std::string_view bundleIdentifier) const {
  FrontClasses classes;
  classes.front = classify(bundleIdentifier);
  classes.kept = ~uint32_t{0};
  for (const Contents::Exclusion& exclusion : c_.exclusions) {
    if (holds(exclusion.apps, classes.front)) {
      classes.excluded = true;
      classes.kept &= exclusion.keep;
    }
  }
  if (!classes.excluded) classes.kept = 0;
  for (size_t i = 0; i < c_.disabledIn.size(); ++i) {
    if (holds(c_.disabledIn[i], classes.front)) {
      classes.disabledHere |= combinationBit(static_cast<BuiltinCombination>(i));
    }
  }
  return classes;
}

}  // namespace corvane
