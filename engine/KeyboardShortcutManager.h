// The engine's one stateful object: the running tap's handles, the key-ups still to be
// swallowed, and the three published settings. It decides every key event of the session.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "engine/Builtins.h"
#include "engine/ChangeNotifier.h"
#include "engine/DecisionOutcome.h"
#include "engine/KeyCodeSet.h"
#include "engine/KeyViewerRing.h"
#include "engine/OwnedRef.h"
#include "engine/Platform.h"
#include "engine/Published.h"

namespace corvane {

// Browsers in which Shift+Tab reopens the last closed tab.
inline constexpr std::array<std::string_view, 7> kBrowserBundleIdentifiers = {
    "com.google.Chrome",          "org.chromium.Chromium", "com.apple.Safari",
    "org.mozilla.firefox",        "com.microsoft.edgemac", "com.brave.Browser",
    "company.thebrowser.Browser",
};

class KeyboardShortcutManager;
class RuleTable;
struct CompiledShortcut;
struct RulesFile;
struct TapThreadContext;

// The tap thread's handle: owned while stored, detached (never joined) when released.
class TapThreadHandle {
 public:
  TapThreadHandle() = default;
  TapThreadHandle(const TapThreadHandle&) = delete;
  TapThreadHandle& operator=(const TapThreadHandle&) = delete;
  ~TapThreadHandle() { reset(); }
  explicit operator bool() const { return thread_.joinable(); }
  std::thread::id id() const { return thread_.get_id(); }

 private:
  friend KeyboardShortcutManager;
  void store(std::thread thread) {
    reset();
    thread_ = std::move(thread);
  }
  void reset() {
    if (thread_.joinable()) thread_.detach();
  }
  std::thread thread_;
};

// The tap callback registered with the system. It hands the event to the manager whose tap
// thread it runs on. A tap-disabled notification passes; the tap is switched back on, unless the
// system switched it off by timeout for the third time within kTimeoutWindow: then translation
// is stopped from the main thread.
EventRef eventTapCallback(TapProxy proxy, EventType type, EventRef event, void* userInfo);

class KeyboardShortcutManager : public std::enable_shared_from_this<KeyboardShortcutManager> {
 public:
  // Managers live in a shared_ptr (the tap thread and delayed actions hold them strongly).
  explicit KeyboardShortcutManager(std::shared_ptr<Platform> platform);
  ~KeyboardShortcutManager();
  KeyboardShortcutManager(const KeyboardShortcutManager&) = delete;
  KeyboardShortcutManager& operator=(const KeyboardShortcutManager&) = delete;

  // The process's one instance, built on the default platform at first use, exactly once.
  static KeyboardShortcutManager& shared();

  // The platform this manager runs on.
  Platform& platform() const { return *platform_; }

 private:
  std::shared_ptr<Platform> platform_;
  KeyboardEventServices& events_;
  Workspace& workspace_;
  MainQueue& mainQueue_;
  Pauser& pauser_;

 public:
  ChangeNotifier objectWillChange;

  // The running tap (start, stop, runTapThread). Read anywhere; written only by the manager.
  OwnedField<MachPortRef, KeyboardShortcutManager> eventTap{events_};
  OwnedField<RunLoopSourceRef, KeyboardShortcutManager> runLoopSource{events_};
  OwnedField<RunLoopRef, KeyboardShortcutManager> eventTapRunLoop{events_};
  TapThreadHandle eventTapThread;  // main thread only

  // Key codes whose key-up is still to be swallowed. Tap threads: after a stop and a start an
  // old one may still be finishing a callback while the new one decides (see KeyCodeSet).
  KeyCodeSet consumedKeyUps;
  // Key codes whose key-down reached the application and whose key-up has not yet: the
  // application holds these keys down. Tap threads, like consumedKeyUps.
  KeyCodeSet heldByApplication;
  // Whether the Fn key (63) is down, from its own flags-changed events, and from the keyboard's
  // modifier state whenever the tap is switched on (a release may have come while it was off).
  // Navigation keys carry the Fn flag by themselves, so for them the rules read Fn from here.
  // Tap thread.
  std::atomic<bool> fnKeyDown{false};
  // Set when translation was stopped because the process lost its Accessibility trust, or
  // because the system kept switching the tap off by timeout; cleared by the next start. Main
  // thread (written before isEnabled, whose change notification covers them).
  std::atomic<bool> stoppedForLostTrust{false};
  std::atomic<bool> stoppedForTapTimeouts{false};
  // A tap switched off by timeout this often within this window stays off.
  static constexpr int kTimeoutsToStop = 3;
  static constexpr std::chrono::seconds kTimeoutWindow{10};

  PublishedBool isEnabled{objectWillChange, false};
  PublishedBool swapFnAndControl{objectWillChange, true};
  PublishedBool swapOptionAndCommand{objectWillChange, true};

  // The decision for one event: the same event (pass) or nullptr (swallow). Tap thread.
  EventRef handleEvent(EventType type, EventRef event);
  // The same decision, telling what a key-down came to (other types leave outcome alone).
  EventRef handleEvent(EventType type, EventRef event, DecisionOutcome& outcome);

  // The key viewer (main thread). While it is open, the tap thread records every unmarked
  // key-down it decides; closing it forgets them all, and nothing is recorded while it is closed.
  void openKeyViewer();
  void closeKeyViewer();
  bool isKeyViewerOpen() const { return keyViewerOpen_.load(std::memory_order_relaxed); }
  // Hands the key-downs recorded since the last call to take, oldest first; true when some were
  // lost because the ring was full.
  template <class Take>
  bool drainKeyViewer(Take&& take) {
    return keyViewer_.drain(std::forward<Take>(take));
  }

  // The shortcut recorder (main thread): while it records, every key goes to it alone. Each
  // unmarked key-down is recorded (outcome `recorded`) and swallowed, and so is its key-up; a key
  // held from before keeps its key-up. Ctrl, Win and Alt pressed and released alone are recorded
  // as a flags-changed record whose flags are the modifier's (WindowsModifier bits), and no
  // shortcut of the user's fires for them. Nothing is translated, opened or posted meanwhile.
  // Starting opens the key viewer's records (drained with drainKeyViewer); stopping closes them
  // unless a key viewer was open before.
  void startRecording();
  void stopRecording();
  bool isRecording() const { return recording_.load(std::memory_order_relaxed); }

  // The shortcut rules: the action a key-down stands for, or none. Reads each swap setting once.
  std::optional<std::string_view> actionForKeyDown(int64_t keyCode, EventFlags flags);
  bool isBrowserFrontmost();

  // The action executor: runs the action of that name; an unknown name does nothing.
  void performAction(std::string_view name);

  // Keystroke synthesis: marked events posted at the HID level.
  void postKeystroke(std::span<const EventFlags> modifiers, KeyCode key);
  void postKeystroke(std::initializer_list<EventFlags> modifiers, KeyCode key) {
    postKeystroke(std::span(modifiers.begin(), modifiers.size()), key);
  }

  void postReopenTabSequence();

  // The tap service; main thread.
  void start();
  void stop();
  // stop, for a process that is no longer trusted: stoppedForLostTrust tells the window why.
  // Main thread.
  void stopForLostTrust();
  // Whether the process may tap the keyboard now, asked of the system at this moment: an active
  // tap of key-downs and key-ups is made and released at once, never added to a run loop.
  // (AXIsProcessTrusted may keep its first answer for the life of the process.) Main thread
  // only: the system's answer can take a while.
  bool probeTrust();

  // The user's rules, compiled (main thread; rules/RuleCompiler.h makes a table of a file).
  // setRuleTable publishes the table: the tap thread decides with it from its next key-down.
  // clearRules goes back to the built-in rules alone. Both signal objectWillChange first; the
  // file's settings are the caller's to apply.
  void setRuleTable(std::unique_ptr<const RuleTable> table);
  void clearRules();
  // The rules in use, or nullptr for the built-in rules alone. Main thread.
  const RulesFile* rules() const;

  // Delayed actions pending at once that need no allocation (a held key repeats about 30 times
  // a second and each action waits 20 or 60 ms: a handful are ever pending).
  static constexpr size_t kDelayedHoldCount = 8;

 private:
  // What a delayed action (reopenTab, renameFile) holds until it has run: the manager, strongly.
  // The manager keeps kDelayedHoldCount of these, so scheduling one does not allocate.
  struct DelayedHold {
    struct Taken {
      std::shared_ptr<KeyboardShortcutManager> keepAlive;  // empty if not held by a shared_ptr
      KeyboardShortcutManager* manager;
    };
    // Hands the manager over to the work that runs and frees the hold.
    static Taken take(void* context);

    DelayedHold() { path.reserve(1024); }  // PATH_MAX: a path is copied without allocating
    std::atomic<bool> busy{false};
    bool pooled = true;
    KeyboardShortcutManager* manager = nullptr;
    std::shared_ptr<KeyboardShortcutManager> keepAlive;
    std::string path;              // the application an open action opens
    Action action = Action::none;  // the action whose delayed key is posted
    uint8_t dockPosition = 0;      // the Dock position a dock shortcut opens
  };
  static void runReopenTab(void* context);
  static void runDelayedKey(void* context);
  static void runOpenApplication(void* context);
  static void runTapTimeouts(void* context);
  // Opening an application can take LaunchServices a long while: it is done on the main queue,
  // never on the tap thread.
  void openOnMainQueue(std::string_view path);
  // The Dock is read on the main queue too (its preferences), once the shortcut fires.
  void openDockApplicationOnMainQueue(uint8_t position);
  static void runOpenDockApplication(void* context);
  // The tap's own thread, when its tap was switched off by the system (reason: the event type
  // of the notification).
  void tapSwitchedOff(const TapThreadContext& context, EventType reason);
  void readKeyboardState();

  [[gnu::noinline]] EventRef decideKeyDown(int64_t keyCode, EventRef event);
  [[gnu::noinline]] EventRef decideKeyDown(int64_t keyCode, EventRef event,
                                           DecisionOutcome& outcome);
  // Both of the above; outcome, when not null, is told what the decision came to.
  EventRef decideKeyDown(int64_t keyCode, EventRef event, DecisionOutcome* outcome);
  // The built-in rules alone, less the disabled ones: translated, or passed for no shortcut.
  EventRef decideBuiltin(int64_t keyCode, EventFlags flags, EventRef event,
                         DecisionOutcome* outcome) {
    bool fnIsCtrl = false;
    const BuiltinCombination combination = builtinCombination(keyCode, flags, 0, fnIsCtrl);
    const Action action = actionOf(combination, 0, fnIsCtrl);
    if (action == Action::none) {
      if (outcome != nullptr) *outcome = {OutcomeCode::noShortcut, kNoRuleIndex};
      return passKeyDown(keyCode, event);
    }
    if (outcome != nullptr) {
      *outcome = {OutcomeCode::builtin, static_cast<uint16_t>(combination), action};
    }
    recordTranslated(keyCode, action);
    perform(action);
    return nullptr;
  }
  // outcome, when not null, is told what the decision came to.
  [[gnu::noinline]] EventRef decideWithRules(int64_t keyCode, EventFlags flags, EventRef event,
                                             DecisionOutcome* outcome);
  // A key-down while a key viewer is open: decided as ever, and recorded for the viewer.
  [[gnu::noinline]] EventRef decideKeyDownForViewer(int64_t keyCode, EventRef event);
  // The flags as the rules read them: a function key's Fn bit is the Fn key's own.
  EventFlags flagsAsRead(int64_t keyCode, EventFlags flags) const;
  // A key-down that reaches the application. The press is new, so an older entry for the key is
  // stale (its key-up never came, or came while no tap ran): dropping it keeps this press's own
  // key-up from being swallowed, which would leave the key stuck down in the application.
  // The sets are only written when they change: an auto-repeat, the common case, reads them.
  EventRef passKeyDown(int64_t keyCode, EventRef event) {
    if (consumedKeyUps.contains(keyCode)) consumedKeyUps.erase(keyCode);
    if (!heldByApplication.contains(keyCode)) {
      heldByApplication.insert(keyCode);
      tapCandidate_.store(0, std::memory_order_relaxed);  // a key between: no tap alone
    }
    return event;
  }
  // Records a translated key-down's key code for its key-up. The keystroke posted at once for
  // it is the built-in action's, or else userKey's (-1: none).
  void recordTranslated(int64_t keyCode, Action action, int64_t userKey = -1);
  void performShortcut(const CompiledShortcut& shortcut);
  // A modifier tapped alone: follows Ctrl, Win and Alt from flags-changed events, and runs the
  // user's shortcut for one pressed and released alone within kTapAloneWithin.
  // Returns the event: a flags-changed event always passes.
  [[gnu::noinline]] EventRef trackTappedModifier(int64_t keyCode, EventRef event);
  void fireTapped(uint8_t modifier, int64_t keyCode);
  bool isNamedNow(int64_t keyCode) const { return inKeySet(namedKeys_, keyCode); }
  static bool inKeySet(const std::array<std::atomic<uint64_t>, 2>& set, int64_t keyCode) {
    const auto code = static_cast<uint64_t>(keyCode);
    return code < 128 && ((set[code >> 6].load(std::memory_order_relaxed) >> (code & 63)) & 1) != 0;
  }
  void publishRules(const RuleTable* table);
  // Stores the key codes that go past the first test: those the rules in use name, or every one
  // while a key viewer is open.
  void publishNamedKeys();
  void publishTappedModifiers();
  void reclaimRetiredRules();
  void postKeystrokeWithFlags(EventFlags flags, KeyCode key);
  DelayedHold* holdForDelayedWork();
  // The built-in rules, less the combinations disabled (combinationBit of each).
  Action actionFor(int64_t keyCode, EventFlags flags, uint32_t disabled = 0);
  // The built-in combination a key-down is, disabled or not (a disabled Shift+Tab is named
  // without asking which application is in front), and the action it gives. fnIsCtrl tells
  // whether the Fn key played Ctrl in it (swapFnAndControl, read once per decision).
  BuiltinCombination builtinCombination(int64_t keyCode, EventFlags flags, uint32_t disabled,
                                        bool& fnIsCtrl);
  static Action actionOf(BuiltinCombination combination, uint32_t disabled, bool fnIsCtrl) {
    if (combination == BuiltinCombination::none || (disabled & combinationBit(combination)) != 0) {
      return Action::none;
    }
    const auto index = static_cast<size_t>(combination);
    // Ctrl+Delete from a PC keyboard's Del key deletes the next word, as on Windows; while the Fn
    // key plays Ctrl it is a laptop's Fn+Backspace: the previous word.
    if (kBuiltinMatch.special[index] == Builtin::Special::previousWordWhenFnIsCtrl && fnIsCtrl) {
      return Action::deleteWord;
    }
    return kBuiltinMatch.action[index];
  }
  // The Windows modifiers held (WindowsModifier bits) under the current swap settings.
  uint8_t windowsModifiers(EventFlags flags) const {
    return windowsModifiersOf(flags, swapFnAndControl.get(), swapOptionAndCommand.get());
  }
  // Runs an action (never Action::none).
  void perform(Action action);
  // The key of the keystroke an action (never Action::none) posts at once, or -1 (no keystroke,
  // or a delayed one).
  static int64_t postedKey(Action action);
  static void runTapThread(std::weak_ptr<KeyboardShortcutManager> manager, EventMask mask,
                           uint64_t generation);
  void handTapCreationFailureToMain(uint64_t generation);

  // Counts the start and stop calls that acted (main thread only): a failed tap creation that
  // comes back after a newer call leaves that call's effect alone.
  uint64_t tapGeneration_ = 0;

  std::array<DelayedHold, kDelayedHoldCount> delayedHolds_;
  // The tap the system kept switching off by timeout; the main thread stops translation if it
  // is still the running tap.
  std::atomic<MachPortRef> timedOutTap_{nullptr};

  // The user's compiled rules, or none. Written on the main thread, read on tap threads: a
  // reader counts itself in ruleReaders_ before it loads the table and out when it is done, and
  // a replaced table is freed only when it sees no reader (so none can still hold it).
  std::atomic<const RuleTable*> ruleTable_{nullptr};
  std::atomic<uint32_t> ruleReaders_{0};
  std::vector<const RuleTable*> retiredRules_;  // main thread
  // Codes the rules in use name: a key-down of any other passes without a look at its flags.
  std::array<std::atomic<uint64_t>, 2> namedKeys_;
  friend class RuleReader;

  // A modifier tapped alone (tap thread; stop cancels). tappedModifiers_: those the rules in use
  // have a shortcut for (main thread writes). modifiersHeld_: the Windows modifiers held at the
  // last flags-changed event. tapCandidate_: the one pressed alone and not yet released, or 0;
  // tapDownAt_: when (the pauser's uptime, in nanoseconds).
  static constexpr std::chrono::seconds kTapAloneWithin{1};
  std::atomic<uint8_t> tappedModifiers_{0};
  std::atomic<uint8_t> modifiersHeld_{0};
  std::atomic<uint8_t> tapCandidate_{0};
  std::atomic<int64_t> tapDownAt_{0};

  // The key viewer: whether one is open, and the records on their way to it. An untranslated
  // key-down reads nothing of it while none is open; a key-down some rule names reads the flag.
  std::atomic<bool> keyViewerOpen_{false};
  // Whether the recorder takes every key (read only on the key viewer's way), and whether the
  // viewer was open on its own when recording started.
  std::atomic<bool> recording_{false};
  bool viewerOpenBeforeRecording_ = false;
  KeyViewerRing keyViewer_;
  friend EventRef eventTapCallback(TapProxy, EventType, EventRef, void*);
};

}  // namespace corvane
