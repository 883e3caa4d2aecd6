// The replay's clock and threads.
//
// The session runs on a virtual clock that moves only when the replay moves it. The thread that
// calls run() plays the main thread: it handles the trace's set and do records and runs the
// engine's main-queue work, one step at a time, each in the order in which it fell due (at the
// same instant the trace's records come first). The taps run on their own threads as they would
// on a Mac; a keyboard record is made at its time and the replay waits until every tap has
// decided it before the clock moves on. While the main thread pauses inside the reopen-tab
// sequence, the pause hook handles the records that fall inside the pause at their own time;
// set and do records that fall there wait until the main thread is free.
#include "tools/corvane-replay/Replayer.h"

#include <charconv>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "engine/KeyboardShortcutManager.h"
#include "platform/simulated/SimulatedSession.h"
#include "rules/KeyWords.h"
#include "rules/RuleCompiler.h"

namespace corvane::replay {
namespace {

using namespace std::chrono_literals;
using sim::Nanoseconds;
using sim::SimulatedSession;

// Real time that a tap thread may take to set up before the replay gives up: only a broken
// build comes near it.
constexpr std::chrono::milliseconds kSetUpTimeout = 60s;
constexpr size_t kFlushSize = 1 << 16;

// The session as the engine's platform, with a main queue that counts what is put on it, so the
// replay can wait for the hand-back of a failed tap creation before the clock moves on.
class ReplayPlatform final : public Platform, private MainQueue {
 public:
  explicit ReplayPlatform(std::shared_ptr<SimulatedSession> session)
      : session_(std::move(session)) {}

  KeyboardEventServices& events() override { return session_->events(); }
  Workspace& workspace() override { return session_->workspace(); }
  MainQueue& mainQueue() override { return *this; }
  Pauser& pauser() override { return session_->pauser(); }

  uint64_t scheduled() const {
    std::lock_guard lock(mutex_);
    return scheduled_;
  }
  bool waitForScheduled(uint64_t count) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, kSetUpTimeout, [&] { return scheduled_ >= count; });
  }

 private:
  void asyncAfter(std::chrono::nanoseconds delay, Work work, void* context) override {
    session_->mainQueue().asyncAfter(delay, work, context);
    std::lock_guard lock(mutex_);
    ++scheduled_;
    changed_.notify_all();
  }

  std::shared_ptr<SimulatedSession> session_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  uint64_t scheduled_ = 0;
};

void appendInteger(std::string& out, auto value) {
  char buffer[24];
  const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
  out.append(buffer, end);
  (void)ec;
}

std::string_view keyName(EventType type) {
  switch (type) {
    case kEventKeyDown:
      return "down";
    case kEventKeyUp:
      return "up";
    case kEventFlagsChanged:
      return "flags";
    default:
      return {};
  }
}

}  // namespace

class Replayer::Impl {
 public:
  explicit Impl(OutputSink& out)
      : out_(out),
        session_(std::make_shared<SimulatedSession>(sim::ClockMode::Virtual)),
        platform_(std::make_shared<ReplayPlatform>(session_)),
        manager_(std::make_shared<KeyboardShortcutManager>(platform_)) {
    // The will-change signal comes before the store: an assignment is complete at the next
    // signal or at the end of the main-thread step that made it, and is written then.
    willChange_ = manager_->objectWillChange.subscribe([this] { assignmentStarts(); });
    session_->setPauseHook([this](Nanoseconds wake) { duringPause(wake); });
  }

  ~Impl() {
    try {
      tearDown();
    } catch (...) {  // NOLINT(bugprone-empty-catch): nothing more can be done on the way out
    }
  }

  // The rules file the program loads at launch, before the engine starts.
  void useRules(const RulesFile& rules) {
    settingSwap_ = true;
    applyRules(std::make_shared<const RulesFile>(rules));
    settingSwap_ = false;
  }

  void explain() {
    explain_ = true;
    manager_->openKeyViewer();
  }

  TraceReader::Status run(TraceReader& reader) {
    reader_ = &reader;
    // The program calls start at launch, before the first record.
    mainStep([this] { startManager(); });
    for (;;) {
      const TraceRecord* next = peek();
      if (stopped_) break;
      const std::optional<Nanoseconds> engineDue = session_->nextMainWorkDue();
      // The earliest of the trace's items: a set/do record still waiting for the main thread
      // (it fell due during a pause), else the next record.
      const TraceRecord* traceItem = !waiting_.empty() ? &waiting_.front() : next;
      if (traceItem == nullptr && !engineDue) break;
      if (engineDue && (traceItem == nullptr || *engineDue < traceItem->at)) {
        mainStep([this] { session_->runNextMainWork(); });
      } else if (traceItem != next) {
        const TraceRecord record = std::move(waiting_.front());
        waiting_.pop_front();
        mainStep([this, &record] { handleMainRecord(record); });
      } else {
        const TraceRecord record = take();
        session_->advanceClockTo(record.at);
        if (record.onMainThread()) {
          mainStep([this, &record] { handleMainRecord(record); });
        } else {
          handleSessionRecord(record);
        }
      }
    }
    collect();
    flush();
    return status_;
  }

  ReplayCounts counts() const { return counts_; }

 private:
  // --- The trace ---------------------------------------------------------------------------

  // The next record, read when first needed; nullptr at the end or after a bad line.
  const TraceRecord* peek() {
    if (!ahead_ && !stopped_ && !inputEnded_) {
      const TraceReader::Status status = reader_->next(aheadRecord_);
      if (status == TraceReader::Status::record) {
        ahead_ = true;
      } else if (status == TraceReader::Status::end) {
        inputEnded_ = true;  // not asked again: a terminal would wait for more
      } else {
        // The run ends here: what happened so far is written, nothing after it.
        collect();
        status_ = status;
        stopped_ = true;
      }
    }
    return ahead_ ? &aheadRecord_ : nullptr;
  }

  TraceRecord take() {
    ahead_ = false;
    ++counts_.records;
    return std::move(aheadRecord_);
  }

  // Records that act on the session at their own time, whatever the main thread is doing.
  void handleSessionRecord(const TraceRecord& record) {
    switch (record.kind) {
      case RecordKind::key:
        session_->keyboardEvent(record.type, record.code, record.flags, record.userData);
        if (explain_ && record.type == kEventKeyDown && record.userData != kEventMarker) {
          explainKeyDown(record);
        }
        break;
      case RecordKind::frontmost:
        frontmost_ = record.frontmost ? std::string(*record.frontmost) : std::string();
        if (record.frontmost) {
          session_->setFrontmostApplication(std::string_view(*record.frontmost));
        } else {
          session_->setFrontmostApplication(std::nullopt);
        }
        break;
      case RecordKind::trusted:
        session_->setTrusted(record.value);
        break;
      case RecordKind::system:
        session_->disableTaps(record.reason);
        break;
      case RecordKind::secureInput:
        session_->setSecureInput(record.value);
        break;
      case RecordKind::dock:
        session_->setDockItems(record.dock);
        break;
      default:
        break;
    }
    collect();
  }

  // Records that run on the main thread.
  void handleMainRecord(const TraceRecord& record) {
    switch (record.kind) {
      case RecordKind::set: {
        settingSwap_ = true;  // its will-change signal is not an isEnabled assignment
        PublishedBool& setting = record.setting == Setting::swapFnAndControl
                                     ? manager_->swapFnAndControl
                                     : manager_->swapOptionAndCommand;
        setting = record.value;
        settingSwap_ = false;
        break;
      }
      case RecordKind::rules:
        settingSwap_ = true;  // their will-change signals are not isEnabled assignments
        applyRules(record.rules);
        settingSwap_ = false;
        break;
      case RecordKind::start:
        startManager();
        break;
      case RecordKind::stop:
        manager_->stop();
        break;
      case RecordKind::record:
        manager_->startRecording();
        break;
      case RecordKind::stopRecording:
        manager_->stopRecording();
        break;
      default:
        break;
    }
  }

  // New rules, or none, with the settings they carry.
  void applyRules(const std::shared_ptr<const RulesFile>& rules) {
    if (!rules) {
      manager_->clearRules();
      return;
    }
    setRules(*manager_, *rules);
    if (rules->swapFnAndControl) manager_->swapFnAndControl = *rules->swapFnAndControl;
    if (rules->swapOptionAndCommand) manager_->swapOptionAndCommand = *rules->swapOptionAndCommand;
  }

  // --- The main thread ---------------------------------------------------------------------

  template <class Step>
  void mainStep(Step&& step) {
    step();
    assignmentComplete();
    collect();
  }

  // start, and its tap thread's set-up, which takes no virtual time: the tap exists when start
  // returns, or its creation failed and the hand-back to the main thread is queued.
  void startManager() {
    if (manager_->eventTap) {
      manager_->start();  // does nothing while a tap exists: nothing to wait for
      return;
    }
    const uint64_t setUps = session_->tapSetups();
    const uint64_t created = session_->tapsCreated();
    const uint64_t scheduled = platform_->scheduled();
    manager_->start();
    if (!session_->waitForTapSetups(setUps + 1, kSetUpTimeout)) {
      throw ReplayFailure("the tap thread did not finish setting up its tap");
    }
    if (session_->tapsCreated() == created && !platform_->waitForScheduled(scheduled + 1)) {
      throw ReplayFailure("the tap thread did not hand its failed tap creation back");
    }
  }

  // The reopen-tab sequence pauses the main thread until `wake`: the records due by then that
  // do not need the main thread are handled at their own time; set and do records wait.
  void duringPause(Nanoseconds wake) {
    if (stopped_ || tearingDown_) return;
    collect();
    for (;;) {
      const TraceRecord* next = peek();
      if (next == nullptr || next->at > wake) return;
      TraceRecord record = take();
      if (record.onMainThread()) {
        waiting_.push_back(std::move(record));
        continue;
      }
      session_->advanceClockTo(record.at);
      handleSessionRecord(record);
    }
  }

  // --- Output ------------------------------------------------------------------------------

  void assignmentStarts() {
    if (settingSwap_ || tearingDown_) return;
    assignmentComplete();
    pendingAssignment_ = session_->now();
  }

  void assignmentComplete() {
    if (!pendingAssignment_) return;
    const Nanoseconds at = *pendingAssignment_;
    pendingAssignment_.reset();
    if (stopped_) return;
    beginLine(at);
    line_ += manager_->isEnabled ? "\"isEnabled\":true}\n" : "\"isEnabled\":false}\n";
  }

  // Takes what the session recorded since the last time, once every event in flight is decided.
  void collect() {
    if (stopped_) return;
    session_->settle();
    session_->takeRecords(received_, opens_);
    for (const sim::OpenRequest& open : opens_) {
      beginLine(open.time);
      line_ += "\"open\":";
      line_ +=
          nlohmann::json(open.path).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
      line_ += "}\n";
    }
    for (const sim::ReceivedEvent& event : received_) {
      beginLine(event.time);
      line_ += "\"app\":{\"key\":";
      const std::string_view name = keyName(event.type);
      if (name.empty()) {
        appendInteger(line_, event.type);
      } else {
        line_ += '"';
        line_ += name;
        line_ += '"';
      }
      line_ += ",\"code\":";
      appendInteger(line_, event.keyCode);
      line_ += ",\"flags\":";
      appendInteger(line_, event.flags);
      line_ += ",\"userData\":";
      appendInteger(line_, event.userData);
      line_ += "}}\n";
    }
  }

  // The decision of the key-down just made, once every tap has decided it: the viewer's record,
  // or none when no tap decided it.
  void explainKeyDown(const TraceRecord& record) {
    if (stopped_) return;
    session_->settle();
    nlohmann::ordered_json words = nlohmann::ordered_json::object();
    words["code"] = record.code;
    manager_->drainKeyViewer([&](const KeyRecord& decided) {
      words["keys"] = macKeysWords(decided.keyCode, decided.flags);
      words["reads"] = windowsKeysWords(decided.keyCode, decided.flags, decided.swapFnAndControl,
                                        decided.swapOptionAndCommand);
      std::vector<std::string> dock;
      if (dockPositionOf(decided.outcome, manager_->rules()) != 0) {
        dock = session_->workspace().dockApplications();
      }
      words["outcome"] = outcomeWords(decided.outcome, manager_->rules(), frontmost_, &dock);
    });
    if (!words.contains("outcome")) {
      words["keys"] = macKeysWords(record.code, record.flags);
      words["reads"] = windowsKeysWords(record.code, record.flags, manager_->swapFnAndControl.get(),
                                        manager_->swapOptionAndCommand.get());
      words["outcome"] = outcomeWords({OutcomeCode::tapStopped, kNoRuleIndex}, nullptr, "");
    }
    beginLine(session_->now());
    line_ += "\"explain\":";
    line_ += words.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    line_ += "}\n";
  }

  void beginLine(Nanoseconds at) {
    if (line_.size() >= kFlushSize) flush();
    ++counts_.lines;
    line_ += "{\"at\":";
    appendMilliseconds(line_, at);
    line_ += ',';
  }

  void flush() {
    if (line_.empty()) return;
    out_.write(line_);
    line_.clear();
  }

  // --- The end -----------------------------------------------------------------------------

  // Leaves nothing behind: the work still queued for the main thread runs (unrecorded, it holds
  // the manager), the tap is stopped, and the tap thread lets go of the manager before the
  // manager and the session go.
  void tearDown() {
    flush();
    stopped_ = true;
    tearingDown_ = true;
    manager_->objectWillChange.unsubscribe(willChange_);
    while (session_->nextMainWorkDue()) session_->runNextMainWork();
    manager_->stop();
    session_->waitForRunLoopsToEnd(kSetUpTimeout);
    const auto deadline = std::chrono::steady_clock::now() + kSetUpTimeout;
    while (manager_.use_count() > 1 && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(50us);
    }
    session_->setPauseHook(nullptr);
    manager_.reset();
    platform_.reset();
    session_.reset();
  }

  OutputSink& out_;
  std::shared_ptr<SimulatedSession> session_;
  std::shared_ptr<ReplayPlatform> platform_;
  std::shared_ptr<KeyboardShortcutManager> manager_;
  ChangeNotifier::Token willChange_ = 0;

  TraceReader* reader_ = nullptr;
  TraceRecord aheadRecord_;
  bool ahead_ = false;
  bool inputEnded_ = false;
  TraceReader::Status status_ = TraceReader::Status::end;
  bool stopped_ = false;  // a bad line ended the run: nothing more is read or written
  bool tearingDown_ = false;
  std::deque<TraceRecord> waiting_;  // set/do records that fell due while the main thread was busy

  bool settingSwap_ = false;
  bool explain_ = false;
  std::string frontmost_;  // the bundle identifier in front, for the explanation of an exclusion
  std::optional<Nanoseconds> pendingAssignment_;

  std::vector<sim::OpenRequest> opens_;
  std::vector<sim::ReceivedEvent> received_;
  std::string line_;
  ReplayCounts counts_;
};

Replayer::Replayer(OutputSink& out) : impl_(std::make_unique<Impl>(out)) {}
Replayer::~Replayer() = default;
void Replayer::useRules(const RulesFile& rules) {
  impl_->useRules(rules);
}
void Replayer::explain() {
  impl_->explain();
}
TraceReader::Status Replayer::run(TraceReader& reader) {
  return impl_->run(reader);
}
ReplayCounts Replayer::counts() const {
  return impl_->counts();
}

}  // namespace corvane::replay
