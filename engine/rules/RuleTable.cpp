#include "engine/rules/RuleTable.h"

#include <algorithm>

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
    std::sort(apps_.begin() + c.appsBegin, apps_.end());
    c.appsEnd = static_cast<uint32_t>(apps_.size());

    userKeys_[s.keyCode >> 6] |= uint64_t{1} << (s.keyCode & 63);
    namedKeys_[s.keyCode >> 6] |= uint64_t{1} << (s.keyCode & 63);
  }
  exclude_.assign(source_.exclude.begin(), source_.exclude.end());
  std::sort(exclude_.begin(), exclude_.end());
}

bool RuleTable::appliesIn(const CompiledShortcut& shortcut,
                          std::string_view bundleIdentifier) const {
  if (shortcut.appsBegin == shortcut.appsEnd) return true;
  return std::binary_search(apps_.begin() + shortcut.appsBegin, apps_.begin() + shortcut.appsEnd,
                            bundleIdentifier);
}

bool RuleTable::excludes(std::string_view bundleIdentifier) const {
  return std::binary_search(exclude_.begin(), exclude_.end(), bundleIdentifier);
}

}  // namespace corvane
