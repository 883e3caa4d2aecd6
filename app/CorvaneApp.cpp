// CorvaneApp: the program's entry. The application object, the one AppDelegate, and the launch
// sequence once the event loop runs.
#include <QApplication>
#include <QTimer>
#include <iostream>

#include "app/AppDelegate.h"
#include "app/MainThreadExecutor.h"
#include "engine/KeyboardShortcutManager.h"
#include "ui/Style.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  // The settings domain: app.corvane.Corvane on macOS (the bundle identifier), the file
  // Corvane/Corvane.conf in the XDG config folder elsewhere.
  QCoreApplication::setOrganizationName(QStringLiteral("Corvane"));
  QCoreApplication::setOrganizationDomain(QStringLiteral("corvane.app"));
  QCoreApplication::setApplicationName(QStringLiteral("Corvane"));
  corvane::ui::applyPlatformLook(app);

  // Off the Mac: the engine's main-queue work runs on this event loop, and the user is told
  // that the real keyboard is not translated.
  if (corvane::sim::SimulatedSession* session =
          corvane::simulatedSessionOf(corvane::KeyboardShortcutManager::shared())) {
    corvane::runMainQueueOnEventLoop(*session, &app);
    std::cout << corvane::kSimulatedKeyboardNotice << '\n' << std::flush;
  }

  corvane::AppDelegate delegate;
  QTimer::singleShot(0, &delegate, &corvane::AppDelegate::applicationDidFinishLaunching);
  return app.exec();
}
