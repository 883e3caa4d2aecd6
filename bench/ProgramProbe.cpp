// The program's start-up (runCorvane, as main() runs it), with one addition: an event filter
// that notes the moment the first window is exposed (the main window, shown by the launch
// sequence) and prints it as "shown_realtime_ns N" (CLOCK_REALTIME), so that scripts/bench can
// take the time from the process's start to the window shown. Then it quits.
//
// With --reload N: once the window is shown, writes a rules file of N shortcuts on one press
// (within 256 KiB) where the program reads it, opens "Your Shortcuts" when it appears, and for
// 3 s notes the longest wait between two turns of the event loop, then prints
// "max_blocked_ms X" and "rss_mib Y" (the resident memory with the rows shown).
#include <time.h>

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QWindow>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "app/CorvaneApp.h"
#include "engine/KeyboardShortcutManager.h"
#include "rules/RulesFile.h"
#include "ui/CollapsibleShortcutSection.h"

namespace {

// The resident memory of this process, in MiB.
double residentMiB() {
  std::ifstream status("/proc/self/status");
  std::string key;
  while (status >> key) {
    if (key == "VmRSS:") {
      double kib = 0;
      status >> kib;
      return kib / 1024;
    }
  }
  return 0;
}

// Writes the rules file, then watches the event loop: a timer every 5 ms, and the longest time
// between two of its turns.
void reloadAndWatch(int shortcuts) {
  const std::filesystem::path path = corvane::rulesFilePath();
  std::filesystem::create_directories(path.parent_path());
  std::string text = R"({"shortcuts":[)";
  for (int i = 0; i < shortcuts; ++i) {
    text += (i == 0 ? "" : ",") + std::string(R"({"press":"Ctrl+O","send":"Cmd+O","apps":["a.)") +
            std::to_string(i) + R"("]})";
  }
  std::ofstream(path) << text << "]}";

  auto* clock = new QElapsedTimer;
  clock->start();
  auto* longest = new qint64(0);
  auto* last = new qint64(0);
  auto* tick = new QTimer(qApp);
  tick->setInterval(5);
  QObject::connect(tick, &QTimer::timeout, qApp, [=] {
    const qint64 now = clock->elapsed();
    *longest = std::max(*longest, now - *last);
    *last = now;
    // "Your Shortcuts" opens once it is there.
    for (QWidget* top : QApplication::topLevelWidgets()) {
      auto* section = top->findChild<corvane::ui::CollapsibleShortcutSection*>(
          QStringLiteral("Your Shortcuts"));
      if (section != nullptr && section->isVisible() && !section->isExpanded()) {
        section->header()->click();
      }
    }
    if (now > 3000) {
      std::printf("max_blocked_ms %lld\nrss_mib %.1f\n", static_cast<long long>(*longest),
                  residentMiB());
      std::fflush(stdout);
      tick->stop();
      QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    }
  });
  tick->start();
}

class FirstExposure final : public QObject {
 public:
  explicit FirstExposure(int reloadShortcuts) : reloadShortcuts_(reloadShortcuts) {}
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
        if (reloadShortcuts_ > 0) {
          reloadAndWatch(reloadShortcuts_);
        } else {
          QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        }
      }
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  int reloadShortcuts_;
  bool seen_ = false;
};

}  // namespace

int main(int argc, char** argv) {
  const int reloadShortcuts =
      argc == 3 && std::strcmp(argv[1], "--reload") == 0 ? std::atoi(argv[2]) : 0;
  QApplication app(argc, argv);
  FirstExposure probe(reloadShortcuts);
  app.installEventFilter(&probe);
  const int status = corvane::runCorvane(app, std::cerr);
  corvane::KeyboardShortcutManager::shared().stop();
  return status;
}
