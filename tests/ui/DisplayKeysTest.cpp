// The key names of the reference list under each of the four setting combinations, as the rows
// show them on screen.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QTest>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "QtTestMain.h"
#include "platform/simulated/SimulatedSession.h"
#include "ui/CollapsibleShortcutSection.h"
#include "ui/ContentView.h"
#include "ui/ShortcutItem.h"

namespace corvane::ui {
namespace {

struct Combination {
  bool swapOptionAndCommand;
  bool swapFnAndControl;
};

// For every row: what the left-hand badge reads with (Option/Command swap, Fn/Control swap)
// = (on, on), (on, off), (off, on), (off, off).
struct Expected {
  const char* windowsKeys;
  const char* onOn;
  const char* onOff;
  const char* offOn;
  const char* offOff;
};

// One row of each kind (Alt, Win, Ctrl with Shift, Ctrl, no modifier); the other rows are kinds
// of these.
const Expected kRowsOfEachKind[] = {
    {"Alt + Tab", "⌘ + Tab", "⌘ + Tab", "⌥ + Tab", "⌥ + Tab"},
    {"Win + L", "⌥ + L", "⌥ + L", "⌘ + L", "⌘ + L"},
    {"Ctrl + Shift + Esc", "Fn + Shift + Esc", "Ctrl + Shift + Esc", "Fn + Shift + Esc",
     "Ctrl + Shift + Esc"},
    {"Ctrl + Delete", "Fn + Delete", "Ctrl + Delete", "Fn + Delete", "Ctrl + Delete"},
    {"F2", "F2", "F2", "F2", "F2"},
};

const char* expectedFor(const Expected& row, Combination c) {
  if (c.swapOptionAndCommand) return c.swapFnAndControl ? row.onOn : row.onOff;
  return c.swapFnAndControl ? row.offOn : row.offOff;
}

class DisplayKeysOnScreen : public ::testing::TestWithParam<Combination> {
 protected:
  std::shared_ptr<sim::SimulatedSession> session =
      std::make_shared<sim::SimulatedSession>(sim::ClockMode::Virtual);
  std::shared_ptr<KeyboardShortcutManager> manager =
      std::make_shared<KeyboardShortcutManager>(session);
  ContentView view{manager, WindowServices{}};
};

TEST_P(DisplayKeysOnScreen, EveryRowOfEveryTableIsRelabelled) {
  const Combination c = GetParam();
  view.resize(740, 520);
  view.show();
  for (auto* section :
       {view.systemSection(), view.browserSection(), view.editingSection(), view.filesSection()}) {
    QTest::mouseClick(section->header(), Qt::LeftButton);
  }
  manager->swapOptionAndCommand = c.swapOptionAndCommand;
  manager->swapFnAndControl = c.swapFnAndControl;
  QApplication::processEvents();

  std::map<std::string, std::string> shown;  // windows keys -> left badge
  for (auto* section :
       {view.systemSection(), view.browserSection(), view.editingSection(), view.filesSection()}) {
    const auto rows = section->rows();
    ASSERT_EQ(rows.size(), static_cast<qsizetype>(section->shortcuts().size()));
    for (qsizetype i = 0; i < rows.size(); ++i) {
      const auto labels = rows[i]->findChildren<QLabel*>();
      ASSERT_EQ(labels.size(), 3);
      shown[std::string(section->shortcuts()[static_cast<size_t>(i)].windowsKeys)] =
          labels[0]->text().toStdString();
    }
  }
  ASSERT_EQ(shown.size(), 22u);
  for (const Expected& row : kRowsOfEachKind) {
    EXPECT_EQ(shown[row.windowsKeys], expectedFor(row, c)) << row.windowsKeys;
  }
}

INSTANTIATE_TEST_SUITE_P(AllSettings, DisplayKeysOnScreen,
                         ::testing::Values(Combination{true, true}, Combination{true, false},
                                           Combination{false, true}, Combination{false, false}),
                         [](const auto& info) {
                           return std::string(info.param.swapOptionAndCommand ? "SwapOption"
                                                                              : "NoSwapOption") +
                                  (info.param.swapFnAndControl ? "SwapFn" : "NoSwapFn");
                         });

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
