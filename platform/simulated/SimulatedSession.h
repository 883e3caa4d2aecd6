// An in-process keyboard session: the platform the engine runs on off the Mac, in the test
// suite and in corvane-replay. It offers the engine's platform interfaces with the effects the
// Mac's have: event taps serviced by run loops on their own threads, events delivered to the
// enabled taps one at a time and then to the frontmost application, posting at the HID level
// from any thread (a post made inside a callback is delivered after the callback returns),
// event sources, the workspace, the main queue and the pause. It runs on a real clock or on a
// virtual one that only moves when told, so delays and pauses are exact and take no real time.
//
// Delivery is done by the thread that brings an event in: keyboardEvent, disableTaps and a post
// made outside a tap callback return once that event, and everything queued behind it, has been
// decided and delivered; when another thread is delivering already, they wait until it has.
// The hand-over to a tap's thread spins briefly before it sleeps, so a replay does not pay two
// context switches per event.
//
// Where the engine relies on them, taps, ports and run loops behave as CoreFoundation's and
// CoreGraphics' do (CFRunLoop.c and CFMachPort.c of CoreFoundation's public sources; the
// CGEventTapCreate notes in CGEvent.h). Each is tested in tests/simulated.
//  (1) Invalidating a port invalidates its run loop source, which leaves every run loop it is
//      in; adding an invalid source to a run loop does nothing.
//  (2) A source may be removed from a run loop on any thread. Its events stop reaching the
//      callback at once, but the loop is not woken: a loop left without sources only returns
//      when something next wakes it (a stop).
//  (3) Running a loop that has no sources returns at once.
//  (4) Stopping a loop that is not running does nothing; a stop does not carry over to the
//      loop's next run. Stopping a running loop wakes it, and it returns once the callback in
//      progress, if any, has returned.
//  (5) Creating a tap fails (no port) while the process is not a trusted accessibility client
//      (AXIsProcessTrusted in AXUIElement.h; CGEventTapCreate in CGEvent.h: key-down and key-up
//      bits are cleared from the mask of a process that may not see them, and no tap is made
//      when the mask is left empty). The answer is the system's at that moment: a tap of key
//      downs and ups made and released at once is how the program reads its trust live.
//  (6) Taps are ordered by location (HID, session, annotated session: an event meets them in
//      that order); kCGHeadInsertEventTap puts a tap before the others at its location,
//      kCGTailAppendEventTap after them (CGEventTapPlacement, CGEventTypes.h).
//  (7) A listen-only tap (kCGEventTapOptionListenOnly) is a passive listener: it gets each
//      event as it stands at its place (nothing after a tap that swallowed it), but the event
//      does not wait for its callback, whose return value is ignored: "the event stream is not
//      affected" (CGEventTapCreate, CGEvent.h). It may run after the application received the
//      event. Not being able to delay the stream, it is never disabled by timeout.
//
// And the session itself behaves as macOS does in these respects (each tested in tests/simulated
// or, through the engine, in tests/engine):
//  (8) A process that stops being trusted keeps its taps, but an active tap no longer decides
//      anything: the next event that would reach it is held until the tap's timeout, the system
//      then disables the tap, sends it kCGEventTapDisabledByTimeout and lets the event go on.
//      Enabling the tap again brings the same wait at the next event. (Accessibility in System
//      Settings switched off while the program runs; CGEventTapCreate and
//      kCGEventTapDisabledByTimeout in CGEvent.h / CGEventTypes.h.) Listen-only taps go on.
//  (9) While secure event input is on (a password field, Terminal's Secure Keyboard Entry), key
//      downs and key ups reach the focused application without passing any tap; flags-changed
//      events still pass the taps. (EnableSecureEventInput and IsSecureEventInputEnabled in
//      HIToolbox's CarbonEventsCore.h; Technical Note TN2150, "Using Secure Event Input Fairly".)
//  (10) CGEventSourceFlagsState(kCGEventSourceStateHIDSystemState) gives the modifiers the
//      keyboard holds now, whatever the taps made of their events: here, the flags of the last
//      flags-changed event the keyboard made (CGEventSource.h). Function and arrow keys set the
//      Fn flag on their own events only, not in this state.
//  (11) Asking for a tap while not trusted is a request to TCC, which may show the system's
//      Accessibility prompt when the list has no entry for the program (it never asked, or the
//      user removed it with −); the prompt itself leaves a switched-off entry, so it comes once
//      until the entry is removed again. Apple documents no prompt for CGEventTapCreate, while
//      CGRequestPostEventAccess in CGEvent.h, the same service's request, is "potentially
//      prompting": the worst case is modelled. AXIsProcessTrustedWithOptions with
//      kAXTrustedCheckOptionPrompt asks the same way (AXUIElement.h).
//  (12) On macOS 13 and later AXIsProcessTrusted can keep its first answer for the life of the
//      process, after a grant and after a removal alike (Apple Developer Forums thread 727984,
//      acknowledged by Apple's developer technical support): axIsProcessTrusted keeps its first
//      answer here, so nothing may rely on it for a change.
//  (13) The Dock's kept applications are the "persistent-apps" array of the com.apple.dock
//      preferences, in the Dock's order (CFPreferencesCopyAppValue, CFPreferences.h; the array
//      as `defaults read com.apple.dock persistent-apps` prints it): each item's "tile-data"
//      dictionary holds its "bundle-identifier", and an item without one (a spacer tile) is no
//      application. Finder is not in the array: the Dock always shows it first, and it cannot
//      be taken out of the Dock. CFPreferencesAppSynchronize before the read brings in what the
//      Dock wrote since the last one (CFPreferences.h). Here setDockItems holds the array
//      (nullopt: an item without a bundle identifier), dockApplications reads it as the Mac's
//      reading does, and opening by bundle identifier is an open request naming it.
//  (14) NSWorkspace's frontmostApplication changes only as the main run loop runs, and
//      NSWorkspaceDidActivateApplicationNotification is posted on the main thread once it has
//      (NSWorkspace.h, NSRunningApplication.h): the workspace's frontmost stamp moves with every
//      change of the frontmost application, after its identifier has changed.
//  (15) The installed applications are the .app bundles in /Applications, /Applications/Utilities,
//      /System/Applications and /System/Applications/Utilities; each one's bundle identifier is
//      its Info.plist's CFBundleIdentifier (NSBundle bundleIdentifier, NSBundle.h) and its name
//      the one NSFileManager's displayNameAtPath: gives, less ".app" (NSFileManager.h). A
//      bundle without an identifier is no application a rules file can name.
//  (16) NSWorkspace's runningApplications lists every running application, also those without a
//      user interface; one with activationPolicy NSApplicationActivationPolicyRegular appears in
//      the Dock and can come to the front. Its bundleIdentifier may be nil, its localizedName is
//      its name and its bundleURL its bundle (NSRunningApplication.h). Finder always runs.
//  (17) NSWorkspaceDidActivateApplicationNotification's userInfo holds the activated
//      application under NSWorkspaceApplicationKey (NSWorkspace.h): the application that was in
//      front before Corvane's window is the last one activated that is not Corvane. Here the
//      frontmost application (14) is never Corvane: the session is the world outside its window.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "engine/Platform.h"

namespace corvane::sim {

namespace detail {
struct Event;
struct Tap;
struct Loop;
struct LoopSource;
struct Delivery;
struct Item;
class ItemQueue;
struct MainWork {
  std::chrono::nanoseconds due;
  uint64_t seq;
  void (*work)(void*);
  void* context;
};
}  // namespace detail

using Nanoseconds = std::chrono::nanoseconds;

enum class ClockMode { Real, Virtual };

// An installed application (15), and whether it runs with a user interface (16).
struct SessionApplication {
  std::string bundleIdentifier;
  std::string name;
  std::string path;
  bool running = false;
};

// An event as it was posted through eventPost.
struct PostedEvent {
  EventType type;
  int64_t keyCode;
  EventFlags flags;
  int64_t userData;
  TapLocation location;
  std::optional<EventSourceState> sourceState;  // none when made without a source
  Nanoseconds time;
  std::thread::id thread;
};

// A keyboard event that reached the frontmost application after every tap passed it.
struct ReceivedEvent {
  EventType type;
  int64_t keyCode;
  EventFlags flags;
  int64_t userData;
  Nanoseconds time;
};

struct OpenRequest {
  std::string path;
  Nanoseconds time;
  std::thread::id thread;
};

struct TapInfo {
  TapLocation location;
  TapPlacement placement;
  TapOptions options;
  EventMask mask;
  bool enabled;
  bool attached;  // its run loop source is in a run loop
};

class SimulatedSession final : public Platform,
                               private KeyboardEventServices,
                               private Workspace,
                               private MainQueue,
                               private Pauser {
 public:
  explicit SimulatedSession(ClockMode clock = ClockMode::Virtual);
  ~SimulatedSession() override;
  SimulatedSession(const SimulatedSession&) = delete;
  SimulatedSession& operator=(const SimulatedSession&) = delete;

  KeyboardEventServices& events() override { return *this; }
  Workspace& workspace() override { return *this; }
  MainQueue& mainQueue() override { return *this; }
  Pauser& pauser() override { return *this; }

  ClockMode clockMode() const { return clockMode_; }

  // --- The world the program runs in -------------------------------------------------------
  // Whether the process is a trusted accessibility client; taps created while not fail. Granting
  // leaves an entry in the Accessibility list; switching it off keeps the entry (11).
  void setTrusted(bool trusted);
  bool trusted() const;
  // The user removes the program from the Accessibility list with −: no trust and no entry.
  void removeFromAccessibilityList();
  // AXIsProcessTrustedWithOptions, with or without kAXTrustedCheckOptionPrompt (11, 12).
  bool axIsProcessTrusted(bool prompt);
  // The system's Accessibility prompts shown so far (11).
  uint64_t accessibilityPrompts() const;
  // The frontmost application's bundle identifier; nullopt: no frontmost application;
  // "": an application without a bundle identifier. Moves the frontmost stamp (14).
  void setFrontmostApplication(std::optional<std::string_view> bundleIdentifier);
  // The Dock's kept items, in order (nullopt: a spacer); Finder comes first regardless (13).
  void setDockItems(std::vector<std::optional<std::string>> items);
  // The installed applications, by name, and which of them run (15, 16). A session starts with
  // a few of a Mac's own (Finder, Safari, Terminal, TextEdit running; Mail, Notes, Calendar,
  // Activity Monitor not), whatever the frontmost application is.
  void setApplications(std::vector<SessionApplication> applications);
  std::vector<SessionApplication> applications() const;
  // Whether secure event input is on (9).
  void setSecureInput(bool on);
  bool secureInput() const;
  // Makes eventSourceCreate / eventCreateKeyboardEvent give nothing, to reach failure paths.
  void refuseEventSources(bool refuse);
  void refuseKeyboardEvents(bool refuse);

  // The keyboard makes an event; it enters at the HID level like any hardware event.
  void keyboardEvent(EventType type, int64_t keyCode, EventFlags flags = 0, int64_t userData = 0);
  // The system disables every enabled tap and sends each the matching notification
  // (kEventTapDisabledByTimeout or kEventTapDisabledByUserInput); a timeout spares listen-only
  // taps (7).
  void disableTaps(EventType reason);
  // Waits until every event in flight has been decided by the taps and delivered.
  void settle();

  // --- Time and the main thread ------------------------------------------------------------
  Nanoseconds now() const;
  // Virtual clock: runs the main-queue work that falls due up to now + duration, in order, on
  // the calling thread (which plays the main thread), then sets the clock to now + duration.
  void advance(Nanoseconds duration);
  // Virtual clock: the time of the earliest main-queue work, and running it (at its time).
  std::optional<Nanoseconds> nextMainWorkDue() const;
  void runNextMainWork();
  // Virtual clock: moves the clock forward to t (never back) once everything in flight settled.
  void advanceClockTo(Nanoseconds t);
  // Virtual clock: called by usleep before the pause ends with the time it ends at, so that a
  // driver can handle what happens meanwhile on other threads (the main thread is busy).
  void setPauseHook(std::function<void(Nanoseconds wakeTime)> hook);
  // Real clock: main-queue work goes to this executor (the GUI's event loop) when one is set;
  // else it waits for runDueMainWork on the thread that plays the main thread.
  void setMainThreadExecutor(std::function<void(Nanoseconds delay, std::function<void()>)> exec);
  // Real clock: runs the main-queue work due now; waits up to `wait` for the first to fall due.
  size_t runDueMainWork(Nanoseconds wait = Nanoseconds(0));
  size_t pendingMainWork() const;

  // --- Tap threads -------------------------------------------------------------------------
  // Counts tap set-ups that finished: a run loop that began running with a tap's source, or a
  // tap creation that failed.
  uint64_t tapSetups() const;
  // Waits until tapSetups() reaches count (real time; returns false after the timeout).
  bool waitForTapSetups(uint64_t count, std::chrono::milliseconds timeout);
  // Waits until no run loop of this session is running.
  bool waitForRunLoopsToEnd(std::chrono::milliseconds timeout);
  size_t runningRunLoops() const;
  std::vector<TapInfo> taps() const;  // the valid taps, head first
  uint64_t tapsCreated() const;
  uint64_t portsInvalidated() const;
  // Taps the system disabled after holding an event until their timeout (8).
  uint64_t tapTimeouts() const;

  // --- What happened -----------------------------------------------------------------------
  std::vector<PostedEvent> posted() const;
  std::vector<ReceivedEvent> received() const;
  std::vector<OpenRequest> openRequests() const;
  uint64_t frontmostQueries() const;
  // Sources, events, ports, run loop sources and loops of all sessions not yet released.
  static uint64_t liveObjects();
  void clearRecords();
  // Hands over what the application received and the open requests since the last time (the
  // vectors' storage is swapped, not copied) and forgets the posted events.
  void takeRecords(std::vector<ReceivedEvent>& received, std::vector<OpenRequest>& opens);

 private:
  using Event = detail::Event;
  using Tap = detail::Tap;
  using Loop = detail::Loop;
  using LoopSource = detail::LoopSource;
  using Delivery = detail::Delivery;
  using Item = detail::Item;
  using MainWork = detail::MainWork;

  // KeyboardEventServices
  MachPortRef tapCreate(TapLocation location, TapPlacement placement, TapOptions options,
                        EventMask eventsOfInterest, EventTapCallback callback,
                        void* userInfo) override;
  void tapEnable(MachPortRef tap, bool enable) override;
  RunLoopSourceRef machPortCreateRunLoopSource(MachPortRef port) override;
  RunLoopRef runLoopGetCurrent() override;
  void runLoopAddSource(RunLoopRef loop, RunLoopSourceRef source) override;
  void runLoopRemoveSource(RunLoopRef loop, RunLoopSourceRef source) override;
  void runLoopRun() override;
  void runLoopStop(RunLoopRef loop) override;
  void machPortInvalidate(MachPortRef port) override;
  int64_t eventGetIntegerValueField(EventRef event, EventField field) override;
  EventFlags eventGetFlags(EventRef event) override;
  EventSourceRef eventSourceCreate(EventSourceState state) override;
  EventRef eventCreateKeyboardEvent(EventSourceRef source, KeyCode key, bool keyDown) override;
  void eventSetFlags(EventRef event, EventFlags flags) override;
  void eventSetIntegerValueField(EventRef event, EventField field, int64_t value) override;
  void eventPost(TapLocation location, EventRef event) override;
  EventFlags eventSourceFlagsState(EventSourceState state) override;
  void setCurrentThreadUserInteractive() override {}
  void retain(const void* ref) override;
  void release(const void* ref) override;
  // Workspace
  std::string_view frontmostBundleIdentifier() override;
  bool openApplication(std::string_view absolutePath) override;
  std::vector<std::string> dockApplications() override;
  bool openApplicationWithBundleIdentifier(std::string_view bundleIdentifier) override;
  // MainQueue
  void asyncAfter(Nanoseconds delay, Work work, void* context) override;
  // Pauser
  void usleep(uint32_t microseconds) override;
  Nanoseconds uptime() override { return now(); }

  Loop* loopOfCurrentThread();
  void enqueueLocked(Event* event, Tap* target);
  // Delivers the queued events on the calling thread, unless a delivery is under way already or
  // the caller is a tap callback (its posts are delivered once it has returned).
  void drainLocked(std::unique_lock<std::mutex>& lock);
  void dispatchLocked(const Item& item, std::unique_lock<std::mutex>& lock);
  void signalLoopLocked(Loop* loop);
  EventRef deliverLocked(Tap* tap, EventType type, EventRef event,
                         std::unique_lock<std::mutex>& lock);
  void detachSourceLocked(LoopSource* source);
  // Hands an event to a listen-only tap's loop without waiting for it (7).
  void offerLocked(Tap* tap, EventType type, Event* event);
  void completeLocked(Delivery* delivery, EventRef verdict);
  void passPendingLocked(Loop* loop, const Tap* tap);
  const std::string* internLocked(std::string_view text);
  bool popDueMainWork(Nanoseconds until, MainWork& out);

  const ClockMode clockMode_;
  const uint64_t serial_;
  const std::chrono::steady_clock::time_point realStart_;

  // Guarded by the graph mutex shared by every session (objects outlive sessions).
  std::condition_variable changed_;    // settled, a set-up, a loop's end, main work queued
  std::condition_variable delivered_;  // a tap gave its verdict
  std::unique_ptr<detail::ItemQueue> queue_;
  uint64_t inFlight_ = 0;
  uint64_t enqueuedCount_ = 0;
  uint64_t deliveredCount_ = 0;
  bool dispatching_ = false;
  bool shuttingDown_ = false;
  std::vector<Tap*> taps_;           // valid taps, head first (retained)
  std::vector<Loop*> runningLoops_;  // loops inside runLoopRun
  uint64_t tapSetups_ = 0;
  uint64_t tapsCreated_ = 0;
  uint64_t portsInvalidated_ = 0;
  uint64_t tapTimeouts_ = 0;

  std::atomic<bool> trusted_{true};
  std::atomic<bool> accessibilityRecord_{true};  // the list has an entry for the program (11)
  std::atomic<uint64_t> accessibilityPrompts_{0};
  std::atomic<int> axAnswer_{-1};  // AXIsProcessTrusted's first answer (12); -1: not asked yet
  std::atomic<bool> secureInput_{false};
  std::atomic<EventFlags> keyboardFlags_{0};  // (10)
  std::atomic<bool> refuseSources_{false};
  std::atomic<bool> refuseEvents_{false};
  std::atomic<const std::string*> frontmost_{nullptr};
  std::atomic<uint64_t> frontmostQueries_{0};
  std::vector<std::optional<std::string>> dockItems_;         // guarded by the graph mutex (13)
  std::vector<SessionApplication> applications_;              // guarded by the graph mutex
  std::vector<std::unique_ptr<const std::string>> interned_;  // never shrinks

  std::atomic<int64_t> virtualNow_{0};
  std::vector<MainWork> mainWork_;  // a heap, earliest first
  std::vector<Tap*> dispatchTaps_;  // the taps the event being delivered goes through
  uint64_t mainWorkSeq_ = 0;
  std::function<void(Nanoseconds)> pauseHook_;
  std::function<void(Nanoseconds, std::function<void()>)> mainExecutor_;

  std::vector<PostedEvent> posted_;
  std::vector<ReceivedEvent> received_;
  std::vector<std::pair<const std::string*, std::pair<Nanoseconds, std::thread::id>>> opens_;
};

}  // namespace corvane::sim
