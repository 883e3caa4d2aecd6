// The key names of the reference list under each of the four setting combinations (as the rows
// show them on screen: ContentViewTest), and the four tables.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "QtTestMain.h"
#include "ui/CollapsibleShortcutSection.h"
#include "ui/ShortcutItem.h"

namespace corvane::ui {
namespace {

struct Combination {
  bool swapOptionAndCommand;
  bool swapFnAndControl;
};

struct ReplacementCase {
  const char* windowsKeys;
  Combination settings;
  const char* expected;
};

TEST(DisplayKeys, ReplacesInOrderAndEveryOccurrence) {
  const ReplacementCase cases[] = {
      // "Win" goes before "Alt": the Windows key and Alt both survive as two different keys.
      {"Win + Alt + X", {true, false}, "⌥ + ⌘ + X"},
      {"Win + Alt + X", {false, false}, "⌘ + ⌥ + X"},
      // "Control" is replaced too, after "Ctrl".
      {"Control + Tab", {false, true}, "Fn + Tab"},
      {"Control + Tab", {true, false}, "Control + Tab"},
      {"Ctrl + Ctrl + Alt + Alt", {true, true}, "Fn + Fn + ⌘ + ⌘"},
      // Exact, case-sensitive text only.
      {"ctrl + alt + win", {true, true}, "ctrl + alt + win"},
      {"Windows", {true, true}, "⌥dows"},
      {"", {true, true}, ""},
  };
  for (const ReplacementCase& rc : cases) {
    EXPECT_EQ(displayKeys(QString::fromUtf8(rc.windowsKeys), rc.settings.swapOptionAndCommand,
                          rc.settings.swapFnAndControl)
                  .toStdString(),
              rc.expected)
        << rc.windowsKeys;
  }
}

TEST(ShortcutTables, HoldTwentyTwoRowsWithUniqueDescriptionsPerTable) {
  auto unique = [](const auto& table) {
    std::set<std::string_view> seen;
    for (const ShortcutItem& item : table) seen.insert(item.description);
    return seen.size() == table.size();
  };
  EXPECT_EQ(systemShortcuts.size() + browserShortcuts.size() + editingShortcuts.size() +
                fileShortcuts.size(),
            22u);
  EXPECT_TRUE(unique(systemShortcuts));
  EXPECT_TRUE(unique(browserShortcuts));
  EXPECT_TRUE(unique(editingShortcuts));
  EXPECT_TRUE(unique(fileShortcuts));
}

}  // namespace
}  // namespace corvane::ui
