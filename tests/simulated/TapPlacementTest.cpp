// Where taps sit and how a listen-only tap hears events: (6) and (7) at the top of
// SimulatedSession.h, on real tap threads.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <thread>
#include <vector>

#include "platform/simulated/SimulatedSession.h"

namespace corvane::sim {
namespace {

using namespace std::chrono_literals;

// A tap on a thread of its own running its loop. Its callback counts the key events it sees
// and passes or swallows them; it can be held (gated) inside the callback.
class TapThread {
 public:
  TapThread(SimulatedSession& session, TapPlacement placement, TapOptions options, bool swallow)
      : events_(session.events()), swallow_(swallow) {
    port_ = events_.tapCreate(kSessionEventTap, placement, options, kKeyEventMask, &callback, this);
    source_ = events_.machPortCreateRunLoopSource(port_);
    std::promise<void> running;
    thread_ = std::thread([this, &running] {
      loop_.store(events_.runLoopGetCurrent());
      events_.runLoopAddSource(loop_.load(), source_);
      running.set_value();
      events_.runLoopRun();
    });
    running.get_future().wait();
  }
  ~TapThread() {
    open();
    events_.machPortInvalidate(port_);
    events_.runLoopStop(loop_.load());
    thread_.join();
    events_.release(source_);
    events_.release(port_);
  }
  int seen() const { return seen_.load(); }
  bool waitSeen(int count) const {
    for (int i = 0; i < 10000 && seen_.load() < count; ++i) std::this_thread::sleep_for(1ms);
    return seen_.load() >= count;
  }
  void hold() { gate_.store(true); }
  void open() { gate_.store(false); }
  bool inCallback() const { return inCallback_.load(); }

 private:
  static EventRef callback(TapProxy, EventType type, EventRef event, void* info) {
    auto* self = static_cast<TapThread*>(info);
    if (type != kEventKeyDown && type != kEventKeyUp) return event;
    self->inCallback_.store(true);
    while (self->gate_.load()) std::this_thread::sleep_for(100us);
    self->inCallback_.store(false);
    self->seen_.fetch_add(1);
    return self->swallow_ ? nullptr : event;
  }

  KeyboardEventServices& events_;
  const bool swallow_;
  MachPortRef port_ = nullptr;
  RunLoopSourceRef source_ = nullptr;
  std::atomic<RunLoopRef> loop_{nullptr};
  std::thread thread_;
  std::atomic<int> seen_{0};
  std::atomic<bool> gate_{false};
  std::atomic<bool> inCallback_{false};
};

size_t keysReceived(const SimulatedSession& session) {
  return session.received().size();
}

TEST(TapPlacementTest, HeadAndTailPlaceATapAmongTheTapsOfItsLocation) {
  SimulatedSession session(ClockMode::Virtual);
  KeyboardEventServices& events = session.events();
  struct Made {
    TapLocation location;
    TapPlacement placement;
  };
  // Made in this order; the mask tells them apart.
  const std::vector<Made> made = {
      {kSessionEventTap, kHeadInsertEventTap},
      {kHIDEventTap, kTailAppendEventTap},
      {kSessionEventTap, kTailAppendEventTap},
      {kHIDEventTap, kHeadInsertEventTap},
      {2, kHeadInsertEventTap},
      {kSessionEventTap, kHeadInsertEventTap},
  };
  std::vector<MachPortRef> ports;
  for (size_t i = 0; i < made.size(); ++i) {
    ports.push_back(events.tapCreate(
        made[i].location, made[i].placement, kEventTapOptionDefault, i + 1,
        [](TapProxy, EventType, EventRef e, void*) { return e; }, nullptr));
  }
  std::vector<EventMask> order;
  for (const TapInfo& tap : session.taps()) order.push_back(tap.mask);
  // HID head, HID tail, session head (the later first), session tail, annotated session.
  EXPECT_EQ(order, (std::vector<EventMask>{4, 2, 6, 1, 3, 5}));
  for (MachPortRef port : ports) {
    events.machPortInvalidate(port);
    events.release(port);
  }
}

TEST(ListenOnlyTapTest, ItsVerdictIsIgnoredAndItHearsNothingASwallowingTapBeforeItTook) {
  SimulatedSession session(ClockMode::Real);
  // A listener at the head that "swallows", then an active tap that swallows, then a listener
  // at the tail.
  TapThread active(session, kHeadInsertEventTap, kEventTapOptionDefault, /*swallow=*/true);
  TapThread headListener(session, kHeadInsertEventTap, kEventTapOptionListenOnly, true);
  TapThread tailListener(session, kTailAppendEventTap, kEventTapOptionListenOnly, false);

  session.keyboardEvent(kEventKeyDown, 0);
  ASSERT_TRUE(headListener.waitSeen(1));
  EXPECT_EQ(active.seen(), 1) << "the head listener's nullptr did not swallow it";
  EXPECT_EQ(keysReceived(session), 0u) << "the active tap swallowed it";
  std::this_thread::sleep_for(20ms);
  EXPECT_EQ(tailListener.seen(), 0) << "a listener behind a swallowing tap hears nothing";
}

TEST(ListenOnlyTapTest, AHeldListenerDoesNotHoldTheEventUp) {
  SimulatedSession session(ClockMode::Real);
  TapThread listener(session, kTailAppendEventTap, kEventTapOptionListenOnly, false);
  listener.hold();
  session.keyboardEvent(kEventKeyDown, 0);
  session.keyboardEvent(kEventKeyUp, 0);
  // Both reached the application while the listener's callback is still held on the first.
  EXPECT_EQ(keysReceived(session), 2u);
  for (int i = 0; i < 10000 && !listener.inCallback(); ++i) std::this_thread::sleep_for(1ms);
  EXPECT_TRUE(listener.inCallback());
  EXPECT_EQ(listener.seen(), 0);
  listener.open();
  EXPECT_TRUE(listener.waitSeen(2)) << "it still hears both, in turn";
}

TEST(ListenOnlyTapTest, ATimeoutSparesIt) {
  SimulatedSession session(ClockMode::Real);
  TapThread active(session, kHeadInsertEventTap, kEventTapOptionDefault, false);
  TapThread listener(session, kTailAppendEventTap, kEventTapOptionListenOnly, false);
  session.disableTaps(kEventTapDisabledByTimeout);
  std::vector<bool> enabled;
  for (const TapInfo& tap : session.taps()) enabled.push_back(tap.enabled);
  EXPECT_EQ(enabled, (std::vector<bool>{false, true}));
  session.disableTaps(kEventTapDisabledByUserInput);
  EXPECT_FALSE(session.taps().back().enabled) << "user input disables listeners too";
}

}  // namespace
}  // namespace corvane::sim
