// The key viewer's ring: records come out in order and whole, a full ring drops the oldest and
// says so, and a tap thread flooding it while the main thread drains races with nothing
// (ThreadSanitizer runs this). What is recorded, and nothing while no viewer is open: the key
// viewer's window tests (tests/ui/KeyViewerTest.cpp).
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "engine/KeyboardShortcutManager.h"
#include "platform/simulated/SimulatedSession.h"

namespace corvane {
namespace {

using namespace std::chrono_literals;

KeyRecord recordFor(uint64_t n) {
  KeyRecord r;
  r.type = kEventKeyDown;
  r.keyCode = static_cast<int64_t>(n);
  r.flags = n * 3 + 1;
  r.outcome = {static_cast<OutcomeCode>(n % 6), static_cast<uint16_t>(n % 0xFFFF)};
  r.swapFnAndControl = n % 2 == 0;
  r.swapOptionAndCommand = n % 3 == 0;
  return r;
}

std::vector<KeyRecord> drained(KeyViewerRing& ring, bool& lost) {
  std::vector<KeyRecord> out;
  lost = ring.drain([&](const KeyRecord& r) { out.push_back(r); });
  return out;
}

TEST(KeyViewerRingTest, InOrderWholeAndTheOldestDroppedWhenFull) {
  KeyViewerRing ring;
  bool lost = true;
  EXPECT_TRUE(drained(ring, lost).empty());
  EXPECT_FALSE(lost);

  for (uint64_t n = 0; n < 5; ++n) ring.push(recordFor(n));
  std::vector<KeyRecord> got = drained(ring, lost);
  ASSERT_EQ(got.size(), 5u);
  EXPECT_FALSE(lost);
  for (uint64_t n = 0; n < 5; ++n) EXPECT_EQ(got[n], recordFor(n));

  // Three more than fit: the first three are gone, and the drain says so once.
  const uint64_t total = KeyViewerRing::kCapacity + 3;
  for (uint64_t n = 0; n < total; ++n) ring.push(recordFor(100 + n));
  got = drained(ring, lost);
  EXPECT_TRUE(lost);
  ASSERT_EQ(got.size(), KeyViewerRing::kCapacity);
  EXPECT_EQ(got.front(), recordFor(103));
  EXPECT_EQ(got.back(), recordFor(100 + total - 1));
  EXPECT_TRUE(drained(ring, lost).empty());
  EXPECT_FALSE(lost);

  // Discarded records are not handed out.
  ring.push(recordFor(1));
  ring.discard();
  EXPECT_TRUE(drained(ring, lost).empty());
  EXPECT_FALSE(lost);
}

// A real tap thread decides a flood of key presses while the main thread drains: every record
// comes out whole and in order, and the ones lost are reported.
TEST(KeyViewerTest, FloodFromTheTapThreadWhileTheMainThreadDrains) {
  auto session = std::make_shared<sim::SimulatedSession>(sim::ClockMode::Real);
  auto manager = std::make_shared<KeyboardShortcutManager>(session);
  manager->start();
  ASSERT_TRUE(session->waitForTapSetups(1, 10s));
  manager->openKeyViewer();

  constexpr int kPresses = 5000;
  std::atomic<bool> done{false};
  std::thread keyboard([&] {
    for (int n = 0; n < kPresses; ++n) {
      // Key codes 0-127 in turn, some with Fn (Ctrl): translated ones among them.
      const int64_t key = n % 128;
      const EventFlags flags = (n / 128) % 2 == 0 ? EventFlags{0} : kFlagFn;
      session->keyboardEvent(kEventKeyDown, key, flags);
      session->keyboardEvent(kEventKeyUp, key, flags);
    }
    session->settle();
    done.store(true);
  });

  uint64_t taken = 0;
  bool lostAny = false;
  int64_t previous = -1;
  uint64_t outOfOrder = 0;
  std::vector<int64_t> batch;
  auto drainOnce = [&] {
    batch.clear();
    const bool lost = manager->drainKeyViewer([&](const KeyRecord& r) {
      if (r.type != kEventKeyDown || r.keyCode < 0 || r.keyCode > 127 ||
          (r.flags != 0 && r.flags != kFlagFn) || !r.swapFnAndControl) {
        ADD_FAILURE() << "a torn record: key " << r.keyCode << " flags " << r.flags;
      }
      batch.push_back(r.keyCode);
    });
    taken += batch.size();
    lostAny = lostAny || lost;
    // Without a loss, each record follows the one before it, also across drains.
    if (!lost) {
      for (int64_t key : batch) {
        if (previous >= 0 && key != (previous + 1) % 128) ++outOfOrder;
        previous = key;
      }
    } else if (!batch.empty()) {
      previous = batch.back();
    }
  };
  while (!done.load()) {
    drainOnce();
    std::this_thread::sleep_for(100us);
  }
  keyboard.join();
  drainOnce();
  manager->stop();
  ASSERT_TRUE(session->waitForRunLoopsToEnd(10s));
  // What the translated presses left on the main queue holds the manager: run it, as the main
  // thread would, so that the manager and the session are freed.
  while (session->pendingMainWork() > 0) session->runDueMainWork(100ms);

  EXPECT_EQ(outOfOrder, 0u);
  EXPECT_GT(taken, 0u);
  EXPECT_LE(taken, static_cast<uint64_t>(kPresses));
  EXPECT_EQ(taken == static_cast<uint64_t>(kPresses), !lostAny)
      << "a drain that lost records must say so, and one that did not must have them all";
}

}  // namespace
}  // namespace corvane
