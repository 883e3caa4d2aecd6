// An AppDelegate on recording fakes, a manager of its own (simulated session, virtual clock) and
// real widgets offscreen.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QEvent>
#include <QTest>
#include <chrono>
#include <memory>
#include <sstream>

#include "AppFakes.h"
#include "app/AppDelegate.h"
#include "app/MainWindow.h"
#include "engine/KeyboardShortcutManager.h"
#include "platform/simulated/SimulatedSession.h"
#include "ui/ContentView.h"

namespace corvane::testing {

// Logs "shown" each time the widget it watches is shown.
class ShowRecorder final : public QObject {
 public:
  explicit ShowRecorder(Log log) : log_(std::move(log)) {}
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Show) log_->push_back("shown");
    return false;
  }

 private:
  Log log_;
};

class DelegateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    subscription = manager->objectWillChange.subscribe([this] {
      if (!engineStartLogged) {
        engineStartLogged = true;
        log->push_back(out.str().empty() ? "engineStart" : "engineStart(after output)");
      }
    });
  }
  void TearDown() override {
    delegate.reset();
    manager->objectWillChange.unsubscribe(subscription);
    manager->stop();
    session->waitForRunLoopsToEnd(std::chrono::seconds(5));
    session->advance(std::chrono::seconds(1));
  }

  AppEnvironment environment() {
    AppEnvironment env;
    env.services = ShellServices{trust, activation, loginItem, std::make_shared<NullOpener>()};
    env.preferences = preferences;
    env.shortcutManager = [this]() -> KeyboardShortcutManager& { return *manager; };
    env.makeContentView = [this]() -> QWidget* {
      log->push_back(std::string("contentView(statusItem=") +
                     (delegate && delegate->statusItem() ? "yes" : "no") +
                     ", window=" + (delegate && delegate->window() ? "yes" : "no") + ")");
      view = new ui::ContentView(manager, WindowServices{trust, nullptr});
      view->installEventFilter(&showRecorder);
      return view;
    };
    env.out = &out;
    env.simulatedKeyboard = simulatedKeyboard;
    env.applicationPath = applicationPath;
    return env;
  }

  AppDelegate& launch() {
    ++launches;
    delegate = std::make_unique<AppDelegate>(environment());
    delegate->applicationDidFinishLaunching();
    // Let the platform finish activating the window (the program becomes active) before the
    // test acts, as a user would.
    static_cast<void>(QTest::qWaitForWindowActive(delegate->window(), 2000));
    QApplication::processEvents();
    return *delegate;
  }

  // Ends this launch: the delegate goes, the engine is stopped once its tap is up.
  void quit() {
    delegate.reset();
    session->waitForTapSetups(static_cast<uint64_t>(launches), std::chrono::seconds(5));
    manager->stop();
  }

  int launches = 0;
  bool simulatedKeyboard = false;  // as on a Mac
  QString applicationPath = QStringLiteral("/Applications/Corvane.app/Contents/MacOS/Corvane");
  Log log = std::make_shared<std::vector<std::string>>();
  std::shared_ptr<FakeTrust> trust = std::make_shared<FakeTrust>(log);
  std::shared_ptr<FakeActivation> activation = std::make_shared<FakeActivation>(log);
  std::shared_ptr<FakeLoginItem> loginItem = std::make_shared<FakeLoginItem>(log);
  std::shared_ptr<FakePreferences> preferences = std::make_shared<FakePreferences>(log);
  std::shared_ptr<sim::SimulatedSession> session =
      std::make_shared<sim::SimulatedSession>(sim::ClockMode::Virtual);
  std::shared_ptr<KeyboardShortcutManager> manager =
      std::make_shared<KeyboardShortcutManager>(session);
  std::ostringstream out;
  ShowRecorder showRecorder{log};
  ui::ContentView* view = nullptr;
  std::unique_ptr<AppDelegate> delegate;
  ChangeNotifier::Token subscription = 0;
  bool engineStartLogged = false;
};

}  // namespace corvane::testing
