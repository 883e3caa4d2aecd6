// The program's start-up (runCorvane, as main() runs it), with one addition: an event filter
// that notes the moment the first window is exposed (the main window, shown by the launch
// sequence) and prints it as "shown_realtime_ns N" (CLOCK_REALTIME), so that scripts/bench can
// take the time from the process's start to the window shown. Then it quits.
#include <time.h>

#include <QApplication>
#include <QTimer>
#include <QWindow>
#include <cstdio>
#include <iostream>

#include "app/CorvaneApp.h"
#include "engine/KeyboardShortcutManager.h"

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
  const int status = corvane::runCorvane(app, std::cerr);
  corvane::KeyboardShortcutManager::shared().stop();
  return status;
}
