// The application shell: the status item, the one window, and the launch sequence that shows
// the window, asks for the Accessibility permission, starts the engine and brings the login
// item in line with the stored preference.
#pragma once

#include <QGuiApplication>
#include <QObject>
#include <QString>
#include <QStyleHints>
#include <filesystem>
#include <functional>
#include <iosfwd>
#include <memory>

#include "app/PreferencesStore.h"
#include "app/ShellServices.h"
#include "app/StatusItemClicks.h"

class QSystemTrayIcon;
class QWidget;

namespace corvane {

class KeyboardShortcutManager;
class MainWindow;
class RulesLoader;

// What the delegate works with. The program uses defaults(); tests put in their own.
struct AppEnvironment {
  ShellServices services;
  std::shared_ptr<PreferencesStore> preferences;
  std::function<KeyboardShortcutManager&()> shortcutManager;
  std::function<QWidget*()> makeContentView;  // a new ContentView
  std::ostream* out = nullptr;                // the two diagnostic lines
  std::filesystem::path rulesFile;            // the user's rules file; empty: none is read
  std::ostream* err = nullptr;                // what is wrong with the rules file
  bool simulatedKeyboard = false;  // the engine runs on a simulated session (off the Mac)
  QString applicationPath;         // where the program runs from; empty: this process's executable

  // The build's services, the application's settings, the shared manager, a ContentView built
  // with no arguments, standard output, the rules file in the configuration folder, standard
  // error, and whether the shared manager's session is a simulated one.
  static AppEnvironment defaults();
};

// A program that runs from a mounted disk image (/Volumes/...) or from App Translocation's
// temporary copy: registered as login item, it would be gone (or moved) at the next login.
bool runsFromDiskImageOrTranslocation(const QString& applicationPath);

inline constexpr const char* kAccessibilityRequiredMessage =
    "Accessibility permissions required - please grant in System Settings";
inline constexpr const char* kLaunchAtLoginFailedPrefix = "LaunchAtLogin registration failed: ";

class AppDelegate final : public QObject {
 public:
  explicit AppDelegate(AppEnvironment environment = AppEnvironment::defaults(),
                       QObject* parent = nullptr);
  ~AppDelegate() override;

  // The launch sequence, once launching has finished.
  void applicationDidFinishLaunching();
  // The status item's action: hides a visible window, else shows it in front and activates.
  void toggleMainWindow();
  // The program was opened again while running: a window that is not visible comes back.
  bool applicationShouldHandleReopen();
  // The window's close button: takes it off the screen and keeps it.
  bool windowShouldClose(QWidget* window);
  static bool applicationShouldTerminateAfterLastWindowClosed() { return false; }
  // Registers or unregisters the program as a login item to match the stored flag.
  void applyLaunchAtLoginSetting();

  // Quitting (the Quit shortcut, SIGINT, SIGTERM, the system's own quit): the window lets
  // itself be closed, and the engine is stopped once the event loop ends.
  bool eventFilter(QObject* watched, QEvent* event) override;

  QSystemTrayIcon* statusItem() const { return statusItem_.get(); }
  MainWindow* window() const { return window_.get(); }
  // The rules file's loader, while the environment names a rules file.
  RulesLoader* rulesLoader() const { return rulesLoader_.get(); }
  const QString launchAtLoginKey = QStringLiteral("launchAtLoginEnabled");

 private:
  void showAndActivate();
  void seedLaunchAtLogin();

  AppEnvironment environment_;
  std::unique_ptr<QSystemTrayIcon> statusItem_;
  std::unique_ptr<MainWindow> window_;
  std::unique_ptr<RulesLoader> rulesLoader_;
  QObject* contentView_ = nullptr;  // the window's ContentView, when it is one
  bool quitting_ = false;
  StatusItemClicks clicks_{
      std::chrono::milliseconds(QGuiApplication::styleHints()->mouseDoubleClickInterval())};
};

}  // namespace corvane
