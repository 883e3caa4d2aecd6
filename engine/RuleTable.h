// The user's rules compiled for the tap thread: shortcuts indexed by key code and Windows
// modifiers, each with where it applies; the applications the file names, resolved into one
// set of identifiers and patterns. Immutable once built; the tap thread reads it without a lock
// and without allocating. rules/RuleCompiler.h builds one from a rules file.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/Builtins.h"
#include "engine/EventTypes.h"

namespace corvane {

struct RulesFile;

// A set of applications (the compiled form of an "apps", "except", "exclude" or "in" list).
using ScopeIndex = uint32_t;
inline constexpr ScopeIndex kNoScope = UINT32_MAX;  // "apps": everywhere; "except": nowhere

inline constexpr size_t kMaxSequenceKeystrokes = 4;
inline constexpr size_t kMaxPatternWords = 4;  // 256 patterns

struct CompiledShortcut {
  bool opens = false;
  uint8_t dock = 0;  // opens the Dock's application at this position (1: Finder); 0: none
  uint8_t keystrokeCount = 0;
  std::array<KeyCode, kMaxSequenceKeystrokes> keys{};
  std::array<EventFlags, kMaxSequenceKeystrokes> flags{};  // as posted
  const std::string* open = nullptr;  // the application's path, in the table's source
  ScopeIndex apps = kNoScope;         // where it applies; kNoScope: everywhere
  ScopeIndex except = kNoScope;       // where it does not; kNoScope: nowhere
  uint32_t index = 0;                 // its place among the file's shortcuts
};

// How a rules file's names meet an application's bundle identifier: an identifier names itself
// alone; a pattern ("com.jetbrains.*") names each identifier that goes on past the text before
// its * (its beginning, "com.jetbrains."). The beginning of this length a pattern would need to
// name the identifier, or nothing when none of that length could.
inline std::string_view patternBeginning(std::string_view bundleIdentifier, size_t length) {
  return length < bundleIdentifier.size() ? bundleIdentifier.substr(0, length) : std::string_view();
}
inline bool patternNames(std::string_view beginning, std::string_view bundleIdentifier) {
  return !beginning.empty() && patternBeginning(bundleIdentifier, beginning.size()) == beginning;
}

// Texts found by their hash: an open-addressing table of their indexes, a quarter full at most.
class TextIndex {
 public:
  TextIndex() = default;
  // texts: views that outlive the index.
  explicit TextIndex(std::vector<std::string_view> texts);
  // The index of the text among those given, or -1. Texts are compared only when their whole
  // hashes are equal.
  int32_t find(std::string_view text) const;
  bool empty() const { return texts_.empty(); }
  size_t size() const { return texts_.size(); }
  std::string_view operator[](size_t i) const { return texts_[i]; }

  // How texts are spread over the slots. Bundle identifiers share their beginnings
  // ("com.apple."): the first and last eight bytes and the length tell them apart well enough,
  // at a fixed cost whatever their length.
  static uint64_t hash(std::string_view text);

 private:
  std::vector<std::string_view> texts_;
  std::vector<int32_t> slots_;    // a power of two; -1 empty
  std::vector<uint64_t> hashes_;  // each slot's text's hash, compared first
};

// The application in front as the table sees it: which of the file's identifiers it is, and
// which of its patterns it matches.
struct FrontApplication {
  int32_t identifier = -1;
  std::array<uint64_t, kMaxPatternWords> patterns{};
};

// What a table makes of the application in front, for every key: its classes, and the
// exclusions and scoped disables that hold it.
struct FrontClasses {
  FrontApplication front;
  bool excluded = false;      // some exclusion holds it
  uint32_t kept = 0;          // combinationBit of the built-ins each exclusion holding it keeps
  uint32_t disabledHere = 0;  // combinationBit of the built-ins switched off in it alone
};

// A decision's own slot in the index of shortcuts: a key code below 128 and an exact set of
// Windows modifiers.
inline constexpr size_t kShortcutSlots = 128 * 16;
inline constexpr size_t shortcutSlot(size_t keyCode, uint8_t modifiers) {
  return keyCode * 16 + modifiers;
}

class RuleTable {
 public:
  // What the table holds, as the compiler lays it out.
  struct Contents {
    std::array<uint64_t, 2> userKeys{};
    std::array<uint64_t, 2> namedKeys{};
    std::vector<uint32_t> slotStart;  // kShortcutSlots + 1 offsets into shortcuts, by shortcutSlot
    // Per slot: those with "apps" first, then the others, each in file order.
    std::vector<CompiledShortcut> shortcuts;
    // Shortcuts of a modifier tapped alone: Ctrl, Win, Alt (offsets into tapped, 3 + 1).
    std::array<uint32_t, 4> tappedStart{};
    std::vector<CompiledShortcut> tapped;
    uint8_t tappedModifiers = 0;  // kModCtrl, kModWin, kModAlt of those there are

    // Applications: exact identifiers and patterns (a beginning each), hashed.
    TextIndex identifiers;                 // views into the source
    TextIndex patterns;                    // "com.jetbrains."
    std::vector<uint32_t> patternLengths;  // each length some pattern has, ascending
    uint32_t patternWords = 0;             // words of a scope's pattern bits (<= 4)
    // Per scope: patternWords words of pattern bits, and its identifiers' indexes, ascending
    // (from identifierStart[scope] to identifierStart[scope + 1]): as large as the scope, not
    // as the file's list of applications.
    std::vector<uint64_t> scopePatterns;
    std::vector<uint32_t> identifierStart{0};
    std::vector<uint32_t> scopeIdentifiers;

    struct Exclusion {
      ScopeIndex apps = kNoScope;
      uint32_t keep = 0;  // combinationBit of the built-ins still translated there
    };
    std::vector<Exclusion> exclusions;
    uint32_t disabled = 0;  // combinationBit of each built-in switched off everywhere
    std::array<ScopeIndex, kBuiltinCombinationCount> disabledIn = [] {
      std::array<ScopeIndex, kBuiltinCombinationCount> none{};
      none.fill(kNoScope);
      return none;
    }();  // kNoScope: nowhere
  };

  // source: the file the contents were compiled from (their views and paths point into it).
  RuleTable(std::shared_ptr<const RulesFile> source, Contents contents)
      : source_(std::move(source)), c_(std::move(contents)), serial_(newSerial()) {}
  RuleTable(const RuleTable&) = delete;
  RuleTable& operator=(const RuleTable&) = delete;

  const RulesFile* source() const { return source_.get(); }
  // Unlike every other table's of the process (an address can be used again).
  uint64_t serial() const { return serial_; }

  // Codes some user shortcut names, and codes any rule names (the built-in ones included).
  const std::array<uint64_t, 2>& userKeys() const { return c_.userKeys; }
  const std::array<uint64_t, 2>& namedKeys() const { return c_.namedKeys; }
  bool hasUserKey(int64_t keyCode) const {
    const auto code = static_cast<uint64_t>(keyCode);
    return code < 128 && ((c_.userKeys[code >> 6] >> (code & 63)) & 1) != 0;
  }

  // The user's shortcuts for a key code (below 128) and an exact set of Windows modifiers: those
  // that name applications first.
  std::span<const CompiledShortcut> candidates(int64_t keyCode, uint8_t modifiers) const {
    const size_t slot = shortcutSlot(static_cast<size_t>(keyCode), modifiers);
    return std::span(c_.shortcuts)
        .subspan(c_.slotStart[slot], c_.slotStart[slot + 1] - c_.slotStart[slot]);
  }
  // The shortcuts of a modifier tapped alone (kModCtrl, kModWin or kModAlt), in the same order.
  uint8_t tappedModifiers() const { return c_.tappedModifiers; }
  std::span<const CompiledShortcut> tappedCandidates(uint8_t modifier) const {
    const size_t i = modifier == kModCtrl ? 0 : modifier == kModWin ? 1 : 2;
    return std::span(c_.tapped).subspan(c_.tappedStart[i],
                                        c_.tappedStart[i + 1] - c_.tappedStart[i]);
  }

  FrontApplication classify(std::string_view bundleIdentifier) const;
  // The classes and what they decide, worked out once per front application.
  FrontClasses classes(std::string_view bundleIdentifier) const;
  bool holds(ScopeIndex scope, const FrontApplication& front) const {
    if (scope == kNoScope) return false;
    const uint64_t* bits = c_.scopePatterns.data() + size_t{scope} * c_.patternWords;
    for (uint32_t w = 0; w < c_.patternWords; ++w) {
      if ((bits[w] & front.patterns[w]) != 0) return true;
    }
    if (front.identifier < 0) return false;
    const uint32_t* first = c_.scopeIdentifiers.data() + c_.identifierStart[scope];
    const uint32_t* last = c_.scopeIdentifiers.data() + c_.identifierStart[scope + 1];
    return std::binary_search(first, last, static_cast<uint32_t>(front.identifier));
  }
  bool appliesIn(const CompiledShortcut& shortcut, const FrontApplication& front) const {
    return (shortcut.apps == kNoScope || holds(shortcut.apps, front)) &&
           !holds(shortcut.except, front);
  }

  bool hasExclusions() const { return !c_.exclusions.empty(); }
  // Whether the front application is excluded for the built-in (none: for a shortcut of the
  // user's, which no "keep" names).
  static bool excludes(const FrontClasses& front,
                       BuiltinCombination combination = BuiltinCombination::none) {
    return front.excluded && (combination == BuiltinCombination::none ||
                              (front.kept & combinationBit(combination)) == 0);
  }

  uint32_t disabled() const { return c_.disabled; }
  // Whether the built-in is switched off in the front application alone.
  bool hasScopedDisables() const { return scopedDisables_; }
  static bool disabledIn(BuiltinCombination combination, const FrontClasses& front) {
    return (front.disabledHere & combinationBit(combination)) != 0;
  }

 private:
  std::shared_ptr<const RulesFile> source_;
  Contents c_;
  uint64_t serial_;
  static uint64_t newSerial();
  bool scopedDisables_ = [this] {
    for (ScopeIndex s : c_.disabledIn) {
      if (s != kNoScope) return true;
    }
    return false;
  }();
};

}  // namespace corvane
