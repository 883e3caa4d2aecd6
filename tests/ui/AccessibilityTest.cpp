// The window with the keyboard alone and with a screen reader: Tab reaches every control in
// reading order and each shows that it has the focus; what Qt's accessibility interface reports
// for the controls, the badges and the status is readable text.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QImage>
#include <QTest>
#include <QVBoxLayout>
#include <chrono>
#include <memory>

#include "WindowHarness.h"
#include "platform/simulated/SimulatedSession.h"
#include "ui/CollapsibleShortcutSection.h"
#include "ui/ContentView.h"
#include "ui/KeyBadge.h"
#include "ui/StatusTag.h"

namespace corvane::ui {
namespace {

using namespace std::chrono_literals;

QString accessibleName(QWidget* widget) {
  QAccessibleInterface* face = QAccessible::queryAccessibleInterface(widget);
  return face != nullptr ? face->text(QAccessible::Name) : QString();
}

class AccessibilityTest : public WindowHarness {
 protected:
  void SetUp() override {
    build(WindowServices{std::make_shared<FakeTrust>(), nullptr});
    show(/*active=*/true);
  }
};

TEST_F(AccessibilityTest, TabReachesEveryControlInOrderAndEachShowsFocus) {
  const auto named = [this](const char* name) { return view->findChild<QWidget*>(name); };
  const std::vector<std::pair<QWidget*, QString>> expected = {
      {named("startStopButton"), "Start Shortcuts"},
      {named("requestPermissionsButton"), "Request Permissions"},
      {named("swapFnAndControl"), "Swap Fn and Control keys"},
      {named("swapOptionAndCommand"), "Swap Option (Alt) and Command"},
      {named("addShortcutButton"), "Add a shortcut of your own"},
      {named("editRulesButton"), "Edit the rules file"},
      {named("testKeysButton"), "See the keys Corvane reads"},
      {view->systemSection()->header(), "System & Window Management"},
      {view->browserSection()->header(), "Browser & Tabs"},
      {view->editingSection()->header(), "Editing & Clipboard"},
      {view->filesSection()->header(), "Files & Documents"},
  };
  for (const auto& [widget, name] : expected) ASSERT_NE(widget, nullptr) << name.toStdString();

  expected.front().first->setFocus(Qt::TabFocusReason);
  for (size_t i = 0; i < expected.size(); ++i) {
    QWidget* focused = QApplication::focusWidget();
    ASSERT_EQ(focused, expected[i].first)
        << "Tab " << i << " reached " << (focused ? focused->metaObject()->className() : "none")
        << " " << (focused ? focused->objectName().toStdString() : "");
    EXPECT_EQ(accessibleName(focused), expected[i].second);
    // It looks different with the focus than without.
    const QImage withFocus = focused->grab().toImage();
    focused->clearFocus();
    const QImage withoutFocus = focused->grab().toImage();
    EXPECT_NE(withFocus, withoutFocus) << expected[i].second.toStdString() << " shows no focus";
    focused->setFocus(Qt::TabFocusReason);
    QTest::keyClick(focused, Qt::Key_Tab);
  }
  QWidget* last = QApplication::focusWidget();
  EXPECT_EQ(last, expected.front().first)
      << "the chain does not close: " << (last ? last->metaObject()->className() : "none") << " "
      << (last ? last->objectName().toStdString() : "");
}

TEST_F(AccessibilityTest, AHeaderOpensWithSpaceAndSaysWhetherItIsExpanded) {
  QWidget* header = view->editingSection()->header();
  QAccessibleInterface* face = QAccessible::queryAccessibleInterface(header);
  ASSERT_NE(face, nullptr);
  EXPECT_EQ(face->text(QAccessible::Description), QStringLiteral("collapsed"));
  header->setFocus(Qt::TabFocusReason);
  QTest::keyClick(header, Qt::Key_Space);
  EXPECT_TRUE(view->showEditing());
  EXPECT_EQ(QAccessible::queryAccessibleInterface(view->editingSection()->header())
                ->text(QAccessible::Description),
            QStringLiteral("expanded"));
}

TEST_F(AccessibilityTest, BadgesAndTheStatusAreSpokenAsWords) {
  EXPECT_EQ(accessibleName(view->findChild<QWidget*>(QStringLiteral("statusTag"))),
            QStringLiteral("Shortcuts inactive"));
  view->systemSection()->header()->click();
  QStringList names;
  for (QWidget* row : view->systemSection()->rows()) {
    for (QWidget* child : row->findChildren<QWidget*>()) {
      if (dynamic_cast<KeyBadge*>(child) != nullptr) names << accessibleName(child);
    }
  }
  // Both swaps on, as a new manager starts: Alt is Command, Win is Option, Ctrl is Fn.
  EXPECT_EQ(names, (QStringList{"Command + Tab", "Switch Apps", "Command + F4", "Close Window",
                                "Option + L", "Lock Computer", "Option + E", "Open Finder",
                                "Fn + Shift + Esc", "Activity Monitor"}));
  EXPECT_EQ(spokenKeys(QStringLiteral("⌃ + ⇧ + ⌥ + ⌘ + X")),
            QStringLiteral("Control + Shift + Option + Command + X"));
}

}  // namespace
}  // namespace corvane::ui
