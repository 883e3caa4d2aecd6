// The user's rules compiled for the tap thread: shortcuts indexed by key code and Windows
// modifiers, each with its applications. Immutable once built; the tap thread reads it
// without a lock and without allocating.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/rules/RulesFile.h"

namespace corvane {

struct CompiledShortcut {
  bool opens = false;
  KeyCode sendKey = 0;
  EventFlags sendFlags = 0;           // as posted
  const std::string* open = nullptr;  // the application's path, in the table's source
  uint32_t appsBegin = 0;             // into RuleTable's application list; begin == end: everywhere
  uint32_t appsEnd = 0;
};

class RuleTable {
 public:
  explicit RuleTable(RulesFile source);
  RuleTable(const RuleTable&) = delete;
  RuleTable& operator=(const RuleTable&) = delete;

  const RulesFile& source() const { return source_; }

  // Codes some user shortcut names, and codes any rule names (the built-in ones included).
  const std::array<uint64_t, 2>& userKeys() const { return userKeys_; }
  const std::array<uint64_t, 2>& namedKeys() const { return namedKeys_; }
  bool hasUserKey(int64_t keyCode) const {
    const auto code = static_cast<uint64_t>(keyCode);
    return code < 128 && ((userKeys_[code >> 6] >> (code & 63)) & 1) != 0;
  }

  // The user's shortcuts for a key code (below 128) and an exact set of Windows modifiers, in
  // file order.
  std::span<const CompiledShortcut> candidates(int64_t keyCode, uint8_t modifiers) const {
    const size_t slot = static_cast<size_t>(keyCode) * 16 + modifiers;
    return std::span(shortcuts_).subspan(slotStart_[slot], slotStart_[slot + 1] - slotStart_[slot]);
  }
  bool appliesIn(const CompiledShortcut& shortcut, std::string_view bundleIdentifier) const;

  bool hasExclusions() const { return !exclude_.empty(); }
  bool excludes(std::string_view bundleIdentifier) const;

  uint32_t disabled() const { return source_.disabled; }

 private:
  RulesFile source_;
  std::array<uint64_t, 2> userKeys_{};
  std::array<uint64_t, 2> namedKeys_{};
  std::vector<uint32_t> slotStart_;  // 128 * 16 + 1 offsets into shortcuts_
  std::vector<CompiledShortcut> shortcuts_;
  std::vector<std::string_view> apps_;  // each shortcut's range; views into source_
  std::vector<std::string_view> exclude_;
};

}  // namespace corvane
