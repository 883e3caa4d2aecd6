// The program's start-up, as app/CorvaneApp.cpp does it, with one addition: an event filter
// that notes the moment the first window is exposed (the main window, shown by the launch
// sequence) and prints it as "shown_realtime_ns N" (CLOCK_REALTIME), so that scripts/bench can
// take the time from the process's start to the window shown. Then it quits.
#include <time.h>

#include <QApplication>
#include <QTimer>
#include <QWindow>
#include <cstdio>
#include <iostream>

#include "app/AppDelegate.h"
#include "app/MainThreadExecutor.h"
#include "engine/KeyboardShortcutManager.h"
#include "ui/Style.h"

namespace {

class FirstExposure final : public QObject {
 public:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (!seen_ && event->type() == QEvent::Expose) {
      auto* window = qobject_cast<QWindow*>(watched);
      if (window != nullptr && window->isExposed()) {
        seen_ = true;
        timespec now{};
        clock_gettime(CLOCK_REALTIME, &now);
        std::printf("shown_realtime_ns %lld\n",
                    static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec);
        std::fflush(stdout);
        QTimer::singleShot(0, qApp, &QCoreApplication::quit);
      }
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  bool seen_ = false;
};

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  FirstExposure probe;
  app.installEventFilter(&probe);
  QCoreApplication::setOrganizationName(QStringLiteral("Corvane"));
  QCoreApplication::setOrganizationDomain(QStringLiteral("corvane.app"));
  QCoreApplication::setApplicationName(QStringLiteral("Corvane"));
  corvane::ui::applyPlatformLook(app);
  if (corvane::sim::SimulatedSession* session =
          corvane::simulatedSessionOf(corvane::KeyboardShortcutManager::shared())) {
    corvane::runMainQueueOnEventLoop(*session, &app);
    std::cerr << corvane::kSimulatedKeyboardNotice << '\n' << std::flush;
  }
  corvane::AppDelegate delegate;
  QTimer::singleShot(0, &delegate, &corvane::AppDelegate::applicationDidFinishLaunching);
  const int status = app.exec();
  corvane::KeyboardShortcutManager::shared().stop();
  return status;
}
