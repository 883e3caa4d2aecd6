// A manager on a simulated session with a virtual clock, and helpers to feed it events the way
// its tap thread would.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "engine/KeyboardShortcutManager.h"
#include "platform/simulated/SimulatedSession.h"

namespace corvane::testing {

inline constexpr EventFlags kCapsLock = 0x10000;
inline constexpr EventFlags kNumericPad = 0x200000;

class EngineTest : public ::testing::Test {
 protected:
  std::shared_ptr<sim::SimulatedSession> session =
      std::make_shared<sim::SimulatedSession>(sim::ClockMode::Virtual);
  std::shared_ptr<KeyboardShortcutManager> manager =
      std::make_shared<KeyboardShortcutManager>(session);
  KeyboardEventServices& events = session->events();

  void TearDown() override {
    session->advance(std::chrono::seconds(1));  // delayed work holds the manager: let it run
    for (EventRef event : made_) events.release(event);
  }

  // An event as the keyboard makes it; the type handed to the decision is separate.
  EventRef makeEvent(int64_t keyCode, EventFlags flags = 0, int64_t userData = 0) {
    EventRef event = events.eventCreateKeyboardEvent(nullptr, 0, true);
    events.eventSetIntegerValueField(event, kKeyboardEventKeycode, keyCode);
    events.eventSetFlags(event, flags);
    events.eventSetIntegerValueField(event, kEventSourceUserData, userData);
    made_.push_back(event);
    return event;
  }

  // Decides one event; true when it was swallowed. Checks that a pass hands back the same event.
  bool swallows(EventType type, int64_t keyCode, EventFlags flags = 0, int64_t userData = 0) {
    EventRef event = makeEvent(keyCode, flags, userData);
    EventRef verdict = manager->handleEvent(type, event);
    if (verdict != nullptr) {
      EXPECT_EQ(verdict, event) << "a pass must hand back the same event";
    }
    return verdict == nullptr;
  }
  bool keyDown(int64_t keyCode, EventFlags flags = 0, int64_t userData = 0) {
    return swallows(kEventKeyDown, keyCode, flags, userData);
  }
  bool keyUp(int64_t keyCode, EventFlags flags = 0, int64_t userData = 0) {
    return swallows(kEventKeyUp, keyCode, flags, userData);
  }

 private:
  std::vector<EventRef> made_;
};

}  // namespace corvane::testing
