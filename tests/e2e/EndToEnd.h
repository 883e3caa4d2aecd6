// corvane-e2e: Corvane's real engine, with its tap on its own thread as the program runs it, fed
// key events at the HID level and watched by a second, listen-only session tap placed after
// Corvane's. One table of scenarios runs on two sessions: the real one on a Mac, the simulated
// one elsewhere (and in ctest).
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/EventTypes.h"
#include "engine/Platform.h"

namespace corvane {
class KeyboardShortcutManager;
}

namespace corvane::e2e {

using Clock = std::chrono::steady_clock;

// A key event: as injected, or as the observer saw it.
struct Key {
  EventType type;
  int64_t code;
  EventFlags flags = 0;
  int64_t userData = 0;
  bool operator==(const Key&) const = default;
};

// An event the observer saw, and when.
struct Observed {
  Key key;
  Clock::time_point at;
};

// The modifier bits the table compares. The system adds others of its own on a Mac (the
// non-coalesced bit 0x100, device-dependent bits, the numeric-pad flag on arrows), which say
// nothing about Corvane.
inline constexpr EventFlags kComparedFlags =
    kFlagShift | kFlagControl | kFlagOption | kFlagCommand | kFlagFn;

// The session a run happens in: where keys are injected, where the observer taps, what the
// engine runs on, and the main thread's queue.
class TestSession {
 public:
  virtual ~TestSession() = default;
  virtual std::string description() const = 0;  // "macOS 14.6 arm64", "simulated session"
  virtual bool onMac() const = 0;
  // The platform a KeyboardShortcutManager runs on here.
  virtual std::shared_ptr<Platform> platform() = 0;
  // Whether the process may tap and post (the Accessibility permission); never prompts.
  virtual bool trusted() = 0;

  // The observer: a listen-only tap at the session level, appended after the taps there (so
  // after Corvane's head-inserted one), on a thread of its own. Empty on success, else why not.
  virtual std::string startObserver() = 0;
  virtual void stopObserver() = 0;
  // How many events the observer saw since it started, and the first `count` of them.
  virtual size_t observedCount() const = 0;
  virtual std::vector<Observed> observed(size_t from, size_t count) const = 0;
  // Events of other processes the observer let go by unread (a Mac's other sources).
  virtual size_t ignoredCount() const = 0;

  // Posts one key event at the HID level, as the keyboard would; returns when it was posted.
  virtual void inject(const Key& key) = 0;
  // Brings the application forward; true once the workspace reports it frontmost.
  virtual bool makeFrontmost(std::string_view bundleIdentifier) = 0;
  // Runs the main thread's queue (the engine's delayed actions) for a while.
  virtual void runMainFor(std::chrono::milliseconds duration) = 0;
  // Waits until the manager's tap, after a start, is enabled. False after a timeout.
  virtual bool waitForEngineTap(const KeyboardShortcutManager& manager) = 0;
  // The pause between two injected events of a scenario, and of the flood.
  virtual std::chrono::milliseconds keyInterval() const = 0;
  virtual std::chrono::microseconds floodInterval() const = 0;
  // How long to wait, once the expected events came, for any that should not come.
  virtual std::chrono::milliseconds quietPeriod() const = 0;
};

std::unique_ptr<TestSession> makeTestSession();

// ---------------------------------------------------------------------------------------------
// The table.

struct Step {
  enum class Kind : uint8_t { key, stop, start, pause };
  // What becomes of a key in a flood, for its checks and latencies: it reaches the application
  // as typed, it is translated (its key-down posts one marked key-down), or it is swallowed.
  enum class Fate : uint8_t { passes, translated, swallowed };
  Kind kind;
  Key key{};
  Fate fate = Fate::passes;
  std::chrono::milliseconds pause{0};  // a pause: how long the main thread runs its queue
};

struct Scenario {
  std::string name{};
  bool swapFnAndControl = true;
  bool swapOptionAndCommand = true;
  std::string rules{};  // a rules file's text; empty: none
  std::string frontmost = "com.apple.finder";
  std::vector<Step> steps{};
  // What the observer must see, in order. A flood checks its invariants instead (flood).
  std::vector<Key> expected{};
  bool flood = false;
};

std::vector<Scenario> scenarios();

// What a run found.
struct ScenarioResult {
  std::string name{};
  bool passed = false;
  std::vector<std::string> problems;
};

// What the real system does where Corvane only assumes it (measured on the Mac; the simulated
// session's figures show the table works).
struct Measurements {
  struct KeyFlags {
    std::string key;
    int64_t code;
    std::optional<EventFlags> observed;  // none: the observer did not see it
  };
  std::vector<KeyFlags> injectedFlags;  // key-downs injected with no flag at all
  size_t postedSeen = 0;                // engine-posted events the observer saw
  size_t postedMarked = 0;              // of those, marked (1 in field 42)
  std::vector<double> passLatencyMicros;
  std::vector<double> translatedLatencyMicros;
};

class Runner {
 public:
  explicit Runner(TestSession& session) : session_(session) {}
  ScenarioResult run(const Scenario& scenario, Measurements& measurements);
  // The flags the system gives injected function keys and arrows, with no manager running.
  void measureInjectedFlags(Measurements& measurements);

 private:
  TestSession& session_;
};

// The measurements as a Markdown table.
std::string measurementTable(const TestSession& session, const Measurements& measurements);
// "keyDown 8 flags 0x100000 userData 1"
std::string describe(const Key& key);

}  // namespace corvane::e2e
