// The table off the Mac: the simulated session on a real clock, with real tap threads and run
// loops. The observer is a listen-only tap appended after the others, made through the same
// keyboard event services the engine uses; keys enter through the session's keyboard.
#include <atomic>
#include <future>
#include <thread>

#include "engine/KeyboardShortcutManager.h"
#include "platform/simulated/SimulatedSession.h"
#include "tests/e2e/EndToEnd.h"

namespace corvane::e2e {
namespace {

using std::chrono::milliseconds;

class SimulatedTestSession final : public TestSession {
 public:
  SimulatedTestSession()
      : session_(std::make_shared<sim::SimulatedSession>(sim::ClockMode::Real)),
        events_(session_->events()) {
    seen_.resize(kCapacity);
  }
  ~SimulatedTestSession() override { stopObserver(); }

  std::string description() const override { return "simulated session"; }
  bool onMac() const override { return false; }
  std::shared_ptr<Platform> platform() override { return session_; }
  bool trusted() override { return session_->trusted(); }

  std::string startObserver() override {
    std::promise<bool> made;
    auto madeFuture = made.get_future();
    thread_ = std::thread([this, &made] { runObserver(made); });
    if (!madeFuture.get()) {
      thread_.join();
      return "the session refused a listen-only tap";
    }
    return {};
  }

  void stopObserver() override {
    if (!thread_.joinable()) return;
    // Invalidated first: a loop that has not begun to run then returns at once; one that runs is
    // ended by the stop.
    events_.machPortInvalidate(port_);
    events_.runLoopStop(loop_.load());
    thread_.join();
    events_.release(source_);
    events_.release(port_);
  }

  size_t observedCount() const override { return count_.load(std::memory_order_acquire); }
  std::vector<Observed> observed(size_t from, size_t count) const override {
    const size_t end = std::min(from + count, observedCount());
    return {seen_.begin() + static_cast<ptrdiff_t>(from),
            seen_.begin() + static_cast<ptrdiff_t>(std::max(from, end))};
  }

  size_t ignoredCount() const override { return 0; }  // every event here is the test's

  void inject(const Key& key) override {
    session_->keyboardEvent(key.type, key.code, key.flags, key.userData);
  }
  bool makeFrontmost(std::string_view bundleIdentifier) override {
    session_->setFrontmostApplication(bundleIdentifier);
    return session_->workspace().frontmostBundleIdentifier() == bundleIdentifier;
  }
  void runMainFor(milliseconds duration) override {
    const auto deadline = Clock::now() + duration;
    do {
      session_->runDueMainWork(std::chrono::duration_cast<sim::Nanoseconds>(
          std::max(Clock::duration::zero(), deadline - Clock::now())));
    } while (Clock::now() < deadline);
  }
  bool waitForEngineTap(const KeyboardShortcutManager& manager) override {
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    while (Clock::now() < deadline) {
      if (manager.eventTapRunLoop) {
        for (const sim::TapInfo& tap : session_->taps()) {
          if (tap.options == kEventTapOptionDefault && tap.enabled && tap.attached) return true;
        }
      }
      std::this_thread::sleep_for(milliseconds(1));
    }
    return false;
  }
  milliseconds keyInterval() const override { return milliseconds(0); }
  // Each event is decided before keyboardEvent returns: the flood goes as fast as it can.
  std::chrono::microseconds floodInterval() const override { return {}; }
  milliseconds quietPeriod() const override { return milliseconds(30); }

 private:
  static constexpr size_t kCapacity = 1 << 16;

  void runObserver(std::promise<bool>& made) {
    port_ = events_.tapCreate(kSessionEventTap, kTailAppendEventTap, kEventTapOptionListenOnly,
                              kKeyEventMask, &observe, this);
    if (port_ == nullptr) {
      made.set_value(false);
      return;
    }
    source_ = events_.machPortCreateRunLoopSource(port_);
    loop_.store(events_.runLoopGetCurrent());
    events_.runLoopAddSource(loop_.load(), source_);
    events_.tapEnable(port_, true);
    made.set_value(true);
    events_.runLoopRun();
  }

  static EventRef observe(TapProxy, EventType type, EventRef event, void* userInfo) {
    auto* self = static_cast<SimulatedTestSession*>(userInfo);
    if (type == kEventTapDisabledByTimeout || type == kEventTapDisabledByUserInput) {
      self->events_.tapEnable(self->port_, true);
      return event;
    }
    const size_t index = self->count_.load(std::memory_order_relaxed);
    if (index < kCapacity) {
      self->seen_[index] = {
          Key{type, self->events_.eventGetIntegerValueField(event, kKeyboardEventKeycode),
              self->events_.eventGetFlags(event),
              self->events_.eventGetIntegerValueField(event, kEventSourceUserData)},
          Clock::now()};
      self->count_.store(index + 1, std::memory_order_release);
    }
    return event;
  }

  std::shared_ptr<sim::SimulatedSession> session_;
  KeyboardEventServices& events_;
  std::thread thread_;
  MachPortRef port_ = nullptr;
  RunLoopSourceRef source_ = nullptr;
  std::atomic<RunLoopRef> loop_{nullptr};
  std::vector<Observed> seen_;  // written by the observer's thread up to count_
  std::atomic<size_t> count_{0};
};

}  // namespace

std::unique_ptr<TestSession> makeTestSession() {
  return std::make_unique<SimulatedTestSession>();
}

}  // namespace corvane::e2e
