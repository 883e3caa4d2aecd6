// The window as the shell builds it for the tests: 740 x 520, fixed, hosting one ContentView on
// a manager of its own (a simulated session on a virtual clock). Fixtures derive from it, build
// the view with the services they want to watch, and then show the window.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QVBoxLayout>
#include <chrono>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/simulated/SimulatedSession.h"
#include "ui/ContentView.h"
#include "ui/PermissionsAlert.h"
#include "ui/WindowServices.h"

namespace corvane::ui {

// Services the fixtures watch: the permission (and secure input) they set, the links opened.
class FakeTrust final : public AccessibilityTrust {
 public:
  bool trusted = true;
  int checks = 0;
  bool secureInput = false;
  bool checkAccessibilityTrust() override {
    ++checks;
    return trusted;
  }
  bool isSecureEventInputEnabled() override { return secureInput; }
};

class RecordingOpener final : public UrlOpener {
 public:
  std::vector<std::string> opened;
  bool answer = true;  // false: no program to open it with (no xdg-open, no editor)
  bool openURL(std::string_view url) override {
    opened.emplace_back(url);
    return answer;
  }
};

class WindowHarness : public ::testing::Test {
 protected:
  // The view inside the window, not yet on screen (set it up further before showing).
  void build(WindowServices services) {
    window.setFixedSize(740, 520);
    auto* layout = new QVBoxLayout(&window);
    layout->setContentsMargins(0, 0, 0, 0);
    view = new ContentView(manager, std::move(services), &window);
    layout->addWidget(view);
  }
  // On screen; `active` also waits for it to have the keyboard focus.
  void show(bool active = false) {
    window.show();
    if (active) {
      window.activateWindow();
      ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    } else {
      ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
  }

  void TearDown() override {
    if (view != nullptr && view->permissionsAlert()->isVisible()) view->permissionsAlert()->hide();
    manager->stop();
    session->waitForRunLoopsToEnd(std::chrono::seconds(5));
    session->advance(std::chrono::seconds(1));
  }

  static void settle() {
    for (int i = 0; i < 3; ++i) QApplication::processEvents();
  }
  // A real click on a widget, at a point inside what it draws.
  static void click(QWidget* widget) {
    ASSERT_TRUE(widget->isVisible());
    QTest::mouseClick(widget, Qt::LeftButton, {}, widget->rect().center());
  }

  std::shared_ptr<sim::SimulatedSession> session =
      std::make_shared<sim::SimulatedSession>(sim::ClockMode::Virtual);
  std::shared_ptr<KeyboardShortcutManager> manager =
      std::make_shared<KeyboardShortcutManager>(session);
  QWidget window;
  ContentView* view = nullptr;
};

}  // namespace corvane::ui
