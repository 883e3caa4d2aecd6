#include "app/MainThreadExecutor.h"

#include <QMetaObject>
#include <QObject>
#include <QTimer>
#include <chrono>

#include "engine/KeyboardShortcutManager.h"
#include "platform/simulated/SimulatedSession.h"

namespace corvane {

sim::SimulatedSession* simulatedSessionOf(KeyboardShortcutManager& manager) {
  return dynamic_cast<sim::SimulatedSession*>(&manager.platform());
}

void runMainQueueOnEventLoop(sim::SimulatedSession& session, QObject* context) {
  session.setMainThreadExecutor(
      [context](std::chrono::nanoseconds delay, std::function<void()> work) {
        // Whole milliseconds, rounded up: the work never runs before its time.
        const auto ms = std::chrono::ceil<std::chrono::milliseconds>(delay).count();
        const int timeout = ms < 0 ? 0 : static_cast<int>(ms);
        // Posted first (this may be the tap thread), the timer is then started on the loop's
        // own thread.
        QMetaObject::invokeMethod(
            context,
            [context, timeout, work = std::move(work)]() mutable {
              QTimer::singleShot(timeout, Qt::PreciseTimer, context, std::move(work));
            },
            Qt::QueuedConnection);
      });
}

}  // namespace corvane
