#include "engine/rules/RuleTable.h"

#include <algorithm>
#include <cstring>

#include "engine/KeyboardShortcutManager.h"
#include "engine/ShortcutKeys.h"

namespace corvane {
namespace {
constexpr size_t kSlots = 128 * 16;
}  // namespace

RuleTable::RuleTable(RulesFile source) : source_(std::move(source)), namedKeys_(kNamedKeys) {
  // Count per slot, then place each shortcut in file order.
  std::vector<uint32_t> counts(kSlots, 0);
  for (const UserShortcut& s : source_.shortcuts) ++counts[size_t{s.keyCode} * 16 + s.modifiers];
  slotStart_.assign(kSlots + 1, 0);
  for (size_t slot = 0; slot < kSlots; ++slot)
    slotStart_[slot + 1] = slotStart_[slot] + counts[slot];
  shortcuts_.resize(source_.shortcuts.size());
  std::vector<uint32_t> next(slotStart_.begin(), slotStart_.end() - 1);

  // Application lists: the browsers alias made into the seven, sorted per shortcut.
  for (const UserShortcut& s : source_.shortcuts) {
    CompiledShortcut& c = shortcuts_[next[size_t{s.keyCode} * 16 + s.modifiers]++];
    c.opens = s.opens;
    c.sendKey = s.sendKeyCode;
    c.sendFlags = s.postedFlags();
    c.open = &s.open;
    c.appsBegin = static_cast<uint32_t>(apps_.size());
    for (const std::string& app : s.apps) {
      if (app == kBrowsersAlias) {
        apps_.insert(apps_.end(), kBrowserBundleIdentifiers.begin(),
                     kBrowserBundleIdentifiers.end());
      } else {
        apps_.push_back(app);
      }
    }
    c.appsEnd = static_cast<uint32_t>(apps_.size());

    userKeys_[s.keyCode >> 6] |= uint64_t{1} << (s.keyCode & 63);
    namedKeys_[s.keyCode >> 6] |= uint64_t{1} << (s.keyCode & 63);
  }
  exclude_.assign(source_.exclude.begin(), source_.exclude.end());
}

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
      std::span(apps_).subspan(shortcut.appsBegin, shortcut.appsEnd - shortcut.appsBegin),
      bundleIdentifier);
}

bool RuleTable::excludes(std::string_view bundleIdentifier) const {
  return contains(exclude_, bundleIdentifier);
}

}  // namespace corvane
