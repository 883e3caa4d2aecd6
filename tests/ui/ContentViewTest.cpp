// The main view with real widgets and real clicks, on a manager of its own (a simulated session
// on a virtual clock) and recording fakes of the trust check and the URL opener.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>
#include <array>
#include <chrono>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "QtTestMain.h"
#include "WindowHarness.h"
#include "platform/simulated/SimulatedSession.h"
#include "ui/CollapsibleShortcutSection.h"
#include "ui/ContentView.h"
#include "ui/KeyBadge.h"
#include "ui/PermissionsAlert.h"
#include "ui/RulesNotes.h"
#include "ui/ShortcutItem.h"
#include "ui/StatusTag.h"
#include "ui/StyledText.h"
#include "ui/Symbols.h"
#include "ui/TrustWatch.h"

namespace corvane::ui {
namespace {

using namespace std::chrono_literals;

class ContentViewTest : public WindowHarness {
 protected:
  void SetUp() override {
    build(WindowServices{trust, opener});
    show();
  }

  static void clickBox(QCheckBox* box) {
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
  }

  std::vector<CollapsibleShortcutSection*> sections() const {
    return {view->systemSection(), view->browserSection(), view->editingSection(),
            view->filesSection()};
  }
  std::vector<bool> expansion() const {
    return {view->showSystem(), view->showBrowser(), view->showEditing(), view->showFiles()};
  }
  QStringList shownTexts() const {
    QStringList texts;
    for (QLabel* label : window.findChildren<QLabel*>()) {
      if (label->isVisibleTo(&window)) texts << label->text();
    }
    for (QAbstractButton* button : window.findChildren<QAbstractButton*>()) {
      if (button->isVisibleTo(&window)) texts << button->text();
    }
    return texts;
  }

  std::shared_ptr<FakeTrust> trust = std::make_shared<FakeTrust>();
  std::shared_ptr<RecordingOpener> opener = std::make_shared<RecordingOpener>();
};

TEST_F(ContentViewTest, NewViewShowsInitialState) {
  EXPECT_FALSE(view->showingPermissionsAlert());
  EXPECT_FALSE(view->permissionsAlert()->isVisible());
  EXPECT_EQ(expansion(), std::vector<bool>(4, false));
  for (CollapsibleShortcutSection* section : sections()) {
    EXPECT_TRUE(section->rows().isEmpty()) << section->title().toStdString();
    EXPECT_EQ(section->chevron()->symbol(), Symbol::ChevronRight);
  }
  EXPECT_EQ(view->statusTag()->text(), "Inactive");
  EXPECT_EQ(view->startStopButton()->text(), "Start Shortcuts");
  EXPECT_TRUE(view->swapFnAndControlBox()->isChecked());
  EXPECT_TRUE(view->swapOptionAndCommandBox()->isChecked());
  EXPECT_EQ(view->swapFnAndControlBox()->text(), "Swap Fn and Control keys");
  EXPECT_EQ(view->swapOptionAndCommandBox()->text(), "Swap Option (Alt) and Command (⌘)");
  EXPECT_EQ(view->requestPermissionsButton()->text(), "Request Permissions");
  // The fixed explanation.
  const QStringList texts = shownTexts();
  for (const char* text :
       {"Corvane", "How It Works:", "Press Windows keys → App converts to macOS keys",
        "Key Mappings:", "Windows Key", "Option (⌥)", "Alt Key", "Command (⌘)", "Control Key", "Fn",
        "Shortcut List", "Swap keys for exact behaviour as windows"}) {
    EXPECT_TRUE(texts.contains(QString::fromUtf8(text))) << text;
  }
}

TEST_F(ContentViewTest, ASimulatedKeyboardIsOneQuietLineUnderTheStatus) {
  // As on a Mac: no line, and nothing under the header row takes room.
  QWidget* header = view->statusTag()->parentWidget();
  const QRect statusAlone = view->statusTag()->geometry();
  const int headerAlone = header->height();
  EXPECT_FALSE(view->statusNotes()->isVisible());

  view->setSimulatedKeyboard(true);
  settle();
  StyledText* note = view->simulatedKeyboardNote();
  ASSERT_TRUE(note->isVisible());
  EXPECT_EQ(note->text(), "Simulated keyboard: keys typed on this computer are not translated");
  EXPECT_EQ(note->color(), SystemColor::Secondary);
  EXPECT_EQ(note->font(), textStyleFont(TextStyle::Caption));
  // Under the status, starting where it starts; the status itself stays where it was.
  const QRect shown = note->geometry().translated(note->parentWidget()->pos());
  EXPECT_EQ(view->statusTag()->geometry(), statusAlone);
  EXPECT_EQ(shown.left(), statusAlone.left());
  EXPECT_GT(shown.top(), statusAlone.bottom());
  EXPECT_GT(header->height(), headerAlone);
  EXPECT_LE(shown.right(), header->width()) << "the line fits the window";
  // The line follows the status: still there while translation runs.
  click(view->startStopButton());
  settle();
  EXPECT_TRUE(note->isVisible());

  // "Request Permissions" has nothing to ask for, and says so when pressed.
  EXPECT_FALSE(view->noPermissionNote()->isVisible());
  click(view->requestPermissionsButton());
  EXPECT_TRUE(view->noPermissionNote()->isVisible());
  EXPECT_TRUE(view->noPermissionNote()->text().startsWith("No permission to ask for"));
  EXPECT_EQ(trust->checks, 0);
  EXPECT_FALSE(view->showingPermissionsAlert());

  view->setSimulatedKeyboard(false);
  settle();
  EXPECT_FALSE(view->statusNotes()->isVisible());
  EXPECT_EQ(header->height(), headerAlone);
}

TEST_F(ContentViewTest, StartStopButtonCallsExactlyOneOperationPerPress) {
  // Not running: a press starts (one tap set up), stops nothing.
  click(view->startStopButton());
  EXPECT_TRUE(manager->isEnabled);
  ASSERT_TRUE(session->waitForTapSetups(1, 5s));
  EXPECT_EQ(session->tapsCreated(), 1u);
  EXPECT_EQ(session->portsInvalidated(), 0u);
  settle();
  EXPECT_EQ(view->startStopButton()->text(), "Stop Shortcuts");
  EXPECT_EQ(view->statusTag()->text(), "Active");

  // Running: a press stops, starts nothing.
  click(view->startStopButton());
  EXPECT_FALSE(manager->isEnabled);
  EXPECT_EQ(session->portsInvalidated(), 1u);
  EXPECT_EQ(session->tapsCreated(), 1u);
  settle();
  EXPECT_EQ(view->startStopButton()->text(), "Start Shortcuts");
  EXPECT_EQ(view->statusTag()->text(), "Inactive");
}

TEST_F(ContentViewTest, StartThatLeavesIsEnabledFalseIsCalledAgainOnTheNextPress) {
  session->setTrusted(false);  // the tap cannot be created
  click(view->startStopButton());
  ASSERT_TRUE(session->waitForTapSetups(1, 5s));
  // The failure comes back on the main queue.
  ASSERT_TRUE(QTest::qWaitFor([&] { return session->nextMainWorkDue().has_value(); }, 5000));
  session->advance(0ns);
  EXPECT_FALSE(manager->isEnabled);
  settle();
  EXPECT_EQ(view->startStopButton()->text(), "Start Shortcuts");
  EXPECT_EQ(view->statusTag()->text(), "Inactive");

  click(view->startStopButton());  // start again, not stop
  ASSERT_TRUE(session->waitForTapSetups(2, 5s));
  EXPECT_EQ(session->portsInvalidated(), 0u);
  // The second failure's hand-back holds the manager until it has run.
  ASSERT_TRUE(QTest::qWaitFor([&] { return session->nextMainWorkDue().has_value(); }, 5000));
  session->advance(0ns);
  EXPECT_FALSE(manager->isEnabled);
}

TEST_F(ContentViewTest, BadgeAndLabelFollowEveryAssignmentAfterItIsStored) {
  for (bool value : {true, false, true, true, false}) {
    manager->isEnabled = value;
    settle();
    EXPECT_EQ(view->statusTag()->text(), value ? "Active" : "Inactive");
    EXPECT_EQ(view->statusTag()->isActive(), value);
    EXPECT_EQ(view->startStopButton()->text(), value ? "Stop Shortcuts" : "Start Shortcuts");
  }
  // Several assignments before the event loop runs end in one composition of the last values.
  manager->isEnabled = true;
  manager->swapFnAndControl = false;
  manager->isEnabled = false;
  settle();
  EXPECT_EQ(view->statusTag()->text(), "Inactive");
  EXPECT_FALSE(view->swapFnAndControlBox()->isChecked());
}

TEST_F(ContentViewTest, SwapBoxesWriteThroughAtOnceAndRelabelTheListAndTheKeyMappings) {
  click(view->editingSection()->header());
  // The Mac keys that play the Windows key, the Alt key and the Control key.
  const auto mappings = [this] {
    return QStringList{view->macKeyBadge(0)->text(), view->macKeyBadge(1)->text(),
                       view->macKeyBadge(2)->text()};
  };

  clickBox(view->swapFnAndControlBox());
  EXPECT_FALSE(manager->swapFnAndControl);  // no event loop turn needed
  EXPECT_TRUE(manager->swapOptionAndCommand);
  settle();
  EXPECT_FALSE(view->swapFnAndControlBox()->isChecked());
  EXPECT_EQ(view->editingSection()->rows().first()->findChildren<QLabel*>().first()->text(),
            "Ctrl + C");
  EXPECT_EQ(mappings(), (QStringList{"Option (⌥)", "Command (⌘)", "Control (^)"}));

  clickBox(view->swapOptionAndCommandBox());
  EXPECT_FALSE(manager->swapOptionAndCommand);
  EXPECT_FALSE(manager->swapFnAndControl);
  clickBox(view->swapFnAndControlBox());
  EXPECT_TRUE(manager->swapFnAndControl);
  settle();
  EXPECT_EQ(view->editingSection()->rows().first()->findChildren<QLabel*>().first()->text(),
            "Fn + C");
  EXPECT_EQ(mappings(), (QStringList{"Command (⌘)", "Option (⌥)", "Fn"}));
  // Each Mac key is said once ("Option", not "Option Option").
  EXPECT_EQ(view->macKeyBadge(1)->accessibleName(), "Option");
  EXPECT_EQ(view->macKeyBadge(2)->accessibleName(), "Fn");

  // A change made elsewhere shows in the boxes.
  manager->swapOptionAndCommand = true;
  settle();
  EXPECT_TRUE(view->swapOptionAndCommandBox()->isChecked());
}

TEST_F(ContentViewTest, EachHeaderFlipsOnlyItsOwnSectionAndStateSurvivesHiding) {
  click(view->editingSection()->header());
  EXPECT_EQ(expansion(), (std::vector<bool>{false, false, true, false}));
  const auto rows = view->editingSection()->rows();
  ASSERT_EQ(rows.size(), 7);
  for (qsizetype i = 0; i < rows.size(); ++i) {
    const auto labels = rows[i]->findChildren<QLabel*>();
    ASSERT_EQ(labels.size(), 3);
    EXPECT_EQ(labels[1]->text(), "→");
    EXPECT_EQ(labels[2]->text().toStdString(),
              editingShortcuts[static_cast<size_t>(i)].description);
  }
  EXPECT_EQ(view->editingSection()->chevron()->symbol(), Symbol::ChevronDown);
  EXPECT_EQ(view->systemSection()->chevron()->symbol(), Symbol::ChevronRight);

  click(view->editingSection()->header());
  EXPECT_EQ(expansion(), std::vector<bool>(4, false));
  EXPECT_TRUE(view->editingSection()->rows().isEmpty());

  click(view->systemSection()->header());
  click(view->filesSection()->header());
  EXPECT_EQ(expansion(), (std::vector<bool>{true, false, false, true}));

  window.hide();
  settle();
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  EXPECT_EQ(expansion(), (std::vector<bool>{true, false, false, true}));
  EXPECT_EQ(view->systemSection()->rows().size(), 5);
  EXPECT_EQ(view->filesSection()->rows().size(), 5);
  EXPECT_TRUE(view->browserSection()->rows().isEmpty());

  // A settings change recomposes the sections; their expansion stays.
  manager->swapOptionAndCommand = false;
  settle();
  EXPECT_EQ(expansion(), (std::vector<bool>{true, false, false, true}));
}

// Every row of the reference list is relabelled under each of the four settings: one row of
// each kind (Alt, Win, Ctrl with Shift, Ctrl, no modifier) reads as written below for (Option/
// Command swap, Fn/Control swap) = (on, on), (on, off), (off, on), (off, off); and no Mac key
// text is shown but where a row is meant to show it.
TEST_F(ContentViewTest, EveryRowIsRelabelledUnderEverySettingAndShowsNoOtherMacKeys) {
  const std::array<const char*, 5> kRowsOfEachKind[] = {
      {"Alt + Tab", "⌘ + Tab", "⌘ + Tab", "⌥ + Tab", "⌥ + Tab"},
      {"Win + L", "⌥ + L", "⌥ + L", "⌘ + L", "⌘ + L"},
      {"Ctrl + Shift + Esc", "Fn + Shift + Esc", "Ctrl + Shift + Esc", "Fn + Shift + Esc",
       "Ctrl + Shift + Esc"},
      {"Ctrl + Delete", "Fn + Delete", "Ctrl + Delete", "Fn + Delete", "Ctrl + Delete"},
      {"F2", "F2", "F2", "F2", "F2"},
  };
  for (CollapsibleShortcutSection* section : sections()) click(section->header());
  for (bool swapOption : {true, false}) {
    for (bool swapFn : {true, false}) {
      manager->swapOptionAndCommand = swapOption;
      manager->swapFnAndControl = swapFn;
      settle();
      const QStringList texts = shownTexts();
      std::set<QString> allowed;              // what the rows are meant to show
      std::map<std::string, QString> badges;  // windows keys -> left badge
      for (CollapsibleShortcutSection* section : sections()) {
        const auto rows = section->rows();
        ASSERT_EQ(rows.size(), static_cast<qsizetype>(section->shortcuts().size()));
        for (qsizetype i = 0; i < rows.size(); ++i) {
          const ShortcutItem& item = section->shortcuts()[static_cast<size_t>(i)];
          badges[std::string(item.windowsKeys)] = rows[i]->findChildren<QLabel*>().first()->text();
          allowed.insert(displayKeys(QString::fromUtf8(item.windowsKeys), swapOption, swapFn));
          allowed.insert(QString::fromUtf8(item.description));
        }
      }
      ASSERT_EQ(badges.size(), 22u);
      for (const auto& row : kRowsOfEachKind) {
        EXPECT_EQ(badges[row[0]],
                  QString::fromUtf8(row[1 + (swapOption ? 0 : 2) + (swapFn ? 0 : 1)]))
            << row[0] << " option " << swapOption << " fn " << swapFn;
      }
      for (CollapsibleShortcutSection* section : sections()) {
        for (const ShortcutItem& item : section->shortcuts()) {
          const QString mac = QString::fromUtf8(item.macKeys);
          if (allowed.count(mac) == 0) {
            EXPECT_FALSE(texts.contains(mac)) << item.macKeys << " is shown";
          }
        }
      }
    }
  }
}

TEST_F(ContentViewTest, OnlyAnUntrustedRequestShowsAlertThatOpensExactlyTheSettingsLink) {
  trust->trusted = true;
  click(view->requestPermissionsButton());
  settle();
  EXPECT_FALSE(view->showingPermissionsAlert());
  EXPECT_FALSE(view->permissionsAlert()->isVisible());

  trust->trusted = false;
  click(view->requestPermissionsButton());
  settle();
  EXPECT_EQ(trust->checks, 2);
  EXPECT_TRUE(view->showingPermissionsAlert());
  PermissionsAlert* alert = view->permissionsAlert();
  ASSERT_TRUE(alert->isVisible());
  EXPECT_EQ(alert->text(), "Accessibility Permissions Required");
  EXPECT_EQ(alert->informativeText(),
            "This app needs Accessibility permissions to intercept keyboard shortcuts. Please "
            "grant access in System Preferences > Security & Privacy > Privacy > Accessibility.");
  EXPECT_EQ(alert->openSettingsButton()->text(), "Open System Preferences");
  EXPECT_EQ(alert->cancelButton()->text(), "Cancel");

  // Cancel closes it and opens nothing.
  click(alert->cancelButton());
  settle();
  EXPECT_FALSE(view->showingPermissionsAlert());
  EXPECT_FALSE(alert->isVisible());
  EXPECT_TRUE(opener->opened.empty());

  // Still untrusted: the alert comes again. "Open System Preferences" opens the link once.
  click(view->requestPermissionsButton());
  settle();
  ASSERT_TRUE(alert->isVisible());
  EXPECT_EQ(trust->checks, 3);
  click(alert->openSettingsButton());
  settle();
  EXPECT_EQ(opener->opened,
            std::vector<std::string>{
                "x-apple.systempreferences:com.apple.preference.security?Privacy_Accessibility"});
  EXPECT_FALSE(view->showingPermissionsAlert());
  EXPECT_FALSE(alert->isVisible());

  // Once per press.
  click(view->requestPermissionsButton());
  settle();
  click(alert->openSettingsButton());
  settle();
  EXPECT_EQ(opener->opened.size(), 2u);
  // Nothing else changed: the engine was neither started nor stopped.
  EXPECT_EQ(session->tapsCreated(), 0u);
  EXPECT_FALSE(manager->isEnabled);
}

TEST(ContentViewLifetime, DestroyedViewNoLongerListens) {
  auto session = std::make_shared<sim::SimulatedSession>(sim::ClockMode::Virtual);
  auto manager = std::make_shared<KeyboardShortcutManager>(session);
  {
    ContentView view(manager, WindowServices{});
    manager->isEnabled = true;  // a composition is queued for the view
  }
  manager->isEnabled = false;  // nobody listens any more
  QApplication::processEvents();
  SUCCEED();
}

// What the system can take away while Corvane runs: the permission, checked every 2 seconds on
// the main thread (the watch's poll is what its timer calls), and the keyboard under secure
// input.
class TrustWatchTest : public ContentViewTest {
 protected:
  void startTranslating(uint64_t setups = 1) {
    click(view->startStopButton());
    ASSERT_TRUE(session->waitForTapSetups(setups, 5s));
    settle();
  }
  // A failed tap creation comes back on the main queue.
  void runFailureHandBack() {
    ASSERT_TRUE(QTest::qWaitFor([&] { return session->nextMainWorkDue().has_value(); }, 5000));
    session->advance(0ns);
    settle();
  }
  bool noteShown(QWidget* note) const { return note->isVisibleTo(&window); }
};

// The permission is read live (AXIsProcessTrusted keeps its first answer on macOS 13 and later):
// a removal with − while translating stops it at the next check, a grant starts it again.
TEST_F(TrustWatchTest, PermissionTakenAwayStopsTranslationAndSaysSo) {
  startTranslating();
  ASSERT_TRUE(session->axIsProcessTrusted(false));
  EXPECT_TRUE(view->trustWatch()->polling()) << "checked while translating";
  view->trustWatch()->poll();
  EXPECT_TRUE(manager->isEnabled) << "still trusted";

  session->removeFromAccessibilityList();
  view->trustWatch()->poll();
  settle();
  EXPECT_FALSE(manager->isEnabled);
  EXPECT_EQ(view->statusTag()->text(), "Inactive");
  ASSERT_TRUE(noteShown(view->permissionNote()));
  EXPECT_EQ(view->permissionNote()->text(), QString::fromUtf8(kPermissionTakenAwayLine));
  click(view->permissionSettingsLink());
  EXPECT_EQ(opener->opened, std::vector<std::string>{std::string(kAccessibilitySettingsUrl)});
  view->trustWatch()->poll();
  EXPECT_LE(session->accessibilityPrompts(), 1u) << "a removed entry is asked for once at most";
  EXPECT_EQ(trust->checks, 0) << "the checks never prompt as a launch does";

  // Granted again: translation comes back by itself, and the line goes.
  EXPECT_TRUE(view->trustWatch()->polling());
  session->setTrusted(true);
  const uint64_t setups = session->tapSetups();
  view->trustWatch()->poll();
  ASSERT_TRUE(session->waitForTapSetups(setups + 1, 5s));
  settle();
  EXPECT_TRUE(manager->isEnabled);
  EXPECT_FALSE(noteShown(view->permissionNote()));
  // That start forgot why the last one ended: after the user's Stop nothing is said.
  click(view->startStopButton());
  settle();
  EXPECT_FALSE(noteShown(view->permissionNote()));
}

TEST_F(TrustWatchTest, AFailedStartWaitsForThePermissionAndStartsOnceGranted) {
  session->setTrusted(false);
  trust->trusted = false;
  startTranslating();
  runFailureHandBack();
  EXPECT_FALSE(manager->isEnabled);
  ASSERT_TRUE(noteShown(view->permissionNote()));
  EXPECT_EQ(view->permissionNote()->text(), QString::fromUtf8(kWaitingForPermissionLine));
  EXPECT_TRUE(view->permissionNote()->text().contains(u'−')) << "remove with − and add again";
  EXPECT_TRUE(view->trustWatch()->polling()) << "checked while waiting";

  view->trustWatch()->poll();
  settle();
  EXPECT_FALSE(manager->isEnabled) << "not yet granted";
  session->setTrusted(true);  // granted: the program's cached answer stays "no"
  const uint64_t setups = session->tapSetups();
  view->trustWatch()->poll();
  ASSERT_TRUE(session->waitForTapSetups(setups + 1, 5s));
  settle();
  EXPECT_TRUE(manager->isEnabled);
  EXPECT_FALSE(noteShown(view->permissionNote()));
  EXPECT_EQ(trust->checks, 0);
  EXPECT_EQ(session->accessibilityPrompts(), 0u);
}

TEST_F(TrustWatchTest, NeverStartsByItselfAfterTheUserPressedStop) {
  session->setTrusted(false);
  trust->trusted = false;
  startTranslating();
  runFailureHandBack();
  click(view->startStopButton());  // Start again (it failed): the user wants it
  ASSERT_TRUE(session->waitForTapSetups(2, 5s));
  runFailureHandBack();
  session->setTrusted(true);
  view->trustWatch()->poll();
  ASSERT_TRUE(session->waitForTapSetups(3, 5s));
  settle();
  ASSERT_TRUE(manager->isEnabled);

  click(view->startStopButton());  // the user's Stop
  settle();
  EXPECT_FALSE(view->trustWatch()->polling()) << "nothing to watch while stopped by the user";
  session->setTrusted(false);
  view->trustWatch()->poll();
  session->setTrusted(true);
  view->trustWatch()->poll();
  settle();
  EXPECT_FALSE(manager->isEnabled);
  EXPECT_EQ(session->tapsCreated(), 2u) << "the probe that saw the grant and one tap: no more";
  EXPECT_FALSE(noteShown(view->permissionNote()));
}

// The system kept switching the tap off by timeout: translation stopped and the window says what
// to do; only Start starts it again.
TEST_F(TrustWatchTest, ATapKeptSwitchedOffSaysWhatToDo) {
  startTranslating();
  for (int i = 0; i < 3; ++i) {
    session->disableTaps(kEventTapDisabledByTimeout);
    session->settle();
  }
  ASSERT_TRUE(QTest::qWaitFor([&] { return session->nextMainWorkDue().has_value(); }, 5000));
  session->advance(0ns);
  settle();
  EXPECT_FALSE(manager->isEnabled);
  ASSERT_TRUE(noteShown(view->permissionNote()));
  EXPECT_EQ(view->permissionNote()->text(), QString::fromUtf8(kTapKeptSwitchedOffLine));
  view->trustWatch()->poll();
  settle();
  EXPECT_FALSE(manager->isEnabled) << "trusted, but only the user's Start starts it";
  startTranslating(2);
  EXPECT_TRUE(manager->isEnabled);
  EXPECT_FALSE(noteShown(view->permissionNote()));
}

TEST_F(TrustWatchTest, SecureInputIsShownWhileItLasts) {
  startTranslating();
  for (bool secure : {true, false, true}) {
    trust->secureInput = secure;
    view->trustWatch()->poll();
    settle();
    EXPECT_EQ(noteShown(view->secureInputNote()), secure);
    EXPECT_EQ(view->statusTag()->toolTip(), secure ? QString::fromUtf8(kSecureInputLine) : "");
    EXPECT_EQ(view->statusTag()->accessibleName().contains(QString::fromUtf8(kSecureInputLine)),
              secure);
    EXPECT_EQ(view->statusTag()->text(), "Active");
  }
  click(view->startStopButton());
  settle();
  EXPECT_FALSE(noteShown(view->secureInputNote())) << "only while translating";
  EXPECT_EQ(view->statusTag()->toolTip(), "");
}

}  // namespace
}  // namespace corvane::ui

CORVANE_QT_TEST_MAIN()
