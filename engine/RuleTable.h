// The user's rules compiled for the tap thread: shortcuts indexed by key code and Windows
// modifiers, each with its applications. Immutable once built; the tap thread reads it
// without a lock and without allocating. rules/RuleCompiler.h builds one from a rules file.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/EventTypes.h"

namespace corvane {

struct RulesFile;

struct CompiledShortcut {
  bool opens = false;
  KeyCode sendKey = 0;
  EventFlags sendFlags = 0;           // as posted
  const std::string* open = nullptr;  // the application's path, in the table's source
  uint32_t appsBegin = 0;             // into RuleTable's application list; begin == end: everywhere
  uint32_t appsEnd = 0;
  uint32_t index = 0;  // the shortcut's place in the file
};

class RuleTable {
 public:
  // What the table holds, as the compiler lays it out.
  struct Contents {
    std::array<uint64_t, 2> userKeys{};
    std::array<uint64_t, 2> namedKeys{};
    std::vector<uint32_t> slotStart;  // 128 * 16 + 1 offsets into shortcuts
    std::vector<CompiledShortcut> shortcuts;
    std::vector<std::string_view> apps;  // each shortcut's range; views into the source
    std::vector<std::string_view> exclude;
    uint32_t disabled = 0;  // combinationBit of each built-in switched off
  };

  // source: the file the contents were compiled from (their views and paths point into it).
  RuleTable(std::shared_ptr<const RulesFile> source, Contents contents)
      : source_(std::move(source)), c_(std::move(contents)) {}
  RuleTable(const RuleTable&) = delete;
  RuleTable& operator=(const RuleTable&) = delete;

  const RulesFile* source() const { return source_.get(); }

  // Codes some user shortcut names, and codes any rule names (the built-in ones included).
  const std::array<uint64_t, 2>& userKeys() const { return c_.userKeys; }
  const std::array<uint64_t, 2>& namedKeys() const { return c_.namedKeys; }
  bool hasUserKey(int64_t keyCode) const {
    const auto code = static_cast<uint64_t>(keyCode);
    return code < 128 && ((c_.userKeys[code >> 6] >> (code & 63)) & 1) != 0;
  }

  // The user's shortcuts for a key code (below 128) and an exact set of Windows modifiers, in
  // file order.
  std::span<const CompiledShortcut> candidates(int64_t keyCode, uint8_t modifiers) const {
    const size_t slot = static_cast<size_t>(keyCode) * 16 + modifiers;
    return std::span(c_.shortcuts)
        .subspan(c_.slotStart[slot], c_.slotStart[slot + 1] - c_.slotStart[slot]);
  }
  bool appliesIn(const CompiledShortcut& shortcut, std::string_view bundleIdentifier) const;

  bool hasExclusions() const { return !c_.exclude.empty(); }
  bool excludes(std::string_view bundleIdentifier) const;

  uint32_t disabled() const { return c_.disabled; }

 private:
  std::shared_ptr<const RulesFile> source_;
  Contents c_;
};

}  // namespace corvane
