// The session's life and the records of what happened in it.
#include "platform/simulated/SimulatedSession.h"

#include <atomic>

#include "platform/simulated/SessionObjects.h"

namespace corvane::sim {

using detail::as;
using detail::gLiveObjects;
using detail::graphMutex;
using detail::Object;
using detail::refOf;
using detail::releaseLocked;
using detail::retainObject;

namespace {
std::atomic<uint64_t> gNextSerial{1};
}  // namespace

SimulatedSession::SimulatedSession(ClockMode clock)
    : clockMode_(clock),
      serial_(gNextSerial.fetch_add(1)),
      realStart_(std::chrono::steady_clock::now()),
      queue_(std::make_unique<detail::ItemQueue>()) {
  mainWork_.reserve(64);
  posted_.reserve(4096);
  received_.reserve(4096);
  dispatchTaps_.reserve(16);
  // A few of a Mac's own applications, where a fresh macOS installs them (15, 16).
  applications_ = {
      {"com.apple.ActivityMonitor", "Activity Monitor",
       "/System/Applications/Utilities/Activity Monitor.app", false},
      {"com.apple.iCal", "Calendar", "/System/Applications/Calendar.app", false},
      {"com.apple.finder", "Finder", "/System/Library/CoreServices/Finder.app", true},
      {"com.apple.mail", "Mail", "/System/Applications/Mail.app", false},
      {"com.apple.Notes", "Notes", "/System/Applications/Notes.app", false},
      {"com.apple.Safari", "Safari", "/Applications/Safari.app", true},
      {"com.apple.Terminal", "Terminal", "/System/Applications/Utilities/Terminal.app", true},
      {"com.apple.TextEdit", "TextEdit", "/System/Applications/TextEdit.app", true},
  };
}

SimulatedSession::~SimulatedSession() {
  {
    std::unique_lock lock(graphMutex());
    // Loops still running (a tap left installed) are stopped, so their threads can leave.
    for (Loop* loop : runningLoops_) {
      loop->stopped = true;
      signalLoopLocked(loop);
    }
    changed_.wait(lock, [this] { return runningLoops_.empty(); });
    shuttingDown_ = true;
  }
  std::lock_guard lock(graphMutex());
  while (!queue_->empty()) {
    Item item = queue_->pop();
    releaseLocked(item.event);
    releaseLocked(item.target);
  }
  for (Tap* tap : taps_) {
    tap->valid = false;
    releaseLocked(tap);
  }
  taps_.clear();
}

uint64_t SimulatedSession::liveObjects() {
  return gLiveObjects.load();
}

// ---------------------------------------------------------------------------------------------
// Records

void SimulatedSession::clearRecords() {
  std::lock_guard lock(graphMutex());
  posted_.clear();
  received_.clear();
  opens_.clear();
  frontmostQueries_.store(0);
}

void SimulatedSession::takeRecords(std::vector<ReceivedEvent>& received,
                                   std::vector<OpenRequest>& opens) {
  received.clear();
  opens.clear();
  std::lock_guard lock(graphMutex());
  received.swap(received_);
  for (const auto& [path, when] : opens_) opens.push_back({*path, when.first, when.second});
  opens_.clear();
  posted_.clear();
}

}  // namespace corvane::sim
