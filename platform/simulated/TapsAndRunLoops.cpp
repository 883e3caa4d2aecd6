// Taps, their run loop sources and the run loops that service them on their threads.
#include <algorithm>

#include "platform/simulated/SessionObjects.h"
#include "platform/simulated/SimulatedSession.h"

namespace corvane::sim {

using detail::as;
using detail::gLiveObjects;
using detail::graphMutex;
using detail::Object;
using detail::refOf;
using detail::releaseLocked;
using detail::retainObject;
using detail::spinUntil;
using detail::tInCallback;

namespace {

// Each thread has one run loop per session, made when first asked for.
struct ThreadLoops {
  std::vector<detail::Loop*> loops;
  ~ThreadLoops() {
    std::lock_guard lock(graphMutex());
    for (detail::Loop* loop : loops) releaseLocked(loop);
  }
};
thread_local ThreadLoops tThreadLoops;

}  // namespace

MachPortRef SimulatedSession::tapCreate(TapLocation location, TapPlacement placement,
                                        TapOptions options, EventMask eventsOfInterest,
                                        EventTapCallback callback, void* userInfo) {
  std::lock_guard lock(graphMutex());
  if (!trusted_.load() || callback == nullptr) {  // (5)
    if (callback != nullptr && !accessibilityRecord_.exchange(true)) ++accessibilityPrompts_;  // (11)
    ++tapSetups_;
    changed_.notify_all();
    return nullptr;
  }
  Tap* tap = new Tap;
  gLiveObjects.fetch_add(1, std::memory_order_relaxed);
  tap->location = location;
  tap->placement = placement;
  tap->options = options;
  tap->mask = eventsOfInterest;
  tap->callback = callback;
  tap->userInfo = userInfo;
  retainObject(tap);  // the session's list holds one reference, the caller the other
  // Before the taps of its location or after them (6).
  const auto place =
      placement == kHeadInsertEventTap
          ? std::find_if(taps_.begin(), taps_.end(),
                         [location](const Tap* t) { return t->location >= location; })
          : std::find_if(taps_.begin(), taps_.end(),
                         [location](const Tap* t) { return t->location > location; });
  taps_.insert(place, tap);
  ++tapsCreated_;
  return refOf<MachPortRef>(tap);
}

void SimulatedSession::tapEnable(MachPortRef port, bool enable) {
  std::lock_guard lock(graphMutex());
  Tap* tap = as<Tap>(port);
  if (tap->valid) tap->enabled = enable;
}

RunLoopSourceRef SimulatedSession::machPortCreateRunLoopSource(MachPortRef port) {
  std::lock_guard lock(graphMutex());
  Tap* tap = as<Tap>(port);
  auto* source = new LoopSource;
  gLiveObjects.fetch_add(1, std::memory_order_relaxed);
  retainObject(tap);
  source->tap = tap;
  tap->source = source;
  return refOf<RunLoopSourceRef>(source);
}

SimulatedSession::Loop* SimulatedSession::loopOfCurrentThread() {
  for (Loop* loop : tThreadLoops.loops) {
    if (loop->session == serial_) return loop;
  }
  std::lock_guard lock(graphMutex());
  auto* loop = new Loop;
  gLiveObjects.fetch_add(1, std::memory_order_relaxed);
  loop->session = serial_;
  tThreadLoops.loops.push_back(loop);
  return loop;
}

RunLoopRef SimulatedSession::runLoopGetCurrent() {
  return refOf<RunLoopRef>(loopOfCurrentThread());
}

void SimulatedSession::runLoopAddSource(RunLoopRef loopRef, RunLoopSourceRef sourceRef) {
  std::lock_guard lock(graphMutex());
  Loop* loop = as<Loop>(loopRef);
  LoopSource* source = as<LoopSource>(sourceRef);
  // The source of an invalidated port is invalid itself and is not added (1); a source lives
  // in one loop here.
  if (!source->tap->valid || source->loop != nullptr) return;
  retainObject(source);
  loop->sources.push_back(source);
  source->loop = loop;
  signalLoopLocked(loop);
}

void SimulatedSession::detachSourceLocked(LoopSource* source) {
  Loop* loop = source->loop;
  if (loop == nullptr) return;
  std::erase(loop->sources, source);
  source->loop = nullptr;
  passPendingLocked(loop, source->tap);
  // The loop is not woken (2): a loop left without sources notices only at its next wake-up.
  releaseLocked(source);
}

void SimulatedSession::runLoopRemoveSource(RunLoopRef loopRef, RunLoopSourceRef sourceRef) {
  std::lock_guard lock(graphMutex());
  LoopSource* source = as<LoopSource>(sourceRef);
  if (source->loop == as<Loop>(loopRef)) detachSourceLocked(source);
}

void SimulatedSession::runLoopRun() {
  Loop* loop = loopOfCurrentThread();
  std::unique_lock lock(graphMutex());
  // A loop without sources returns at once (3). Each run starts unstopped (4): a stop made
  // while the loop was not running is gone.
  if (loop->sources.empty() || shuttingDown_) return;
  loop->stopped = false;
  loop->running = true;
  runningLoops_.push_back(loop);
  ++tapSetups_;
  changed_.notify_all();
  for (;;) {
    if (loop->stopped) {
      loop->stopped = false;
      break;
    }
    if (loop->sources.empty()) break;
    if (loop->pending.empty()) {
      const uint64_t seen = loop->signals.load(std::memory_order_relaxed);
      lock.unlock();
      spinUntil([loop, seen] { return loop->signals.load(std::memory_order_acquire) != seen; });
      lock.lock();
      loop->sleeping = true;
      loop->wake.wait(lock, [loop, seen] { return loop->signals.load() != seen; });
      loop->sleeping = false;
      continue;
    }
    Delivery* delivery = loop->pending.front();
    loop->pending.erase(loop->pending.begin());
    Tap* tap = delivery->tap;
    lock.unlock();
    tInCallback = true;
    const EventRef verdict = tap->callback(reinterpret_cast<TapProxy>(tap), delivery->type,
                                           delivery->event, tap->userInfo);
    tInCallback = false;
    lock.lock();
    completeLocked(delivery, verdict);
  }
  loop->running = false;
  std::erase(runningLoops_, loop);
  passPendingLocked(loop, nullptr);
  changed_.notify_all();  // waitForRunLoopsToEnd, and the session's destructor
}

void SimulatedSession::runLoopStop(RunLoopRef loopRef) {
  std::lock_guard lock(graphMutex());
  Loop* loop = as<Loop>(loopRef);
  if (!loop->running) return;  // (4)
  loop->stopped = true;
  signalLoopLocked(loop);
}

void SimulatedSession::machPortInvalidate(MachPortRef port) {
  std::lock_guard lock(graphMutex());
  Tap* tap = as<Tap>(port);
  if (!tap->valid) return;
  tap->valid = false;
  tap->enabled = false;
  ++portsInvalidated_;
  // An invalidated port's source is invalidated too and leaves its run loop (1).
  if (tap->source != nullptr) detachSourceLocked(tap->source);
  auto it = std::find(taps_.begin(), taps_.end(), tap);
  if (it != taps_.end()) {
    taps_.erase(it);
    releaseLocked(tap);
  }
  changed_.notify_all();
}

// ---------------------------------------------------------------------------------------------
// What the tap threads did

uint64_t SimulatedSession::tapSetups() const {
  std::lock_guard lock(graphMutex());
  return tapSetups_;
}

bool SimulatedSession::waitForTapSetups(uint64_t count, std::chrono::milliseconds timeout) {
  std::unique_lock lock(graphMutex());
  return changed_.wait_for(lock, timeout, [&] { return tapSetups_ >= count; });
}

bool SimulatedSession::waitForRunLoopsToEnd(std::chrono::milliseconds timeout) {
  std::unique_lock lock(graphMutex());
  return changed_.wait_for(lock, timeout, [&] { return runningLoops_.empty(); });
}

size_t SimulatedSession::runningRunLoops() const {
  std::lock_guard lock(graphMutex());
  return runningLoops_.size();
}

std::vector<TapInfo> SimulatedSession::taps() const {
  std::lock_guard lock(graphMutex());
  std::vector<TapInfo> infos;
  for (const Tap* tap : taps_) {
    infos.push_back({tap->location, tap->placement, tap->options, tap->mask, tap->enabled,
                     tap->source != nullptr && tap->source->loop != nullptr});
  }
  return infos;
}

uint64_t SimulatedSession::tapsCreated() const {
  std::lock_guard lock(graphMutex());
  return tapsCreated_;
}

uint64_t SimulatedSession::portsInvalidated() const {
  std::lock_guard lock(graphMutex());
  return portsInvalidated_;
}

uint64_t SimulatedSession::tapTimeouts() const {
  std::lock_guard lock(graphMutex());
  return tapTimeouts_;
}

}  // namespace corvane::sim
