#include "rules/RuleCompiler.h"

#include "engine/KeyboardShortcutManager.h"
#include "engine/ShortcutKeys.h"

namespace corvane {
namespace {
constexpr size_t kSlots = 128 * 16;
}  // namespace

std::unique_ptr<const RuleTable> compileRules(RulesFile rules) {
  auto source = std::make_shared<const RulesFile>(std::move(rules));
  RuleTable::Contents c;
  c.namedKeys = kNamedKeys;
  c.disabled = source->disabled;

  // Count per slot, then place each shortcut in file order.
  std::vector<uint32_t> counts(kSlots, 0);
  for (const UserShortcut& s : source->shortcuts) ++counts[size_t{s.keyCode} * 16 + s.modifiers];
  c.slotStart.assign(kSlots + 1, 0);
  for (size_t slot = 0; slot < kSlots; ++slot)
    c.slotStart[slot + 1] = c.slotStart[slot] + counts[slot];
  c.shortcuts.resize(source->shortcuts.size());
  std::vector<uint32_t> next(c.slotStart.begin(), c.slotStart.end() - 1);

  // Application lists: the browsers alias made into the seven, sorted per shortcut.
  for (uint32_t index = 0; index < source->shortcuts.size(); ++index) {
    const UserShortcut& s = source->shortcuts[index];
    CompiledShortcut& compiled = c.shortcuts[next[size_t{s.keyCode} * 16 + s.modifiers]++];
    compiled.index = index;
    compiled.opens = s.opens;
    compiled.sendKey = s.sendKeyCode;
    compiled.sendFlags = s.postedFlags();
    compiled.open = &s.open;
    compiled.appsBegin = static_cast<uint32_t>(c.apps.size());
    for (const std::string& app : s.apps) {
      if (app == kBrowsersAlias) {
        c.apps.insert(c.apps.end(), kBrowserBundleIdentifiers.begin(),
                      kBrowserBundleIdentifiers.end());
      } else {
        c.apps.push_back(app);
      }
    }
    compiled.appsEnd = static_cast<uint32_t>(c.apps.size());

    c.userKeys[s.keyCode >> 6] |= uint64_t{1} << (s.keyCode & 63);
    c.namedKeys[s.keyCode >> 6] |= uint64_t{1} << (s.keyCode & 63);
  }
  c.exclude.assign(source->exclude.begin(), source->exclude.end());
  return std::make_unique<const RuleTable>(std::move(source), std::move(c));
}

void setRules(KeyboardShortcutManager& manager, RulesFile rules) {
  manager.setRuleTable(compileRules(std::move(rules)));
}

}  // namespace corvane
