#include "app/CorvaneApp.h"

#include <QStyleHints>
#include <QSystemTrayIcon>
#include <QTimer>
#include <optional>

#include "app/AppDelegate.h"
#include "app/BuildTreeRun.h"
#include "app/MainThreadExecutor.h"
#include "app/MainWindow.h"
#include "app/QuitSignals.h"
#include "app/SingleInstance.h"
#include "app/StateReport.h"
#include "engine/KeyboardShortcutManager.h"
#include "platform/simulated/SimulatedSession.h"
#include "ui/ContentView.h"
#include "ui/Style.h"

namespace corvane {
namespace {

// The start check: the real launch sequence, window and status item, with every step that would
// touch the user's system left out: the engine runs on a simulated session of its own (no tap),
// and there is no trust check (no prompt), no preferences and no login item service.
int checkStart(QApplication& app, std::ostream& notice) {
  auto session = std::make_shared<sim::SimulatedSession>(sim::ClockMode::Real);
  session->setTrusted(true);
  runMainQueueOnEventLoop(*session, &app);
  auto manager = std::make_shared<KeyboardShortcutManager>(session);
  AppEnvironment environment;
  environment.services.activation = makeDefaultShellServices().activation;
  environment.shortcutManager = [manager]() -> KeyboardShortcutManager& { return *manager; };
  environment.makeContentView = [manager] { return new ui::ContentView(manager, {}); };
  environment.simulatedKeyboard = true;
  AppDelegate delegate(std::move(environment));
  QTimer::singleShot(0, &delegate, &AppDelegate::applicationDidFinishLaunching);
  int status = 1;
  QTimer::singleShot(0, &delegate, [&] {
    const bool shown = delegate.window() != nullptr && delegate.window()->isVisible();
    const bool tray = delegate.statusItem() != nullptr && delegate.statusItem()->isVisible();
    notice << "Corvane start check: platform " << QGuiApplication::platformName().toStdString()
           << ", window " << (shown ? "shown" : "NOT SHOWN") << ", status item "
           << (tray ? "shown" : "hidden (no system tray)") << '\n'
           << std::flush;
    status = shown ? 0 : 1;
    QCoreApplication::exit(status);
  });
  app.exec();
  manager->stop();
  return status;
}

}  // namespace

int runCorvane(QApplication& app, std::ostream& notice, const CommandLine& command) {
  // The settings domain: app.corvane.Corvane on macOS (the bundle identifier), the file
  // Corvane/Corvane.conf in the XDG config folder elsewhere.
  QCoreApplication::setOrganizationName(QStringLiteral("Corvane"));
  QCoreApplication::setOrganizationDomain(QStringLiteral("corvane.app"));
  QCoreApplication::setApplicationName(QStringLiteral("Corvane"));
  QCoreApplication::setApplicationVersion(QStringLiteral(CORVANE_VERSION));
  if (command.startCheck) {
    ui::applyPlatformLook(app);
    return checkStart(app, notice);
  }

  // One copy per user: a second start brings the first one's window forward and ends here.
  SingleInstance instance(SingleInstance::defaultFolder());
  switch (instance.claim()) {
    case SingleInstance::Claim::handedOver:
      notice << kHandedOverNotice << '\n' << std::flush;
      return 0;
    case SingleInstance::Claim::noAnswer:
      notice << "Corvane is already running but did not answer; this copy ends." << '\n'
             << std::flush;
      return 1;
    default:
      break;
  }

  ui::applyPlatformLook(app);
  // Tab reaches every control, also on a Mac without Full Keyboard Access switched on.
  QGuiApplication::styleHints()->setTabFocusBehavior(Qt::TabFocusAllControls);

  // Off the Mac: the engine's main-queue work runs on this event loop, and the user is told
  // that the real keyboard is not translated.
  if (sim::SimulatedSession* session = simulatedSessionOf(KeyboardShortcutManager::shared())) {
    runMainQueueOnEventLoop(*session, &app);
    notice << kSimulatedKeyboardNotice << '\n' << std::flush;
  }

  AppEnvironment environment = AppEnvironment::defaults();
  // Tried from a checkout: nothing of it lands in the user's settings or login items.
  if (liesInside(QCoreApplication::applicationFilePath(), QStringLiteral(CORVANE_BUILD_DIR))) {
    const QString folder = buildTreeStateFolder(QStringLiteral(CORVANE_BUILD_DIR));
    keepStateInFolder(environment, folder);
    notice << buildTreeNotice(folder).toStdString() << '\n' << std::flush;
  }

  std::optional<StateReport> report;
  if (!command.reportState.empty()) {
    report.emplace(QString::fromStdString(command.reportState), environment.shortcutManager(),
                   [trust = environment.services.trust,
                    manager = &environment.shortcutManager()] {
                     // Read live: AXIsProcessTrusted may keep the launch's answer.
                     return trust != nullptr && manager->probeTrust();
                   });
  }
  AppDelegate delegate(std::move(environment));
  instance.onReopenRequested([&delegate] { delegate.applicationShouldHandleReopen(); });
  quitOnTerminationSignals(&delegate);
  QTimer::singleShot(0, &delegate, &AppDelegate::applicationDidFinishLaunching);
  return app.exec();
}

}  // namespace corvane
