#include "app/CorvaneApp.h"

#include <QTimer>

#include "app/AppDelegate.h"
#include "app/MainThreadExecutor.h"
#include "engine/KeyboardShortcutManager.h"
#include "ui/Style.h"

namespace corvane {

int runCorvane(QApplication& app, std::ostream& notice) {
  // The settings domain: app.corvane.Corvane on macOS (the bundle identifier), the file
  // Corvane/Corvane.conf in the XDG config folder elsewhere.
  QCoreApplication::setOrganizationName(QStringLiteral("Corvane"));
  QCoreApplication::setOrganizationDomain(QStringLiteral("corvane.app"));
  QCoreApplication::setApplicationName(QStringLiteral("Corvane"));
  ui::applyPlatformLook(app);

  // Off the Mac: the engine's main-queue work runs on this event loop, and the user is told
  // that the real keyboard is not translated.
  if (sim::SimulatedSession* session = simulatedSessionOf(KeyboardShortcutManager::shared())) {
    runMainQueueOnEventLoop(*session, &app);
    notice << kSimulatedKeyboardNotice << '\n' << std::flush;
  }

  AppDelegate delegate;
  QTimer::singleShot(0, &delegate, &AppDelegate::applicationDidFinishLaunching);
  return app.exec();
}

}  // namespace corvane
