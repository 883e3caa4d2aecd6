// The table on a Mac: the real session. Keys are posted at the HID level (CGEventPost with
// kCGHIDEventTap), Corvane's engine taps on the macOS layer as the program does, and the observer
// is a listen-only session tap appended after every other (kCGTailAppendEventTap) on a thread with
// its own run loop. The observer keeps only events this process posted (field 41, the posting
// process's id): a key someone types meanwhile is neither recorded nor counted as a mismatch.
#include <ApplicationServices/ApplicationServices.h>
#include <CoreFoundation/CoreFoundation.h>
#include <CoreGraphics/CoreGraphics.h>
#include <spawn.h>
#include <sys/sysctl.h>
#include <sys/utsname.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <future>
#include <thread>

#include "engine/KeyboardShortcutManager.h"
#include "platform/macos/CFOwned.h"
#include "platform/macos/MacPlatform.h"
#include "tests/e2e/EndToEnd.h"

extern char** environ;

namespace corvane::e2e {
namespace {

using mac::CFOwned;
using std::chrono::milliseconds;

std::string sysctlText(const char* name) {
  char value[256] = {};
  size_t size = sizeof value - 1;
  if (sysctlbyname(name, value, &size, nullptr, 0) != 0) return {};
  return value;
}

bool translatedByRosetta() {
  int translated = 0;
  size_t size = sizeof translated;
  return sysctlbyname("sysctl.proc_translated", &translated, &size, nullptr, 0) == 0 &&
         translated == 1;
}

class MacTestSession final : public TestSession {
 public:
  MacTestSession()
      : platform_(std::make_shared<mac::MacPlatform>()),
        source_(CGEventSourceCreate(kCGEventSourceStateHIDSystemState)),
        pid_(getpid()) {
    seen_.resize(kCapacity);
  }
  ~MacTestSession() override { stopObserver(); }

  std::string description() const override {
    utsname name{};
    uname(&name);
    return "macOS " + sysctlText("kern.osproductversion") + " " + name.machine +
           (translatedByRosetta() ? " under Rosetta" : "");
  }
  bool onMac() const override { return true; }
  std::shared_ptr<Platform> platform() override { return platform_; }
  bool trusted() override { return AXIsProcessTrusted(); }

  std::string startObserver() override {
    std::promise<bool> made;
    auto madeFuture = made.get_future();
    thread_ = std::thread([this, &made] { runObserver(made); });
    if (!madeFuture.get()) {
      thread_.join();
      return "CGEventTapCreate refused a listen-only session tap";
    }
    return {};
  }

  void stopObserver() override {
    if (!thread_.joinable()) return;
    // Invalidated first: a loop that has not begun to run then has no source and returns at
    // once; one that runs is ended by the stop.
    CFMachPortInvalidate(port_.get());
    CFRunLoopStop(loop_.load());
    thread_.join();
  }

  size_t observedCount() const override { return count_.load(std::memory_order_acquire); }
  std::vector<Observed> observed(size_t from, size_t count) const override {
    const size_t end = std::min(from + count, observedCount());
    return {seen_.begin() + static_cast<ptrdiff_t>(from),
            seen_.begin() + static_cast<ptrdiff_t>(std::max(from, end))};
  }

  size_t ignoredCount() const override { return ignored_.load(std::memory_order_relaxed); }

  void inject(const Key& key) override {
    CFOwned<CGEventRef> event(CGEventCreateKeyboardEvent(
        source_.get(), static_cast<CGKeyCode>(key.code), key.type != kEventKeyUp));
    if (!event) return;
    CGEventSetType(event.get(), static_cast<CGEventType>(key.type));
    CGEventSetFlags(event.get(), key.flags);
    CGEventSetIntegerValueField(event.get(), kCGEventSourceUserData, key.userData);
    CGEventPost(kCGHIDEventTap, event.get());
  }

  bool makeFrontmost(std::string_view bundleIdentifier) override {
    const std::string identifier(bundleIdentifier);
    if (platform_->workspace().frontmostBundleIdentifier() != bundleIdentifier) {
      // open -b activates the application (launching it first if it is not running).
      char open[] = "/usr/bin/open", dashB[] = "-b";
      std::string argument = identifier;
      char* arguments[] = {open, dashB, argument.data(), nullptr};
      pid_t child = 0;
      int status = 0;
      if (posix_spawn(&child, open, nullptr, nullptr, arguments, environ) != 0 ||
          waitpid(child, &status, 0) != child || status != 0) {
        return false;
      }
    }
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (platform_->workspace().frontmostBundleIdentifier() != bundleIdentifier) {
      if (Clock::now() > deadline) return false;
      runMainFor(milliseconds(50));
    }
    return true;
  }

  void runMainFor(milliseconds duration) override {
    const auto deadline = Clock::now() + duration;
    do {
      const std::chrono::duration<double> left = deadline - Clock::now();
      CFRunLoopRunInMode(kCFRunLoopDefaultMode, std::max(0.0, left.count()), false);
    } while (Clock::now() < deadline);
  }

  bool waitForEngineTap(const KeyboardShortcutManager& manager) override {
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    while (Clock::now() < deadline) {
      MachPortRef tap = manager.eventTap.get();
      if (tap != nullptr && manager.eventTapRunLoop &&
          CGEventTapIsEnabled(reinterpret_cast<CFMachPortRef>(tap))) {
        return true;
      }
      runMainFor(milliseconds(1));
    }
    return false;
  }

  milliseconds keyInterval() const override { return milliseconds(20); }
  // 5,000 events a second: several times what any keyboard sends, short of flooding the window
  // server's own queue, which would test the system rather than Corvane.
  std::chrono::microseconds floodInterval() const override {
    return std::chrono::microseconds(200);
  }
  milliseconds quietPeriod() const override { return milliseconds(300); }

 private:
  static constexpr size_t kCapacity = 1 << 16;

  void runObserver(std::promise<bool>& made) {
    port_.reset(CGEventTapCreate(kCGSessionEventTap, kCGTailAppendEventTap,
                                 kCGEventTapOptionListenOnly, kKeyEventMask, &observe, this));
    if (!port_) {
      made.set_value(false);
      return;
    }
    CFOwned<CFRunLoopSourceRef> source(
        CFMachPortCreateRunLoopSource(kCFAllocatorDefault, port_.get(), 0));
    loop_.store(CFRunLoopGetCurrent());
    CFRunLoopAddSource(CFRunLoopGetCurrent(), source.get(), kCFRunLoopCommonModes);
    CGEventTapEnable(port_.get(), true);
    made.set_value(true);
    CFRunLoopRun();
  }

  static CGEventRef observe(CGEventTapProxy, CGEventType type, CGEventRef event, void* userInfo) {
    auto* self = static_cast<MacTestSession*>(userInfo);
    if (type == kCGEventTapDisabledByTimeout || type == kCGEventTapDisabledByUserInput) {
      CGEventTapEnable(self->port_.get(), true);
      return event;
    }
    if (CGEventGetIntegerValueField(event, kCGEventSourceUnixProcessID) != self->pid_) {
      self->ignored_.fetch_add(1, std::memory_order_relaxed);
      return event;  // not ours: neither read nor kept, only counted
    }
    const size_t index = self->count_.load(std::memory_order_relaxed);
    if (index < kCapacity) {
      self->seen_[index] = {
          Key{static_cast<EventType>(type),
              CGEventGetIntegerValueField(event, kCGKeyboardEventKeycode), CGEventGetFlags(event),
              CGEventGetIntegerValueField(event, kCGEventSourceUserData)},
          Clock::now()};
      self->count_.store(index + 1, std::memory_order_release);
    }
    return event;
  }

  std::shared_ptr<mac::MacPlatform> platform_;
  CFOwned<CGEventSourceRef> source_;
  const pid_t pid_;
  std::thread thread_;
  CFOwned<CFMachPortRef> port_;
  std::atomic<CFRunLoopRef> loop_{nullptr};
  std::vector<Observed> seen_;  // written by the observer's thread up to count_
  std::atomic<size_t> count_{0};
  std::atomic<size_t> ignored_{0};
};

}  // namespace

std::unique_ptr<TestSession> makeTestSession() {
  return std::make_unique<MacTestSession>();
}

}  // namespace corvane::e2e
