#include "ui/RulesRows.h"

#include <QStringList>

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

}  // namespace

std::vector<BuiltinCombination> combinationsOfRow(const ShortcutItem& item) {
  QString name = fromUtf8(item.windowsKeys);
  name.remove(QLatin1Char(' '));
  std::vector<BuiltinCombination> found;
  if (name == QStringLiteral("Ctrl+Delete")) found.push_back(BuiltinCombination::ctrlBackspace);
  for (size_t i = 0; i < kBuiltinCombinationNames.size(); ++i) {
    if (name == fromUtf8(kBuiltinCombinationNames[i])) {
      found.push_back(static_cast<BuiltinCombination>(i));
    }
  }
  return found;
}

std::vector<SectionRow> builtinRows(std::span<const ShortcutItem> table, const RulesFile* rules) {
  std::vector<SectionRow> rows = CollapsibleShortcutSection::rowsOf(table);
  if (rules == nullptr || rules->disabled == 0) return rows;
  for (size_t i = 0; i < table.size(); ++i) {
    const std::vector<BuiltinCombination> combinations = combinationsOfRow(table[i]);
    QStringList off;
    for (BuiltinCombination combination : combinations) {
      if (rules->disables(combination)) {
        off << fromUtf8(kBuiltinCombinationNames[static_cast<size_t>(combination)]);
      }
    }
    if (off.isEmpty()) continue;
    SectionRow& row = rows[i];
    if (off.size() == static_cast<qsizetype>(combinations.size())) {
      row.dimmed = true;
      row.mark = QStringLiteral("off");
    } else {
      row.mark = off.join(QStringLiteral(", ")) + QStringLiteral(" off");
    }
  }
  return rows;
}

std::vector<SectionRow> userShortcutRows(const RulesFile& rules) {
  std::vector<SectionRow> rows;
  rows.reserve(rules.shortcuts.size());
  for (const UserShortcut& shortcut : rules.shortcuts) {
    SectionRow row;
    row.windowsKeys = spacedKeys(shortcut.press);
    row.description = fromUtf8(shortcut.displayTitle());
    if (!shortcut.apps.empty()) {
      row.where = QStringLiteral("in ") + applicationNames(shortcut.apps);
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

QString applicationNames(const std::vector<std::string>& bundleIdentifiers) {
  QStringList names;
  for (const std::string& identifier : bundleIdentifiers) {
    names << (identifier == kBrowsersAlias ? fromUtf8(identifier)
                                           : fromUtf8(applicationName(identifier)));
  }
  return names.join(QStringLiteral(", "));
}

QString exclusionLine(const RulesFile* rules) {
  if (rules == nullptr || rules->exclude.empty()) return {};
  return QStringLiteral("Not translated in ") + applicationNames(rules->exclude);
}

}  // namespace corvane::ui
