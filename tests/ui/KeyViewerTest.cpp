// The key viewer with real widgets on a manager of its own, whose tap runs on a simulated
// session: the lines and their outcomes, the 50-line limit and lost keys, nothing kept after
// closing and nothing recorded while closed, copying a bundle identifier, the main window's
// dark palette.
#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTest>
#include <QTreeWidget>
#include <chrono>

#include "WindowHarness.h"
#include "rules/RuleCompiler.h"
#include "ui/KeyViewer.h"
#include "ui/RulesNotes.h"
#include "ui/StyledText.h"

namespace corvane::ui {
namespace {

using namespace std::chrono_literals;

class KeyViewerTest : public WindowHarness {
 protected:
  void SetUp() override {
    build(WindowServices{});
    show();
    manager->start();
    ASSERT_TRUE(session->waitForTapSetups(1, std::chrono::milliseconds(10'000)));
    click(view->testKeysButton());
    viewer = view->keyViewer();
    ASSERT_NE(viewer, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(viewer));
  }

  // A key pressed and let go, Fn held with it when asked (the Fn key's own events too); the
  // window then drains as its timer would, unless told not to.
  void press(int64_t keyCode, EventFlags flags = 0, bool drain = true) {
    const bool fn = (flags & kFlagFn) != 0;
    if (fn) session->keyboardEvent(kEventFlagsChanged, 63, kFlagFn);
    session->keyboardEvent(kEventKeyDown, keyCode, flags);
    session->keyboardEvent(kEventKeyUp, keyCode, flags);
    if (fn) session->keyboardEvent(kEventFlagsChanged, 63, 0);
    session->settle();
    if (drain) viewer->drain();
  }
  QTreeWidget* lines() const { return viewer->lines(); }
  QString line(int row, KeyViewer::Column column) const {
    QTreeWidgetItem* item = lines()->topLevelItem(row);
    return item == nullptr ? QString() : item->text(column);
  }

  KeyViewer* viewer = nullptr;
};

TEST_F(KeyViewerTest, EachKeyDownIsALineAtTheTopWithItsOutcome) {
  RulesParse parse = parseRules(R"({"exclude": ["com.apple.Terminal"], "disable": ["Ctrl+V"],
      "shortcuts": [{"press": "F5", "send": "Cmd+R", "apps": ["browsers"], "title": "Reload"},
                    {"press": "Win+T", "open": "/System/Applications/Utilities/Terminal.app"}]})");
  ASSERT_TRUE(parse.rules) << parse.error.describe();
  setRules(*manager, std::move(*parse.rules));

  session->setFrontmostApplication("com.apple.Safari");
  press(8, kFlagFn);  // Ctrl+C
  // F5 with the Fn bit macOS gives function keys by itself (the Fn key is not down): Reload.
  session->keyboardEvent(kEventKeyDown, 96, kFlagFn);
  session->keyboardEvent(kEventKeyUp, 96, kFlagFn);
  session->settle();
  viewer->drain();
  press(4);                                             // H
  press(123, kFlagFn);                                  // Fn+Left: read with the Fn key down
  session->keyboardEvent(kEventKeyDown, 115, kFlagFn);  // Home: macOS's own Fn bit does not count
  session->keyboardEvent(kEventKeyUp, 115, kFlagFn);
  press(9, kFlagFn);       // Ctrl+V, switched off
  press(17, kFlagOption);  // Win+T opens Terminal
  session->setFrontmostApplication("com.apple.Terminal");
  press(7, kFlagFn);  // Ctrl+X in Terminal
  viewer->drain();

  // Newest first: keys | reads | application | outcome; off the Mac an application's name is its
  // bundle identifier.
  QStringList shown;
  for (int row = 0; row < lines()->topLevelItemCount(); ++row) {
    shown << QStringList{line(row, KeyViewer::keysColumn), line(row, KeyViewer::readsColumn),
                         line(row, KeyViewer::applicationColumn),
                         line(row, KeyViewer::outcomeColumn)}
                 .join(QStringLiteral(" | "));
  }
  EXPECT_EQ(shown.join(u'\n').toStdString(),
            "fn X | Ctrl+X | com.apple.Terminal | passed: com.apple.Terminal is excluded\n"
            "⌥T | Win+T | com.apple.Safari | → opens Terminal\n"
            "fn V | Ctrl+V | com.apple.Safari | passed: Ctrl+V is off\n"
            "Home | Home | com.apple.Safari | passed: no shortcut\n"
            "fn Left | Ctrl+Left | com.apple.Safari | passed: no shortcut\n"
            "H | H | com.apple.Safari | passed: no shortcut\n"
            "F5 | F5 | com.apple.Safari | → your shortcut Reload (⌘R)\n"
            "fn C | Ctrl+C | com.apple.Safari | → ⌘C  Copy");
}

TEST_F(KeyViewerTest, FiftyLinesAtMostAndLostKeysAreSaid) {
  for (int64_t n = 0; n < 60; ++n) press(n % 40);
  viewer->drain();
  ASSERT_EQ(lines()->topLevelItemCount(), KeyViewer::kMaxLines);
  EXPECT_EQ(line(0, KeyViewer::keysColumn), QStringLiteral("2"));        // the last: code 19
  EXPECT_EQ(line(49, KeyViewer::keysColumn), QStringLiteral("key 10"));  // the eleventh pressed

  // More keys than the ring holds before the window catches up: the oldest go, and it says so.
  for (int n = 0; n < static_cast<int>(KeyViewerRing::kCapacity) + 10; ++n) press(4, 0, false);
  viewer->drain();
  int lost = 0;
  for (int row = 0; row < lines()->topLevelItemCount(); ++row) {
    if (line(row, KeyViewer::keysColumn) == KeyViewer::kKeysLost) ++lost;
  }
  EXPECT_EQ(lost, 1);
  EXPECT_EQ(lines()->topLevelItemCount(), KeyViewer::kMaxLines);
}

TEST_F(KeyViewerTest, NothingIsKeptAfterClosingAndNothingRecordedWhileClosed) {
  press(4);
  viewer->drain();
  ASSERT_EQ(lines()->topLevelItemCount(), 1);
  EXPECT_TRUE(manager->isKeyViewerOpen());
  press(5, 0, false);  // recorded, not yet shown: forgotten at closing

  viewer->close();
  settle();
  EXPECT_FALSE(manager->isKeyViewerOpen());
  EXPECT_EQ(lines()->topLevelItemCount(), 0);
  press(8, kFlagFn, false);
  press(4, 0, false);

  click(view->testKeysButton());
  ASSERT_TRUE(QTest::qWaitForWindowExposed(viewer));
  EXPECT_EQ(view->keyViewer(), viewer) << "the same window opens again";
  viewer->drain();
  EXPECT_EQ(lines()->topLevelItemCount(), 0) << "keys pressed while it was closed are not shown";
  press(6, kFlagFn);
  viewer->drain();
  ASSERT_EQ(lines()->topLevelItemCount(), 1);
  EXPECT_EQ(line(0, KeyViewer::outcomeColumn), QStringLiteral("→ ⌘Z  Undo"));
  EXPECT_TRUE(viewer->smallPrint()->text().startsWith("Nothing is kept"));
}

TEST_F(KeyViewerTest, CopyPutsTheSelectedLinesBundleIdentifierOnTheClipboard) {
  session->setFrontmostApplication("com.example.Editor");
  press(4);
  session->setFrontmostApplication(std::nullopt);
  press(5);
  viewer->drain();
  QGuiApplication::clipboard()->setText(QStringLiteral("before"));
  EXPECT_FALSE(viewer->copyButton()->isEnabled()) << "nothing selected";

  lines()->setCurrentItem(lines()->topLevelItem(1));  // H, in the editor
  EXPECT_TRUE(viewer->copyButton()->isEnabled());
  click(viewer->copyButton());
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("com.example.Editor"));

  // Off the Mac keys typed here are read, never acted on: Ctrl+C is Control-C to Corvane (with
  // the default swaps, Fn plays Ctrl), not Copy, and Tab leaves the focus where it is.
  QGuiApplication::clipboard()->setText(QStringLiteral("before"));
  viewer->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(viewer));
  ASSERT_TRUE(viewer->readsTypedKeys());
  EXPECT_EQ(viewer->hint()->text(), KeyViewer::kTypeHere);
  lines()->setFocus();
  QTest::keyClick(lines(), Qt::Key_C, Qt::ControlModifier);
  QTest::keyClick(lines(), Qt::Key_Tab);
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("before"));
  EXPECT_TRUE(lines()->hasFocus());
  EXPECT_EQ(line(0, KeyViewer::keysColumn), QStringLiteral("Tab"));
  EXPECT_EQ(line(1, KeyViewer::keysColumn), QStringLiteral("⌃C"));
  EXPECT_EQ(line(1, KeyViewer::readsColumn), QStringLiteral("C"));
  EXPECT_EQ(line(1, KeyViewer::outcomeColumn), QStringLiteral("passed: no shortcut"));

  lines()->setCurrentItem(lines()->topLevelItem(2));  // G, with no application in front
  EXPECT_EQ(line(0, KeyViewer::applicationColumn), QStringLiteral("no application"));
  EXPECT_FALSE(viewer->copyButton()->isEnabled());
}

// Real key presses of an X server (ctest runs this under Xvfb with xdotool; elsewhere it is
// skipped): each is read as a PC keyboard on a Mac sends it, under the swaps of the row.
TEST_F(KeyViewerTest, RealXKeyPressesAreReadAsAPcKeyboardSendsThem) {
  if (QGuiApplication::platformName() != QStringLiteral("xcb") ||
      QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty()) {
    GTEST_SKIP() << "needs an X server and xdotool";
  }
  struct Case {
    bool swaps;  // both on (the defaults) or both off (a PC keyboard's settings)
    const char* typed;
    const char* keys;
    const char* reads;
    const char* outcome;  // its start
  };
  const Case cases[] = {
      {false, "ctrl+c", "⌃C", "Ctrl+C", "→ ⌘C"},
      {true, "ctrl+c", "⌃C", "C", "passed: no shortcut"},
      {false, "super+e", "⌘E", "Win+E", "→ opens Finder"},
      {true, "alt+Tab", "⌥Tab", "Win+Tab", "passed: no shortcut"},
      {false, "F2", "F2", "F2", "→ Return"},
      {false, "ctrl+q", "⌃Q", "Ctrl+Q", "passed: no shortcut"},
  };
  viewer->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(viewer));
  for (const Case& c : cases) {
    manager->swapFnAndControl = c.swaps;
    manager->swapOptionAndCommand = c.swaps;
    const int before = lines()->topLevelItemCount();
    ASSERT_EQ(QProcess::execute(QStringLiteral("xdotool"),
                                {QStringLiteral("key"), QString::fromUtf8(c.typed)}),
              0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return lines()->topLevelItemCount() > before; }, 5000))
        << c.typed;
    EXPECT_EQ(line(0, KeyViewer::keysColumn), QString::fromUtf8(c.keys)) << c.typed;
    EXPECT_EQ(line(0, KeyViewer::readsColumn), QString::fromUtf8(c.reads)) << c.typed;
    EXPECT_TRUE(line(0, KeyViewer::outcomeColumn).startsWith(QString::fromUtf8(c.outcome)))
        << c.typed << ": " << line(0, KeyViewer::outcomeColumn).toStdString();
  }
  EXPECT_TRUE(viewer->isVisible()) << "Ctrl+Q did not act";
}

TEST_F(KeyViewerTest, SaysWhenTheTapIsStoppedAndFollowsTheDarkPalette) {
  EXPECT_FALSE(viewer->tapNote()->isVisible());
  view->toggleShortcuts();  // stop
  viewer->drain();
  EXPECT_TRUE(viewer->tapNote()->isVisible());
  EXPECT_TRUE(viewer->tapNote()->text().startsWith("passed: the tap is stopped"));

  QPalette dark = window.palette();
  dark.setColor(QPalette::Window, QColor(40, 40, 42));
  dark.setColor(QPalette::WindowText, QColor(236, 236, 238));
  window.setPalette(dark);
  settle();
  EXPECT_TRUE(isDarkPalette(viewer->palette()));
  EXPECT_EQ(viewer->smallPrint()->palette().color(QPalette::WindowText),
            systemColor(SystemColor::Secondary, dark));
  EXPECT_FALSE(viewer->isModal());
  EXPECT_EQ(viewer->minimumSize(), viewer->maximumSize()) << "a fixed size";
  EXPECT_TRUE(viewer->windowFlags() & Qt::WindowStaysOnTopHint);
}

}  // namespace
}  // namespace corvane::ui
