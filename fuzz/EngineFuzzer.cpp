// Drives a real KeyboardShortcutManager, its tap on its own thread, on a simulated session with
// a virtual clock, with an arbitrary stream of what a user does: key presses, auto-repeats and
// releases under any modifiers and event markers, setting changes, start and stop, the shortcut
// recorder opening and closing, the frontmost application, the Accessibility trust, the system
// switching the tap off, other programs posting marked keystrokes, time passing (delayed
// actions), and the user's rules file changing. After every step it checks what the frontmost
// application has received, per key code:
//
//   no orphan key-up: the application never gets a key-up for a key whose key-down it has not
//     received since that key's last key-up;
//   no stuck key: once every event is delivered, a key the application holds down is one the
//     user holds down.
//
// Two situations break these on their own, whatever the engine does, and are the only ones
// excused:
//   - a press that straddles a change of the tap (start installed one, or a stop removed it, or
//     the system switched it off for good once the Accessibility permission was taken away, before
//     the engine stops for it, between the key's down and its up): the key-up of a translated
//     key-down that comes with no tap deciding reaches the application alone, and the entry it
//     leaves in consumedKeyUps swallows the key-up of a later press whose key-down came while no
//     tap ran. A key stays excused from such a press until a press of it that starts and ends under
//     one tap state and whose key-down reaches the application.
//   - a posted keystroke on a key the user is holding down: the application sees the posted
//     key-up while the key is still physically down, so the user's own key-up comes after it.
//     That key-up is excused.
//
// Events are fed one step at a time and each is decided before the next comes, as a person
// types; the main thread's delayed work runs whole when time is advanced.
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "engine/KeyboardShortcutManager.h"
#include "platform/simulated/SimulatedSession.h"
#include "rules/RuleCompiler.h"

namespace corvane::fuzz {
namespace {

using namespace std::chrono_literals;
using sim::ClockMode;
using sim::SimulatedSession;

constexpr auto kSetUpTimeout = 30s;  // real time; only a broken build comes near it

// Codes the rules name, those the engine posts, modifiers (Command, Shift, Fn, Option: tapped
// alone too), a plain letter, function keys no rule names (F5, Home, Left), the keypad's 5 and
// PrintScreen (F13), and codes outside what a Mac keyboard makes (the engine takes any signed
// 64-bit code).
constexpr std::array<int64_t, 40> kKeyCodes = {
    8,  9,   6,   7,  16,  0,   3,   1,   35,  45, 17,        13,        51, 117,
    37, 48,  53,  36, 118, 120, 14,  12,  34,  4,  55,        56,        63, 58,
    96, 115, 123, 87, 105, -5,  300, 255, 256, -1, INT64_MIN, INT64_MAX,
};
// Keys whose events carry the Fn flag whether or not the Fn key is held, as a Mac keyboard sends
// them.
constexpr bool carriesFnByItself(int64_t code) {
  return code == 117 || code == 118 || code == 120 || code == 96 || code == 115 || code == 123;
}
// A physical key event's field 42: 1 is the engine's marker, which the keyboard never sets.
constexpr std::array<int64_t, 4> kUserData = {0, 0, 2, -1};
// Bits no rule looks at: Caps Lock, numeric pad, a low device bit.
constexpr std::array<EventFlags, 4> kExtraFlags = {0, 0x10000, 0x200000, 0x100};
constexpr std::array<EventFlags, 5> kModifierBits = {kFlagShift, kFlagControl, kFlagOption,
                                                     kFlagCommand, kFlagFn};
constexpr std::array<const char*, 6> kFrontmost = {
    "com.apple.Safari",     "com.apple.Terminal", nullptr, "",
    "com.jetbrains.goland", "com.vmware.fusion"};

// Three rules files: the user's shortcuts on keys of the alphabet (one posting the key it is
// pressed on), one only in Safari, an application opened, a built-in switched off or replaced,
// and Terminal excluded; and groups, a pattern, except, a built-in off in some applications, an
// exclusion keeping built-ins, withShift, a sequence and modifiers tapped alone.
const std::array<RulesFile, 3>& rulesFiles() {
  static const std::array<RulesFile, 3> files = [] {
    const char* texts[] = {
        R"({"exclude": ["com.apple.Terminal"], "disable": ["Ctrl+C"], "shortcuts": [
            {"press": "Ctrl+H", "send": "Cmd+H"}, {"press": "Home", "send": "Cmd+Left"},
            {"press": "F5", "send": "Cmd+R", "apps": ["com.apple.Safari"]},
            {"press": "Win+F5", "open": "/Applications/Notes.app"},
            {"press": "Ctrl+Left", "send": "Option+Left"}]})",
        R"({"shortcuts": [{"press": "Ctrl+C", "send": "Cmd+Shift+C"},
            {"press": "H", "send": "Shift+H"}, {"press": "Alt+Left", "send": "Cmd+Left"}]})",
        R"({"groups": {"ides": ["com.jetbrains.*"]},
            "exclude": ["terminals", {"apps": ["remote"], "keep": ["Alt+Tab", "Win+E"]}],
            "disable": [{"name": "Ctrl+C", "in": ["ides"]}],
            "shortcuts": [{"press": "Home", "send": "Cmd+Left"},
            {"press": "Home", "send": "Control+A", "apps": ["com.apple.Terminal"]},
            {"press": "Ctrl+Left", "send": "Option+Left", "withShift": true, "except": ["ides"]},
            {"press": "PrintScreen", "send": ["Cmd+Shift+4", "Space", "Keypad5"]},
            {"press": "Win", "send": "Cmd+Space"}, {"press": "Ctrl", "send": "H"},
            {"press": "Alt", "send": "Cmd+C", "apps": ["ides"]}]})",
    };
    std::array<RulesFile, 3> parsed;
    for (size_t i = 0; i < parsed.size(); ++i) {
      RulesParse parse = parseRules(texts[i]);
      if (!parse.rules) std::abort();
      parsed[i] = std::move(*parse.rules);
    }
    return parsed;
  }();
  return files;
}

class Bytes {
 public:
  Bytes(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool done() const { return pos_ >= size_; }
  uint8_t next() { return pos_ < size_ ? data_[pos_++] : 0; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

struct KeyState {
  bool userDown = false;     // the user holds the key
  bool appDown = false;      // the application has had its key-down and not yet its key-up
  bool straddles = false;    // the tap changed during the current press
  bool excused = false;      // a press that straddled a tap change, and no clean press since
  bool postedOver = false;   // a posted key-up reached the application while the user held it
  bool downReached = false;  // this press: a key-down reached the application
};

class EngineRun {
 public:
  EngineRun()
      : session_(std::make_shared<SimulatedSession>(ClockMode::Virtual)),
        manager_(std::make_shared<KeyboardShortcutManager>(session_)) {}

  ~EngineRun() {
    // Delayed actions hold the manager: let them run, then take the tap down for good.
    drainMainWork();
    manager_->stop();
    if (!session_->waitForRunLoopsToEnd(kSetUpTimeout)) fail("a tap thread never ended");
    // The tap thread lets go of the manager on its way out.
    const auto deadline = std::chrono::steady_clock::now() + kSetUpTimeout;
    while (manager_.use_count() > 1) {
      if (std::chrono::steady_clock::now() > deadline) fail("the manager is still held");
      std::this_thread::sleep_for(20us);
    }
  }

  void run(Bytes& in) {
    start();
    while (!in.done()) step(in);
    // The user lets go of everything (a key-up may find the permission gone: see step); the
    // delayed work runs out.
    for (auto& [code, key] : keys_) {
      if (!key.userDown) continue;
      const bool tapBefore = tapDecides();
      release(code);
      tapChanged(tapBefore);
    }
    if (modifiers_ != 0) changeModifiers(0);
    drainMainWork();
    check("at the end");
    // CORVANE_FUZZ_TRACE=1 prints what the application received, for reading an input.
    if (std::getenv("CORVANE_FUZZ_TRACE") != nullptr) fail("trace (CORVANE_FUZZ_TRACE)");
  }

 private:
  void step(Bytes& in) {
    // Any step may change the tap: start and stop, and a key that finds the permission taken
    // away (the system switches the tap off; the engine stops later, from the main thread).
    const bool tapBefore = tapDecides();
    const uint8_t op = in.next();
    switch (op % 15) {
      case 0:
      case 1:
      case 2: {
        const int64_t code = kKeyCodes[in.next() % kKeyCodes.size()];
        press(code, in.next());
        break;
      }
      case 3:
      case 4:
        releaseOne(in.next());
        break;
      case 5: {
        const uint8_t bits = in.next();
        EventFlags mask = 0;
        for (size_t i = 0; i < kModifierBits.size(); ++i) {
          if (bits & (1u << i)) mask |= kModifierBits[i];
        }
        changeModifiers(mask);
        break;
      }
      case 6: {
        const uint8_t choice = in.next();
        if ((choice & 4) != 0) {  // the shortcut recorder opens or closes
          (choice & 8) != 0 ? manager_->startRecording() : manager_->stopRecording();
          break;
        }
        PublishedBool& setting =
            (choice & 1) ? manager_->swapFnAndControl : manager_->swapOptionAndCommand;
        setting = (choice & 2) != 0;
        break;
      }
      case 7:
        start();
        break;
      case 8:
        stop();
        break;
      case 9: {
        const char* app = kFrontmost[in.next() % kFrontmost.size()];
        session_->setFrontmostApplication(app != nullptr ? std::optional<std::string_view>(app)
                                                         : std::nullopt);
        break;
      }
      case 10:
        session_->advance(std::chrono::milliseconds(2 * in.next()));
        break;
      case 11:
        session_->disableTaps((in.next() & 1) ? kEventTapDisabledByTimeout
                                              : kEventTapDisabledByUserInput);
        break;
      case 12:
        foreignKeystroke(kKeyCodes[in.next() % kKeyCodes.size()]);
        break;
      case 13:
        session_->setTrusted((in.next() & 1) == 0);
        break;
      case 14: {
        // The user's rules file changes: one of three, or none.
        const uint8_t choice = in.next() % 4;
        if (choice == 3) {
          manager_->clearRules();
        } else {
          setRules(*manager_, rulesFiles()[choice]);
        }
        break;
      }
    }
    tapChanged(tapBefore);  // what time or the system brought, before the user's keys change
    check("after a step");
  }

  // --- What the user does --------------------------------------------------------------------

  void press(int64_t code, uint8_t detail) {
    KeyState& key = keys_[code];
    if (!key.userDown) {
      key.userDown = true;
      key.straddles = false;
      key.downReached = false;
    }
    // A first key-down or an auto-repeat: the keyboard sends the same event.
    EventFlags flags = modifiers_ | kExtraFlags[(detail >> 2) % kExtraFlags.size()];
    if (carriesFnByItself(code)) flags |= kFlagFn;
    const uint64_t reachedBefore = userKeyDownsReached_;
    session_->keyboardEvent(kEventKeyDown, code, flags, kUserData[detail % kUserData.size()]);
    deliver();
    if (userKeyDownsReached_ != reachedBefore) key.downReached = true;
  }

  void releaseOne(uint8_t pick) {
    std::vector<int64_t> held;
    for (const auto& [code, key] : keys_) {
      if (key.userDown) held.push_back(code);
    }
    if (!held.empty()) release(held[pick % held.size()]);
  }

  void release(int64_t code) {
    KeyState& key = keys_[code];
    session_->keyboardEvent(kEventKeyUp, code, modifiers_ | (carriesFnByItself(code) ? kFlagFn : 0),
                            0);
    key.userDown = false;
    deliver();
    // A clean press whose key-down reached the application clears the excuse of an older one
    // (one whose every key-down was translated leaves the application's view as it was).
    key.excused = key.straddles || (key.excused && !key.downReached);
    key.straddles = false;
    key.postedOver = false;
  }

  // One flags-changed event of the modifier key that changed: the Fn key's own (63) when Fn
  // did, else Shift's (56) or Command's (55).
  void changeModifiers(EventFlags mask) {
    const EventFlags changed = modifiers_ ^ mask;
    modifiers_ = mask;
    const int64_t code = (changed & kFlagFn) != 0 ? 63 : (changed & kFlagShift) != 0 ? 56 : 55;
    session_->keyboardEvent(kEventFlagsChanged, code, mask, 0);
    deliver();
  }

  // Another program posts a marked keystroke of a key nobody holds.
  void foreignKeystroke(int64_t code) {
    const KeyState& key = keys_[code];
    if (key.userDown || key.appDown) return;
    session_->keyboardEvent(kEventKeyDown, code, 0, kEventMarker);
    session_->keyboardEvent(kEventKeyUp, code, 0, kEventMarker);
    deliver();
  }

  // --- The main thread -----------------------------------------------------------------------

  void start() {
    if (!manager_->eventTap) {
      const uint64_t setUps = session_->tapSetups();
      const uint64_t created = session_->tapsCreated();
      const size_t queued = session_->pendingMainWork();
      manager_->start();
      if (!session_->waitForTapSetups(setUps + 1, kSetUpTimeout)) fail("the tap never set up");
      if (session_->tapsCreated() == created) {
        // The failed creation is handed back to the main thread: wait until it is queued, so
        // that it runs (it holds the manager) and sets isEnabled back.
        const auto deadline = std::chrono::steady_clock::now() + kSetUpTimeout;
        while (session_->pendingMainWork() == queued) {
          if (std::chrono::steady_clock::now() > deadline) fail("no hand-back of a failed tap");
          std::this_thread::sleep_for(20us);
        }
        session_->advance(0ns);
      }
    } else {
      manager_->start();
    }
  }

  void stop() { manager_->stop(); }

  // A tap is installed and switched on, and the process is trusted: an untrusted tap only holds
  // each event until its timeout and lets it go undecided (switched back on after it or not).
  bool tapDecides() const {
    if (!session_->trusted()) return false;
    for (const sim::TapInfo& tap : session_->taps()) {
      if (tap.enabled) return true;
    }
    return false;
  }

  void tapChanged(bool before) {
    deliver();
    if (tapDecides() == before) return;
    for (auto& [code, key] : keys_) {
      if (key.userDown) key.straddles = true;
    }
  }

  void drainMainWork() {
    while (session_->nextMainWorkDue()) session_->runNextMainWork();
    deliver();
  }

  // --- What the application sees -------------------------------------------------------------

  void deliver() {
    session_->settle();
    const std::vector<sim::ReceivedEvent> received = session_->received();
    session_->clearRecords();
    for (const sim::ReceivedEvent& event : received) {
      trail_.push_back(event);
      if (event.type == kEventFlagsChanged) continue;
      KeyState& key = keys_[event.keyCode];
      const bool posted = event.userData == kEventMarker;
      if (event.type == kEventKeyDown) {
        key.appDown = true;
        if (!posted) ++userKeyDownsReached_;
      } else if (event.type == kEventKeyUp) {
        if (!key.appDown) {
          const bool excused = !posted && (key.excused || key.straddles || key.postedOver);
          if (!excused) fail("orphan key-up of " + std::to_string(event.keyCode));
        }
        if (posted && key.userDown) key.postedOver = true;
        key.appDown = false;
      }
    }
  }

  void check(const char* when) {
    for (const auto& [code, key] : keys_) {
      if (key.appDown && !key.userDown && !key.excused) {
        fail("stuck key " + std::to_string(code) + " " + when);
      }
    }
  }

  [[noreturn]] void fail(const std::string& what) const {
    std::fprintf(stderr, "engine fuzzer: %s\napplication received (type code flags userData):\n",
                 what.c_str());
    for (const sim::ReceivedEvent& event : trail_) {
      std::fprintf(
          stderr, "  %u %lld 0x%llx %lld\n", event.type, static_cast<long long>(event.keyCode),
          static_cast<unsigned long long>(event.flags), static_cast<long long>(event.userData));
    }
    std::abort();
  }

  std::shared_ptr<SimulatedSession> session_;
  std::shared_ptr<KeyboardShortcutManager> manager_;
  std::map<int64_t, KeyState> keys_;
  EventFlags modifiers_ = 0;
  std::vector<sim::ReceivedEvent> trail_;
  uint64_t userKeyDownsReached_ = 0;
};

}  // namespace
}  // namespace corvane::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Long streams add time, not new states.
  corvane::fuzz::Bytes in(data, size < 4096 ? size : 4096);
  corvane::fuzz::EngineRun run;
  run.run(in);
  return 0;
}
