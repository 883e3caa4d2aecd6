// The shortcut reference: what the window lists, for display only, made from the built-in table
// (engine/Builtins.h). The decision never reads these rows.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "engine/Builtins.h"

namespace corvane::ui {

struct ShortcutItem {
  std::string_view windowsKeys;  // the Windows-style combination, names joined by " + "
  std::string_view macKeys;      // what the program produces; carried, never shown
  std::string_view description;  // what it does; the row's identity within its table
  uint32_t combinations = 0;     // the built-ins the row stands for (combinationBit of each)
};

namespace detail {
constexpr size_t rowCount(Builtin::Section section) {
  size_t count = 0;
  for (const Builtin& b : kBuiltins) {
    if (b.section == section && b.row > count) count = b.row;
  }
  return count;
}

template <Builtin::Section kSection>
constexpr std::array<ShortcutItem, rowCount(kSection)> sectionRows() {
  std::array<ShortcutItem, rowCount(kSection)> rows{};
  for (size_t i = 0; i < kBuiltins.size(); ++i) {
    const Builtin& b = kBuiltins[i];
    if (b.section != kSection) continue;
    ShortcutItem& row = rows[b.row - 1];
    row = {b.rowKeys, b.rowMacKeys, b.rowDescription,
           row.combinations | combinationBit(static_cast<BuiltinCombination>(i))};
  }
  for (const ShortcutItem& row : rows) {
    if (row.combinations == 0) throw "a section's rows are numbered 1, 2, 3... without a gap";
  }
  return rows;
}
}  // namespace detail

inline constexpr auto systemShortcuts = detail::sectionRows<Builtin::Section::system>();
inline constexpr auto browserShortcuts = detail::sectionRows<Builtin::Section::browser>();
inline constexpr auto editingShortcuts = detail::sectionRows<Builtin::Section::editing>();
inline constexpr auto fileShortcuts = detail::sectionRows<Builtin::Section::files>();

}  // namespace corvane::ui
