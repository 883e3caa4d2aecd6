#include "rules/RuleCompiler.h"

#include <algorithm>
#include <map>

#include "engine/KeyboardShortcutManager.h"
#include "engine/ShortcutKeys.h"

namespace corvane {
namespace {

// Every identifier and pattern the file names, each once, and the scopes made of them.
class ScopeBuilder {
 public:
  explicit ScopeBuilder(const RulesFile& rules) {
    const auto collect = [&](const Applications& apps) {
      for (const std::string& identifier : apps.identifiers) identifiers_.emplace(identifier, 0);
      for (const std::string& prefix : apps.prefixes) patterns_.emplace(prefix, 0);
    };
    for (const Exclusion& exclusion : rules.exclusions) collect(exclusion.apps);
    for (const ScopedDisable& disable : rules.disabledIn) collect(disable.in);
    for (const UserShortcut& shortcut : rules.shortcuts) {
      collect(shortcut.inApps);
      collect(shortcut.except);
    }
    uint32_t next = 0;
    for (auto& [identifier, index] : identifiers_) index = next++;
    next = 0;
    for (auto& [pattern, index] : patterns_) index = next++;
  }

  void fill(RuleTable::Contents& c) const {
    c.patternWords = static_cast<uint32_t>((patterns_.size() + 63) / 64);
    std::vector<std::string_view> patterns;
    for (const auto& [pattern, index] : patterns_) {
      patterns.push_back(pattern);
      c.patternLengths.push_back(static_cast<uint32_t>(pattern.size()));
    }
    std::sort(c.patternLengths.begin(), c.patternLengths.end());
    c.patternLengths.erase(std::unique(c.patternLengths.begin(), c.patternLengths.end()),
                           c.patternLengths.end());
    std::vector<std::string_view> identifiers;
    for (const auto& [identifier, index] : identifiers_) identifiers.push_back(identifier);
    c.identifiers = TextIndex(std::move(identifiers));
    c.patterns = TextIndex(std::move(patterns));
  }

  ScopeIndex add(const Applications& apps, RuleTable::Contents& c) const {
    if (apps.empty()) return kNoScope;
    const auto scope = static_cast<ScopeIndex>(c.identifierStart.size() - 1);
    c.scopePatterns.resize(c.scopePatterns.size() + c.patternWords, 0);
    uint64_t* bits = c.scopePatterns.data() + size_t{scope} * c.patternWords;
    for (const std::string& prefix : apps.prefixes) {
      const uint32_t i = patterns_.at(prefix);
      bits[i >> 6] |= uint64_t{1} << (i & 63);
    }
    const size_t first = c.scopeIdentifiers.size();
    for (const std::string& identifier : apps.identifiers) {
      c.scopeIdentifiers.push_back(identifiers_.at(identifier));
    }
    std::sort(c.scopeIdentifiers.begin() + static_cast<std::ptrdiff_t>(first),
              c.scopeIdentifiers.end());
    c.identifierStart.push_back(static_cast<uint32_t>(c.scopeIdentifiers.size()));
    return scope;
  }

 private:
  std::map<std::string_view, uint32_t> identifiers_;  // views into the rules file
  std::map<std::string_view, uint32_t> patterns_;
};

// One place of a shortcut in the table: its slot (or tapped modifier), and what it posts there.
struct Placed {
  size_t slot;     // shortcutSlot, or the tapped modifier's 0, 1, 2
  bool hasApps;    // placed before those that apply everywhere
  uint32_t index;  // in the file
  bool addShift;   // withShift, placed with Shift: sends Shift along
};

CompiledShortcut compile(const UserShortcut& s, const Placed& at, const ScopeBuilder& scopes,
                         RuleTable::Contents& c) {
  CompiledShortcut compiled;
  compiled.opens = s.opens;
  compiled.open = &s.open;
  compiled.dock = s.dock;
  compiled.index = at.index;
  compiled.keystrokeCount = static_cast<uint8_t>(s.keystrokes.size());
  for (size_t i = 0; i < s.keystrokes.size() && i < kMaxSequenceKeystrokes; ++i) {
    compiled.keys[i] = s.keystrokes[i].keyCode;
    compiled.flags[i] = s.keystrokes[i].postedFlags() | (at.addShift ? kFlagShift : 0);
  }
  compiled.apps = scopes.add(s.inApps, c);
  compiled.except = scopes.add(s.except, c);
  return compiled;
}

}  // namespace

std::unique_ptr<const RuleTable> compileRules(RulesFile rules) {
  auto source = std::make_shared<const RulesFile>(std::move(rules));
  const RulesFile& file = *source;
  RuleTable::Contents c;
  c.namedKeys = kNamedKeys;
  c.disabled = file.disabled;
  c.disabledIn.fill(kNoScope);

  const ScopeBuilder scopes(file);
  scopes.fill(c);
  for (const Exclusion& exclusion : file.exclusions) {
    c.exclusions.push_back({scopes.add(exclusion.apps, c), exclusion.keep});
  }
  for (const ScopedDisable& disable : file.disabledIn) {
    c.disabledIn[static_cast<size_t>(disable.combination)] = scopes.add(disable.in, c);
  }

  // Where each shortcut goes: its slot, and with withShift the slot with Shift too.
  std::vector<Placed> keyed;
  std::vector<Placed> tapped;
  for (uint32_t i = 0; i < file.shortcuts.size(); ++i) {
    const UserShortcut& s = file.shortcuts[i];
    const bool hasApps = !s.inApps.empty();
    if (s.tapped) {
      const size_t which = s.modifiers == kModCtrl ? 0 : s.modifiers == kModWin ? 1 : 2;
      tapped.push_back({which, hasApps, i, false});
      c.tappedModifiers |= s.modifiers;
      continue;
    }
    keyed.push_back({shortcutSlot(s.keyCode, s.modifiers), hasApps, i, false});
    if (s.withShift)
      keyed.push_back({shortcutSlot(s.keyCode, static_cast<uint8_t>(s.modifiers | kModShift)),
                       hasApps, i, true});
    c.userKeys[s.keyCode >> 6] |= uint64_t{1} << (s.keyCode & 63);
    c.namedKeys[s.keyCode >> 6] |= uint64_t{1} << (s.keyCode & 63);
  }
  const auto order = [](const Placed& a, const Placed& b) {
    if (a.slot != b.slot) return a.slot < b.slot;
    if (a.hasApps != b.hasApps) return a.hasApps;
    return a.index < b.index;
  };
  std::sort(keyed.begin(), keyed.end(), order);
  std::sort(tapped.begin(), tapped.end(), order);

  c.slotStart.assign(kShortcutSlots + 1, 0);
  for (const Placed& p : keyed) ++c.slotStart[p.slot + 1];
  for (size_t slot = 0; slot < kShortcutSlots; ++slot) c.slotStart[slot + 1] += c.slotStart[slot];
  for (const Placed& p : keyed)
    c.shortcuts.push_back(compile(file.shortcuts[p.index], p, scopes, c));
  for (const Placed& p : tapped) {
    ++c.tappedStart[p.slot + 1];
    c.tapped.push_back(compile(file.shortcuts[p.index], p, scopes, c));
  }
  for (size_t i = 0; i < 3; ++i) c.tappedStart[i + 1] += c.tappedStart[i];
  return std::make_unique<const RuleTable>(std::move(source), std::move(c));
}

void setRules(KeyboardShortcutManager& manager, RulesFile rules) {
  manager.setRuleTable(compileRules(std::move(rules)));
}

}  // namespace corvane
