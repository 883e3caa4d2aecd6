#include "app/AppDelegate.h"

#include <QApplication>
#include <QShortcut>
#include <QSystemTrayIcon>
#include <iostream>

#include "app/MainThreadExecutor.h"
#include "app/MainWindow.h"
#include "app/RulesLoader.h"
#include "engine/KeyboardShortcutManager.h"
#include "ui/ContentView.h"
#include "ui/TrustWatch.h"
#include "ui/Symbols.h"

namespace corvane {

AppEnvironment AppEnvironment::defaults() {
  AppEnvironment environment;
  environment.services = makeDefaultShellServices();
  environment.preferences = std::make_shared<SettingsPreferencesStore>();
  environment.shortcutManager = []() -> KeyboardShortcutManager& {
    return KeyboardShortcutManager::shared();
  };
  environment.makeContentView = [] { return new ui::ContentView(); };
  environment.out = &std::cout;
  environment.rulesFile = rulesFilePath();
  environment.err = &std::cerr;
  environment.simulatedKeyboard = simulatedSessionOf(KeyboardShortcutManager::shared()) != nullptr;
  return environment;
}

AppDelegate::AppDelegate(AppEnvironment environment, QObject* parent)
    : QObject(parent), environment_(std::move(environment)) {
  if (environment_.out == nullptr) environment_.out = &std::cout;
  if (environment_.err == nullptr) environment_.err = &std::cerr;
  // The program keeps running with its status item alone when the window is hidden.
  QGuiApplication::setQuitOnLastWindowClosed(applicationShouldTerminateAfterLastWindowClosed());
  // Opening the program again while it runs makes it active: that is the reopen.
  connect(qApp, &QGuiApplication::applicationStateChanged, this,
          [this](Qt::ApplicationState state) {
            if (state == Qt::ApplicationActive) applicationShouldHandleReopen();
          });
  qApp->installEventFilter(this);
  connect(qApp, &QCoreApplication::aboutToQuit, this,
          [this] { environment_.shortcutManager().stop(); });
}

bool AppDelegate::eventFilter(QObject* watched, QEvent* event) {
  // The quit request reaches the application before Qt asks each window to close.
  if (watched == qApp && event->type() == QEvent::Quit) quitting_ = true;
  return QObject::eventFilter(watched, event);
}

AppDelegate::~AppDelegate() = default;

void AppDelegate::applicationDidFinishLaunching() {
  ShellServices& services = environment_.services;

  // 0. The user's rules file, before the window is composed and the engine starts: the first
  // composition and the first key-down see its rules and settings.
  if (!environment_.rulesFile.empty()) {
    rulesLoader_ = std::make_unique<RulesLoader>(environment_.rulesFile,
                                                 environment_.shortcutManager(), *environment_.err);
    rulesLoader_->load();
    rulesLoader_->watch();
  }

  // 1. No Dock icon, no menu bar of our own.
  if (services.activation) services.activation->setAccessoryActivationPolicy();

  // 2. The status item: the keyboard symbol; a click goes straight to toggleMainWindow.
  statusItem_ = std::make_unique<QSystemTrayIcon>();
  statusItem_->setIcon(ui::keyboardStatusIcon());
  // Off the Mac the tooltip says, as the window does, that this computer's keys are not
  // translated.
  statusItem_->setToolTip(environment_.simulatedKeyboard
                              ? QStringLiteral("Corvane\n") +
                                    QString::fromUtf8(ui::kSimulatedKeyboardLine)
                              : QStringLiteral("Corvane"));
  // A double click is two clicks: two toggles (StatusItemClicks).
  connect(statusItem_.get(), &QSystemTrayIcon::activated, this,
          [this](QSystemTrayIcon::ActivationReason reason) {
            if (clicks_.isClick(reason, StatusItemClicks::Clock::now())) toggleMainWindow();
          });
  // Without a tray (a headless or tray-less desktop) the item stays hidden; the window is shown
  // all the same.
  if (QSystemTrayIcon::isSystemTrayAvailable()) statusItem_->show();

  // 3-5. The window, centred, hosting a new ContentView; created once for the process.
  QWidget* content = environment_.makeContentView ? environment_.makeContentView() : nullptr;
  // While quitting, the window closes: otherwise its refusal would cancel the quit.
  auto window = std::make_unique<MainWindow>(
      content, [this](MainWindow* closing) { return quitting_ || windowShouldClose(closing); });
  window->center();
  // Quit: Cmd+Q on a Mac, Ctrl+Q elsewhere.
  auto* quit = new QShortcut(QKeySequence::Quit, window.get());
  if (quit->key().isEmpty()) quit->setKey(QKeySequence(Qt::CTRL | Qt::Key_Q));
  connect(quit, &QShortcut::activated, qApp, &QCoreApplication::quit);
  window_ = std::move(window);
  if (auto* view = qobject_cast<ui::ContentView*>(content); view != nullptr) {
    contentView_ = view;
    if (rulesLoader_) view->setRulesStatus(rulesLoader_->status());
    view->setSimulatedKeyboard(environment_.simulatedKeyboard);
  }

  // 6. On screen in front, key, and the program active.
  showAndActivate();

  // 7. The Accessibility question; the answer never stops the launch.
  if (services.trust && !services.trust->checkAccessibilityTrust()) {
    *environment_.out << kAccessibilityRequiredMessage << '\n' << std::flush;
  }

  // 8. The engine. The window's watch starts it by itself once a missing permission is granted.
  auto* view = qobject_cast<ui::ContentView*>(contentView_);
  if (view != nullptr) view->trustWatch()->startRequested();
  environment_.shortcutManager().start();

  // 9. Launch at login: seed the flag, then apply it.
  seedLaunchAtLogin();
  applyLaunchAtLoginSetting();
}

void AppDelegate::showAndActivate() {
  MainWindow& window = *window_;
  window.setWindowState(window.windowState() & ~Qt::WindowMinimized);
  window.show();
  window.raise();
  window.activateWindow();
  if (environment_.services.activation)
    environment_.services.activation->activateIgnoringOtherApps();
}

void AppDelegate::toggleMainWindow() {
  if (!window_) return;
  // Visibility decides, not focus.
  if (window_->isVisible()) {
    window_->hide();
    return;
  }
  showAndActivate();
}

bool AppDelegate::applicationShouldHandleReopen() {
  if (window_ && !window_->isVisible()) showAndActivate();
  return true;
}

bool AppDelegate::windowShouldClose(QWidget* window) {
  if (window != nullptr) window->hide();
  return false;
}

void AppDelegate::seedLaunchAtLogin() {
  PreferencesStore* preferences = environment_.preferences.get();
  if (preferences == nullptr) return;
  // Written only when no value of any kind is stored, and only with true.
  if (!preferences->contains(launchAtLoginKey)) preferences->setBool(launchAtLoginKey, true);
}

bool runsFromDiskImageOrTranslocation(const QString& applicationPath) {
  return applicationPath.startsWith(QStringLiteral("/Volumes/")) ||
         applicationPath.contains(QStringLiteral("/AppTranslocation/"));
}

void AppDelegate::applyLaunchAtLoginSetting() {
  LoginItemService* loginItem = environment_.services.loginItem.get();
  // Where login items are not available (macOS before 13.0): nothing at all.
  if (loginItem == nullptr || !loginItem->isAvailable()) return;
  const bool enabled =
      environment_.preferences != nullptr && environment_.preferences->boolValue(launchAtLoginKey);
  auto* view = qobject_cast<ui::ContentView*>(contentView_);
  const auto say = [view](ui::LoginItemNote note) {
    if (view != nullptr) view->setLoginItemNote(note);
  };
  LoginItemService::Result result{true, {}};
  if (!enabled) {
    result = loginItem->unregisterMainApp();
  } else {
    const QString path = environment_.applicationPath.isEmpty()
                             ? QCoreApplication::applicationFilePath()
                             : environment_.applicationPath;
    if (runsFromDiskImageOrTranslocation(path)) {
      say(ui::LoginItemNote::moveToApplications);  // never registered from there
      return;
    }
    // Registered only when the system does not know it; an item waiting for the user's approval
    // is left to the user, who is told where.
    switch (loginItem->status()) {
      case LoginItemService::Status::enabled:
        return;
      case LoginItemService::Status::requiresApproval:
        say(ui::LoginItemNote::requiresApproval);
        return;
      case LoginItemService::Status::notRegistered:
      case LoginItemService::Status::notFound:
        result = loginItem->registerMainApp();
        break;
    }
  }
  if (!result.succeeded) {
    *environment_.out << kLaunchAtLoginFailedPrefix << result.errorDescription << '\n'
                      << std::flush;
  }
}

}  // namespace corvane
