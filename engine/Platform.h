// The interfaces through which the engine reaches the system. The engine never calls the
// platform any other way; platform/macos implements them with CoreGraphics, CoreFoundation,
// AppKit and libdispatch, platform/simulated with an in-process keyboard session.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/EventTypes.h"

namespace corvane {

// The keyboard event services: event taps on run loops, reading and making keyboard events.
// Every "create" returns an owned reference (release it with release()), "get" ones do not.
class KeyboardEventServices {
 public:
  virtual ~KeyboardEventServices() = default;

  // CGEventTapCreate: a port, or nullptr when the process may not tap (no Accessibility trust).
  // It asks the system at that moment, so it is also how the process reads its trust live.
  virtual MachPortRef tapCreate(TapLocation location, TapPlacement placement, TapOptions options,
                                EventMask eventsOfInterest, EventTapCallback callback,
                                void* userInfo) = 0;
  virtual void tapEnable(MachPortRef tap, bool enable) = 0;
  // CFMachPortCreateRunLoopSource with the default allocator and order 0.
  virtual RunLoopSourceRef machPortCreateRunLoopSource(MachPortRef port) = 0;
  // CFRunLoopGetCurrent: the calling thread's run loop, not owned.
  virtual RunLoopRef runLoopGetCurrent() = 0;
  // Add / remove in the common modes. Adding the source of an invalidated port does nothing.
  // Removal is allowed from any thread and does not wake the loop.
  virtual void runLoopAddSource(RunLoopRef loop, RunLoopSourceRef source) = 0;
  virtual void runLoopRemoveSource(RunLoopRef loop, RunLoopSourceRef source) = 0;
  // Runs the calling thread's run loop until it is stopped; returns at once when the loop has
  // no source.
  virtual void runLoopRun() = 0;
  // Allowed from any thread. Ends the run of a running loop; does nothing to a loop that is not
  // running (a stop is not remembered for the next run).
  virtual void runLoopStop(RunLoopRef loop) = 0;
  // The port is dead for good; its run loop source leaves every run loop.
  virtual void machPortInvalidate(MachPortRef port) = 0;

  virtual int64_t eventGetIntegerValueField(EventRef event, EventField field) = 0;
  virtual EventFlags eventGetFlags(EventRef event) = 0;

  virtual EventSourceRef eventSourceCreate(EventSourceState state) = 0;
  virtual EventRef eventCreateKeyboardEvent(EventSourceRef source, KeyCode key, bool keyDown) = 0;
  virtual void eventSetFlags(EventRef event, EventFlags flags) = 0;
  virtual void eventSetIntegerValueField(EventRef event, EventField field, int64_t value) = 0;
  virtual void eventPost(TapLocation location, EventRef event) = 0;

  // CGEventSourceFlagsState: the modifier flags of the keys held now, as the given state sees
  // them (kEventSourceStateHIDSystemState: the keyboard itself).
  virtual EventFlags eventSourceFlagsState(EventSourceState state) = 0;

  // Called first thing on the tap thread: user-interactive priority where the platform has it.
  virtual void setCurrentThreadUserInteractive() = 0;

  // CFRetain / CFRelease of any reference above.
  virtual void retain(const void* ref) = 0;
  virtual void release(const void* ref) = 0;
};

// The workspace: which application is frontmost, opening applications, and the Dock.
class Workspace {
 public:
  virtual ~Workspace() = default;
  // Bundle identifier of the frontmost application; empty when there is none or it has none.
  // The view stays valid until the next call on the same thread. Called on the tap thread.
  virtual std::string_view frontmostBundleIdentifier() = 0;
  // Opens (launches or brings forward) the application bundle at an absolute path. May take
  // long (LaunchServices): the engine calls it on the main thread only.
  virtual bool openApplication(std::string_view absolutePath) = 0;

  // The Dock's bundle identifier for Finder, always its first application.
  static constexpr std::string_view kFinder = "com.apple.finder";
  // The applications of the Dock in its order: Finder, then those kept in it (spacers and
  // items without a bundle identifier are not counted). Reads the Dock's preferences: main
  // thread only, when a Dock shortcut fires. Finder alone where there is no Dock.
  virtual std::vector<std::string> dockApplications() { return {std::string(kFinder)}; }
  // Opens (launches or brings forward) the application with this bundle identifier. Main
  // thread only, like openApplication.
  virtual bool openApplicationWithBundleIdentifier(std::string_view /*bundleIdentifier*/) {
    return false;
  }

  // A number that changes whenever the frontmost application changes, and that no other
  // workspace of the process ever has: what was worked out about the front application under
  // one number holds while the number stays. One load, from any thread; read it before asking
  // for the identifier, so a change in between is seen at the next read.
  uint64_t frontmostStamp() const { return frontmostStamp_.load(std::memory_order_acquire); }

 protected:
  // The platform calls it once the identifier it answers has changed (on the Mac: on the main
  // thread, from NSWorkspace's activation notification).
  void frontmostChanged() { frontmostStamp_.store(newStamp(), std::memory_order_release); }

 private:
  static uint64_t newStamp() {
    static std::atomic<uint64_t> next{1};
    return next.fetch_add(1, std::memory_order_relaxed);
  }
  std::atomic<uint64_t> frontmostStamp_{newStamp()};
};

// The main queue: runs a piece of work once on the main thread, no earlier than the delay.
class MainQueue {
 public:
  using Work = void (*)(void* context);
  virtual ~MainQueue() = default;
  virtual void asyncAfter(std::chrono::nanoseconds delay, Work work, void* context) = 0;
};

// usleep: pauses the calling thread; and the monotonic clock the pause runs on (time since an
// arbitrary start, never going back), read on the tap thread to time a modifier tapped alone.
class Pauser {
 public:
  virtual ~Pauser() = default;
  virtual void usleep(uint32_t microseconds) = 0;
  virtual std::chrono::nanoseconds uptime() = 0;
};

// Everything the engine runs on. A platform outlives every manager built on it (the manager
// holds it by shared_ptr).
class Platform {
 public:
  virtual ~Platform() = default;
  virtual KeyboardEventServices& events() = 0;
  virtual Workspace& workspace() = 0;
  virtual MainQueue& mainQueue() = 0;
  virtual Pauser& pauser() = 0;
};

// The build's default platform: macOS on Apple, the simulated session on a real clock elsewhere.
// Defined by the platform library the program links.
std::shared_ptr<Platform> makeDefaultPlatform();

}  // namespace corvane
