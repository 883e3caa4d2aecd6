#include "ui/RulesRows.h"

#include <QStringList>

#include "rules/KeyNames.h"
#include "ui/WindowServices.h"

namespace corvane::ui {
namespace {

QString fromUtf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// "Ctrl+Shift+Home" as the reference writes keys: "Ctrl + Shift + Home".
QString spacedKeys(std::string_view press) {
  QString keys = fromUtf8(press);
  keys.replace(QLatin1Char('+'), QStringLiteral(" + "));
  return keys;
}

// Mac keystrokes as the reference writes the Mac side: modifiers in symbols, then the key,
// joined by " + " ("⌘ + ⇧ + Up"); a sequence with ", " between its keystrokes.
QString macKeystrokes(const std::vector<Keystroke>& keystrokes) {
  static constexpr std::pair<EventFlags, const char*> kSymbols[] = {{kFlagFn, "Fn"},
                                                                    {kFlagControl, "⌃"},
                                                                    {kFlagOption, "⌥"},
                                                                    {kFlagCommand, "⌘"},
                                                                    {kFlagShift, "⇧"}};
  QStringList sequence;
  for (const Keystroke& keystroke : keystrokes) {
    QStringList keys;
    for (const auto& [flag, symbol] : kSymbols) {
      if ((keystroke.modifiers & flag) != 0) keys << QString::fromUtf8(symbol);
    }
    // The key as the file spells it (Plus stays Plus).
    keys << fromUtf8(std::string_view(keystroke.written).substr(keystroke.written.rfind('+') + 1));
    sequence << keys.join(QStringLiteral(" + "));
  }
  return sequence.join(QStringLiteral(", "));
}

}  // namespace

std::vector<BuiltinCombination> combinationsOfRow(const ShortcutItem& item) {
  std::vector<BuiltinCombination> found;
  for (size_t i = 0; i < kBuiltinCombinationCount; ++i) {
    const auto combination = static_cast<BuiltinCombination>(i);
    if ((item.combinations & combinationBit(combination)) != 0) found.push_back(combination);
  }
  return found;
}

std::vector<SectionRow> builtinRows(std::span<const ShortcutItem> table, const RulesFile* rules) {
  std::vector<SectionRow> rows = CollapsibleShortcutSection::rowsOf(table);
  if (rules == nullptr || (rules->disabled == 0 && rules->disabledIn.empty())) return rows;
  for (size_t i = 0; i < table.size(); ++i) {
    const std::vector<BuiltinCombination> combinations = combinationsOfRow(table[i]);
    QStringList off;
    QStringList offIn;  // "off in remote", for those off in some applications only
    for (BuiltinCombination combination : combinations) {
      const QString name = fromUtf8(kBuiltinCombinationNames[static_cast<size_t>(combination)]);
      if (rules->disables(combination)) off << name;
      if (const ScopedDisable* scoped = rules->disabledOnlyIn(combination)) {
        const QString where = QStringLiteral("off in ") + applicationNames(scoped->in.written);
        offIn << (combinations.size() > 1 ? name + QLatin1Char(' ') + where : where);
      }
    }
    if (off.isEmpty() && offIn.isEmpty()) continue;
    SectionRow& row = rows[i];
    if (!off.isEmpty() && off.size() == static_cast<qsizetype>(combinations.size())) {
      row.dimmed = true;
      row.mark = QStringLiteral("off");
      continue;
    }
    QStringList marks;
    if (!off.isEmpty()) marks << off.join(QStringLiteral(", ")) + QStringLiteral(" off");
    marks << offIn;
    row.mark = marks.join(QStringLiteral("; "));
  }
  return rows;
}

std::vector<SectionRow> userShortcutRows(const RulesFile& rules) {
  std::vector<SectionRow> rows;
  rows.reserve(rules.shortcuts.size());
  for (const UserShortcut& shortcut : rules.shortcuts) {
    SectionRow row;
    row.windowsKeys = spacedKeys(shortcut.press);
    if (shortcut.tapped) row.windowsKeys += QStringLiteral(" (tapped alone)");
    if (shortcut.withShift) row.windowsKeys += QStringLiteral(" (Shift too)");
    row.description = shortcut.title.empty() && !shortcut.opens && shortcut.dock == 0
                          ? macKeystrokes(shortcut.keystrokes)
                          : fromUtf8(shortcut.displayTitle());
    QStringList where;
    if (!shortcut.apps.empty()) where << QStringLiteral("in ") + applicationNames(shortcut.apps);
    if (!shortcut.except.empty()) {
      where << QStringLiteral("not in ") + applicationNames(shortcut.except.written);
    }
    row.where = where.join(QStringLiteral(", "));
    rows.push_back(std::move(row));
  }
  return rows;
}

QString applicationNames(const std::vector<std::string>& bundleIdentifiers) {
  QStringList names;
  for (const std::string& identifier : bundleIdentifiers) {
    // Groups ("browsers", no dot) and patterns ("com.jetbrains.*") stay as written.
    const bool named = identifier.find('.') != std::string::npos && identifier.back() != '*';
    names << (named ? fromUtf8(applicationName(identifier)) : fromUtf8(identifier));
  }
  return names.join(QStringLiteral(", "));
}

QString exclusionLine(const RulesFile* rules) {
  if (rules == nullptr || rules->exclude.empty()) return {};
  QString line = QStringLiteral("Not translated in ") + applicationNames(rules->exclude);
  // An entry that keeps built-ins says which, where.
  for (const Exclusion& exclusion : rules->exclusions) {
    if (exclusion.kept.empty()) continue;
    QStringList kept;
    for (const std::string& name : exclusion.kept) kept << fromUtf8(name);
    line += QStringLiteral("; ") + kept.join(QStringLiteral(", ")) + QStringLiteral(" still in ") +
            applicationNames(exclusion.apps.written);
  }
  return line;
}

}  // namespace corvane::ui
