// A platform that does nothing, for measuring the engine's own share of an event: events are
// static records, making an event or a source hands out a static scratch object, posting does
// nothing, the workspace answers with a fixed bundle identifier, and main-queue work is parked
// in a fixed array until the benchmark runs it (outside what it measures).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "engine/KeyboardShortcutManager.h"
#include "engine/Platform.h"

namespace corvane::bench {

// A keyboard event as the null platform holds it.
struct NullEvent {
  int64_t keyCode = 0;
  EventFlags flags = 0;
  int64_t userData = 0;
};

inline EventRef refOf(NullEvent& event) {
  return reinterpret_cast<EventRef>(&event);
}

class NullPlatform final : public Platform,
                           private KeyboardEventServices,
                           private Workspace,
                           private MainQueue,
                           private Pauser {
 public:
  KeyboardEventServices& events() override { return *this; }
  Workspace& workspace() override { return *this; }
  MainQueue& mainQueue() override { return *this; }
  Pauser& pauser() override { return *this; }

  void setFrontmost(std::string_view bundleIdentifier) {
    frontmost_ = bundleIdentifier;
    frontmostChanged();
  }
  uint64_t posted() const { return posted_; }

  // Runs the parked main-queue work (it frees what it holds); returns how much ran.
  size_t runParkedWork() {
    const size_t count = parked_;
    parked_ = 0;
    for (size_t i = 0; i < count; ++i) work_[i].work(work_[i].context);
    return count;
  }
  bool parkingFull() const { return parked_ == work_.size(); }

 private:
  MachPortRef tapCreate(TapLocation, TapPlacement, TapOptions, EventMask, EventTapCallback,
                        void*) override {
    return nullptr;  // no taps here: the benchmarks call handleEvent themselves
  }
  void tapEnable(MachPortRef, bool) override {}
  RunLoopSourceRef machPortCreateRunLoopSource(MachPortRef) override { return nullptr; }
  RunLoopRef runLoopGetCurrent() override { return nullptr; }
  void runLoopAddSource(RunLoopRef, RunLoopSourceRef) override {}
  void runLoopRemoveSource(RunLoopRef, RunLoopSourceRef) override {}
  void runLoopRun() override {}
  void runLoopStop(RunLoopRef) override {}
  void machPortInvalidate(MachPortRef) override {}

  int64_t eventGetIntegerValueField(EventRef event, EventField field) override {
    const NullEvent& e = *reinterpret_cast<const NullEvent*>(event);
    return field == kKeyboardEventKeycode  ? e.keyCode
           : field == kEventSourceUserData ? e.userData
                                           : 0;
  }
  EventFlags eventGetFlags(EventRef event) override {
    return reinterpret_cast<const NullEvent*>(event)->flags;
  }
  EventSourceRef eventSourceCreate(EventSourceState) override {
    return reinterpret_cast<EventSourceRef>(&source_);
  }
  EventRef eventCreateKeyboardEvent(EventSourceRef, KeyCode key, bool) override {
    scratch_.keyCode = key;
    return refOf(scratch_);
  }
  void eventSetFlags(EventRef event, EventFlags flags) override {
    reinterpret_cast<NullEvent*>(event)->flags = flags;
  }
  void eventSetIntegerValueField(EventRef event, EventField field, int64_t value) override {
    if (field == kEventSourceUserData) reinterpret_cast<NullEvent*>(event)->userData = value;
  }
  void eventPost(TapLocation, EventRef) override { ++posted_; }
  EventFlags eventSourceFlagsState(EventSourceState) override { return 0; }
  void setCurrentThreadUserInteractive() override {}
  void retain(const void*) override {}
  void release(const void*) override {}

  std::string_view frontmostBundleIdentifier() override { return frontmost_; }
  bool openApplication(std::string_view) override { return true; }

  void asyncAfter(std::chrono::nanoseconds, Work work, void* context) override {
    if (parked_ == work_.size()) {  // the benchmark drains in time; never lose work
      work(context);
      return;
    }
    work_[parked_++] = {work, context};
  }

  void usleep(uint32_t) override {}
  std::chrono::nanoseconds uptime() override { return std::chrono::nanoseconds(++ticks_); }
  int64_t ticks_ = 0;

  struct Parked {
    Work work;
    void* context;
  };
  NullEvent scratch_;
  int source_ = 0;
  uint64_t posted_ = 0;
  std::string_view frontmost_ = "com.apple.Terminal";
  // As many as the manager holds without allocating: a user never has more pending at once.
  std::array<Parked, KeyboardShortcutManager::kDelayedHoldCount> work_{};
  size_t parked_ = 0;
};

}  // namespace corvane::bench
