#include "app/CorvaneApp.h"

#include <QStyleHints>
#include <QTimer>

#include "app/AppDelegate.h"
#include "app/BuildTreeRun.h"
#include "app/MainThreadExecutor.h"
#include "app/QuitSignals.h"
#include "app/SingleInstance.h"
#include "engine/KeyboardShortcutManager.h"
#include "ui/Style.h"

namespace corvane {

int runCorvane(QApplication& app, std::ostream& notice) {
  // The settings domain: app.corvane.Corvane on macOS (the bundle identifier), the file
  // Corvane/Corvane.conf in the XDG config folder elsewhere.
  QCoreApplication::setOrganizationName(QStringLiteral("Corvane"));
  QCoreApplication::setOrganizationDomain(QStringLiteral("corvane.app"));
  QCoreApplication::setApplicationName(QStringLiteral("Corvane"));
  QCoreApplication::setApplicationVersion(QStringLiteral(CORVANE_VERSION));

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

  AppDelegate delegate(std::move(environment));
  instance.onReopenRequested([&delegate] { delegate.applicationShouldHandleReopen(); });
  quitOnTerminationSignals(&delegate);
  QTimer::singleShot(0, &delegate, &AppDelegate::applicationDidFinishLaunching);
  return app.exec();
}

}  // namespace corvane
