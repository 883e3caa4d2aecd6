// The simulated session's main-queue work on Qt's event loop, with a real clock.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QThread>
#include <atomic>
#include <chrono>
#include <thread>

#include "app/MainThreadExecutor.h"
#include "engine/KeyboardShortcutManager.h"
#include "platform/simulated/SimulatedSession.h"

namespace corvane {
namespace {

using namespace std::chrono_literals;

struct Ran {
  std::atomic<bool> done{false};
  QThread* thread = nullptr;
  std::chrono::steady_clock::time_point at;
};

TEST(MainThreadExecutor, RunsWorkPostedFromAnotherThreadOnTheEventLoopAfterItsDelay) {
  auto session = std::make_shared<sim::SimulatedSession>(sim::ClockMode::Real);
  QObject context;
  runMainQueueOnEventLoop(*session, &context);

  Ran ran;
  const auto posted = std::chrono::steady_clock::now();
  std::thread poster([&] {
    session->mainQueue().asyncAfter(
        20ms,
        [](void* c) {
          auto* r = static_cast<Ran*>(c);
          r->thread = QThread::currentThread();
          r->at = std::chrono::steady_clock::now();
          r->done = true;
        },
        &ran);
  });
  poster.join();
  EXPECT_FALSE(ran.done) << "ran outside the event loop";
  ASSERT_TRUE(QTest::qWaitFor([&] { return ran.done.load(); }, 5000));
  EXPECT_EQ(ran.thread, QApplication::instance()->thread());
  EXPECT_GE(ran.at - posted, 20ms) << "ran before its delay";
  EXPECT_EQ(session->pendingMainWork(), 0u);
}

TEST(MainThreadExecutor, AFailedTapCreationComesBackOnTheEventLoop) {
  auto session = std::make_shared<sim::SimulatedSession>(sim::ClockMode::Real);
  auto manager = std::make_shared<KeyboardShortcutManager>(session);
  QObject context;
  runMainQueueOnEventLoop(*session, &context);
  EXPECT_EQ(simulatedSessionOf(*manager), session.get());

  session->setTrusted(false);
  manager->start();
  EXPECT_TRUE(manager->isEnabled);
  ASSERT_TRUE(session->waitForTapSetups(1, std::chrono::seconds(5)));
  EXPECT_TRUE(QTest::qWaitFor([&] { return !manager->isEnabled.get(); }, 5000));
}

}  // namespace
}  // namespace corvane
