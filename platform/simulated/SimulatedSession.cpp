#include "platform/simulated/SimulatedSession.h"

#include <algorithm>
#include <atomic>

namespace corvane::sim {
namespace {

// One lock for the object graph of every session: objects are reference counted and may be
// released on any thread, also after the session that made them is gone.
std::mutex& graphMutex() {
  static auto* mutex = new std::mutex;
  return *mutex;
}

std::atomic<uint64_t> gLiveObjects{0};
std::atomic<uint64_t> gNextSerial{1};

constexpr uint64_t typeBit(EventType type) {
  return type < 64 ? uint64_t{1} << type : 0;
}

// Set while the thread runs a tap callback: its posts are only queued.
thread_local bool tInCallback = false;

void cpuRelax() {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_ia32_pause();
#elif defined(__aarch64__)
  asm volatile("yield");
#endif
}

// Waits a little for another thread without sleeping: a hand-over between two running threads
// then costs no context switch. Gives up after 50 microseconds.
template <class Ready>
bool spinUntil(Ready ready) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::microseconds(50);
  for (unsigned i = 1;; ++i) {
    if (ready()) return true;
    if ((i & 63) == 0 && std::chrono::steady_clock::now() > deadline) return false;
    cpuRelax();
  }
}

}  // namespace

namespace detail {

struct Object {
  enum class Kind : uint8_t { event, source, tap, loopSource, loop };
  explicit Object(Kind k) : kind(k) {}
  virtual ~Object() = default;
  std::atomic<int32_t> refs{1};
  const Kind kind;
};

struct Event : Object {
  Event() : Object(Kind::event) {}
  EventType type = kEventKeyDown;
  int64_t keyCode = 0;
  int64_t userData = 0;
  EventFlags flags = 0;
  std::optional<EventSourceState> sourceState;
  void reset() {
    refs.store(1, std::memory_order_relaxed);
    type = kEventKeyDown;
    keyCode = userData = 0;
    flags = 0;
    sourceState.reset();
  }
};

struct Source : Object {
  Source() : Object(Kind::source) {}
  EventSourceState state = 0;
  void reset() {
    refs.store(1, std::memory_order_relaxed);
    state = 0;
  }
};

struct Tap : Object {
  Tap() : Object(Kind::tap) {}
  ~Tap() override;
  TapLocation location = 0;
  TapPlacement placement = 0;
  TapOptions options = 0;
  EventMask mask = 0;
  EventTapCallback callback = nullptr;
  void* userInfo = nullptr;
  bool enabled = true;  // taps are made enabled
  bool valid = true;
  LoopSource* source = nullptr;  // the run loop source made from it, not owned
};

struct Delivery {
  Delivery(Tap* t, EventType ty, EventRef e) : tap(t), type(ty), event(e), verdict(e) {}
  Tap* tap;
  EventType type;
  EventRef event;
  EventRef verdict;
  std::atomic<bool> done{false};
  bool waiterSleeping = false;
};

struct Loop : Object {
  Loop() : Object(Kind::loop) {}
  ~Loop() override;
  uint64_t session = 0;
  std::condition_variable wake;
  std::atomic<uint64_t> signals{0};  // bumped by everything the loop must look at
  bool sleeping = false;
  bool stopped = false;
  bool running = false;
  std::vector<LoopSource*> sources;  // owned
  std::vector<Delivery*> pending;
};

struct LoopSource : Object {
  LoopSource() : Object(Kind::loopSource) {}
  ~LoopSource() override;
  Tap* tap = nullptr;    // owned
  Loop* loop = nullptr;  // the loop it is in, if any (the loop owns the source)
};

struct Item {
  Event* event;  // owned
  Tap* target;   // owned; a notification for this one tap, else nullptr
};

// A ring buffer of queued items that only allocates when it grows.
class ItemQueue {
 public:
  ItemQueue() : items_(1024) {}
  bool empty() const { return size_ == 0; }
  void push(Item item) {
    if (size_ == items_.size()) {
      std::vector<Item> bigger(items_.size() * 2);
      for (size_t i = 0; i < size_; ++i) bigger[i] = items_[(head_ + i) % items_.size()];
      items_ = std::move(bigger);
      head_ = 0;
    }
    items_[(head_ + size_) % items_.size()] = item;
    ++size_;
  }
  Item pop() {
    Item item = items_[head_];
    head_ = (head_ + 1) % items_.size();
    --size_;
    return item;
  }

 private:
  std::vector<Item> items_;
  size_t head_ = 0;
  size_t size_ = 0;
};

namespace {

// Released events and sources are kept for reuse, so a steady stream of keystrokes does not
// allocate. Guarded by the graph mutex.
// Filled up front, so that events made while many are still in flight do not allocate either.
constexpr size_t kPoolSize = 2048;

template <class T>
std::vector<T*>& freeList() {
  static auto* list = [] {
    auto* v = new std::vector<T*>;
    v->reserve(2 * kPoolSize);
    for (size_t i = 0; i < kPoolSize; ++i) v->push_back(new T);
    return v;
  }();
  return *list;
}

template <class T>
T* makeLocked() {
  auto& list = freeList<T>();
  T* object;
  if (list.empty()) {
    object = new T;
  } else {
    object = list.back();
    list.pop_back();
    object->reset();
  }
  gLiveObjects.fetch_add(1, std::memory_order_relaxed);
  return object;
}

template <class T>
T* make() {
  std::lock_guard lock(graphMutex());
  return makeLocked<T>();
}

template <class T>
void recycleLocked(T* object) {
  auto& list = freeList<T>();
  if (list.size() < 2 * kPoolSize) {
    list.push_back(object);
  } else {
    delete object;
  }
}

}  // namespace

// Drops one reference; the graph mutex is held.
void releaseLocked(Object* object) {
  if (object == nullptr) return;
  if (object->refs.fetch_sub(1, std::memory_order_acq_rel) != 1) return;
  gLiveObjects.fetch_sub(1, std::memory_order_relaxed);
  switch (object->kind) {
    case Object::Kind::event:
      recycleLocked(static_cast<Event*>(object));
      return;
    case Object::Kind::source:
      recycleLocked(static_cast<Source*>(object));
      return;
    default:
      delete object;
      return;
  }
}

void retainObject(Object* object) {
  object->refs.fetch_add(1, std::memory_order_relaxed);
}

Tap::~Tap() = default;

LoopSource::~LoopSource() {
  if (tap != nullptr && tap->source == this) tap->source = nullptr;
  releaseLocked(tap);
}

Loop::~Loop() {
  for (LoopSource* source : sources) {
    source->loop = nullptr;
    releaseLocked(source);
  }
}

}  // namespace detail

using detail::Object;
using detail::releaseLocked;
using detail::retainObject;

namespace {

template <class T, class Ref>
T* as(Ref ref) {
  return static_cast<T*>(reinterpret_cast<Object*>(ref));
}
template <class Ref>
Ref refOf(Object* object) {
  return reinterpret_cast<Ref>(object);
}

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

// ---------------------------------------------------------------------------------------------
// Life

SimulatedSession::SimulatedSession(ClockMode clock)
    : clockMode_(clock),
      serial_(gNextSerial.fetch_add(1)),
      realStart_(std::chrono::steady_clock::now()),
      queue_(std::make_unique<detail::ItemQueue>()) {
  mainWork_.reserve(64);
  posted_.reserve(4096);
  received_.reserve(4096);
  dispatchTaps_.reserve(16);
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
// The world

void SimulatedSession::setTrusted(bool trusted) {
  trusted_.store(trusted);
}
bool SimulatedSession::trusted() const {
  return trusted_.load();
}

const std::string* SimulatedSession::internLocked(std::string_view text) {
  for (const auto& known : interned_) {
    if (*known == text) return known.get();
  }
  interned_.push_back(std::make_unique<const std::string>(text));
  return interned_.back().get();
}

void SimulatedSession::setFrontmostApplication(std::optional<std::string_view> bundleIdentifier) {
  std::lock_guard lock(graphMutex());
  frontmost_.store(bundleIdentifier ? internLocked(*bundleIdentifier) : nullptr,
                   std::memory_order_release);
}

void SimulatedSession::refuseEventSources(bool refuse) {
  refuseSources_.store(refuse);
}
void SimulatedSession::refuseKeyboardEvents(bool refuse) {
  refuseEvents_.store(refuse);
}

std::string_view SimulatedSession::frontmostBundleIdentifier() {
  frontmostQueries_.fetch_add(1, std::memory_order_relaxed);
  const std::string* identifier = frontmost_.load(std::memory_order_acquire);
  return identifier != nullptr ? std::string_view(*identifier) : std::string_view();
}

bool SimulatedSession::openApplication(std::string_view absolutePath) {
  std::lock_guard lock(graphMutex());
  opens_.push_back({internLocked(absolutePath), {now(), std::this_thread::get_id()}});
  return true;
}

void SimulatedSession::keyboardEvent(EventType type, int64_t keyCode, EventFlags flags,
                                     int64_t userData) {
  std::unique_lock lock(graphMutex());
  Event* event = detail::makeLocked<Event>();
  event->type = type;
  event->keyCode = keyCode;
  event->flags = flags;
  event->userData = userData;
  enqueueLocked(event, nullptr);
  drainLocked(lock);
}

void SimulatedSession::disableTaps(EventType reason) {
  std::unique_lock lock(graphMutex());
  for (Tap* tap : taps_) {
    if (!tap->enabled) continue;
    tap->enabled = false;
    Event* notification = detail::makeLocked<Event>();
    notification->type = reason;
    retainObject(tap);
    enqueueLocked(notification, tap);
  }
  drainLocked(lock);
}

void SimulatedSession::settle() {
  std::unique_lock lock(graphMutex());
  drainLocked(lock);
  changed_.wait(lock, [this] { return inFlight_ == 0; });
}

// ---------------------------------------------------------------------------------------------
// Delivery: one event at a time through the enabled taps, head first, then to the application.

void SimulatedSession::enqueueLocked(Event* event, Tap* target) {
  queue_->push({event, target});
  ++inFlight_;
  ++enqueuedCount_;
}

void SimulatedSession::drainLocked(std::unique_lock<std::mutex>& lock) {
  if (tInCallback) return;  // delivered by the thread waiting for this callback's verdict
  if (dispatching_) {
    // Another thread is delivering: wait until it has delivered what this one queued, so that
    // a fast producer cannot run ahead of the taps and pile up events.
    const uint64_t mine = enqueuedCount_;
    changed_.wait(lock, [this, mine] { return deliveredCount_ >= mine || !dispatching_; });
    if (deliveredCount_ >= mine) return;
  }
  dispatching_ = true;
  while (!queue_->empty()) {
    const Item item = queue_->pop();
    dispatchLocked(item, lock);
    releaseLocked(item.event);
    --inFlight_;
    ++deliveredCount_;
    changed_.notify_all();  // cheap without waiters
  }
  dispatching_ = false;
  changed_.notify_all();
}

void SimulatedSession::dispatchLocked(const Item& item, std::unique_lock<std::mutex>& lock) {
  EventRef current = refOf<EventRef>(item.event);
  if (item.target != nullptr) {
    // A tap-disabled notification goes to its tap alone; its verdict means nothing.
    if (item.target->valid) deliverLocked(item.target, item.event->type, current, lock);
    releaseLocked(item.target);
    return;
  }
  const EventType type = item.event->type;
  dispatchTaps_.clear();
  for (Tap* tap : taps_) {
    retainObject(tap);
    dispatchTaps_.push_back(tap);
  }
  bool swallowed = false;
  for (Tap* tap : dispatchTaps_) {
    // Checked at its turn: an earlier tap's callback may have changed things.
    if (swallowed || !tap->valid || !tap->enabled || (tap->mask & typeBit(type)) == 0) continue;
    if (deliverLocked(tap, type, current, lock) == nullptr) swallowed = true;
  }
  for (Tap* tap : dispatchTaps_) releaseLocked(tap);
  if (!swallowed) {
    const Event* event = item.event;
    received_.push_back({event->type, event->keyCode, event->flags, event->userData, now()});
  }
}

void SimulatedSession::signalLoopLocked(Loop* loop) {
  loop->signals.fetch_add(1, std::memory_order_release);
  if (loop->sleeping) loop->wake.notify_all();
}

EventRef SimulatedSession::deliverLocked(Tap* tap, EventType type, EventRef event,
                                         std::unique_lock<std::mutex>& lock) {
  Loop* loop = tap->source != nullptr ? tap->source->loop : nullptr;
  if (loop == nullptr) return event;  // not serviced by any run loop: nothing can decide it
  Delivery delivery(tap, type, event);
  loop->pending.push_back(&delivery);
  signalLoopLocked(loop);
  lock.unlock();
  spinUntil([&delivery] { return delivery.done.load(std::memory_order_acquire); });
  lock.lock();
  if (!delivery.done.load(std::memory_order_relaxed)) {
    delivery.waiterSleeping = true;
    delivered_.wait(lock, [&delivery] { return delivery.done.load(std::memory_order_relaxed); });
  }
  return delivery.verdict;
}

void SimulatedSession::completeLocked(Delivery* delivery, EventRef verdict) {
  delivery->verdict = verdict;
  delivery->done.store(true, std::memory_order_release);
  if (delivery->waiterSleeping) delivered_.notify_all();
}

void SimulatedSession::passPendingLocked(Loop* loop, const Tap* tap) {
  auto& pending = loop->pending;
  for (auto it = pending.begin(); it != pending.end();) {
    if (tap == nullptr || (*it)->tap == tap) {
      completeLocked(*it, (*it)->event);  // it passes
      it = pending.erase(it);
    } else {
      ++it;
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Taps and run loops

MachPortRef SimulatedSession::tapCreate(TapLocation location, TapPlacement placement,
                                        TapOptions options, EventMask eventsOfInterest,
                                        EventTapCallback callback, void* userInfo) {
  std::lock_guard lock(graphMutex());
  if (!trusted_.load() || callback == nullptr) {  // (5)
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
  if (placement == kHeadInsertEventTap) {
    taps_.insert(taps_.begin(), tap);
  } else {
    taps_.push_back(tap);
  }
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
// Events and sources

int64_t SimulatedSession::eventGetIntegerValueField(EventRef eventRef, EventField field) {
  const Event* event = as<Event>(eventRef);
  switch (field) {
    case kKeyboardEventKeycode:
      return event->keyCode;
    case kEventSourceUserData:
      return event->userData;
    default:
      return 0;
  }
}

EventFlags SimulatedSession::eventGetFlags(EventRef eventRef) {
  return as<Event>(eventRef)->flags;
}

EventSourceRef SimulatedSession::eventSourceCreate(EventSourceState state) {
  if (refuseSources_.load(std::memory_order_relaxed)) return nullptr;
  auto* source = detail::make<detail::Source>();
  source->state = state;
  return refOf<EventSourceRef>(source);
}

EventRef SimulatedSession::eventCreateKeyboardEvent(EventSourceRef sourceRef, KeyCode key,
                                                    bool keyDown) {
  if (refuseEvents_.load(std::memory_order_relaxed)) return nullptr;
  Event* event = detail::make<Event>();
  event->type = keyDown ? kEventKeyDown : kEventKeyUp;
  event->keyCode = key;
  if (sourceRef != nullptr) event->sourceState = as<detail::Source>(sourceRef)->state;
  return refOf<EventRef>(event);
}

void SimulatedSession::eventSetFlags(EventRef event, EventFlags flags) {
  as<Event>(event)->flags = flags;
}

void SimulatedSession::eventSetIntegerValueField(EventRef eventRef, EventField field,
                                                 int64_t value) {
  Event* event = as<Event>(eventRef);
  if (field == kKeyboardEventKeycode) event->keyCode = value;
  if (field == kEventSourceUserData) event->userData = value;
}

void SimulatedSession::eventPost(TapLocation location, EventRef eventRef) {
  std::unique_lock lock(graphMutex());
  Event* event = as<Event>(eventRef);
  posted_.push_back({event->type, event->keyCode, event->flags, event->userData, location,
                     event->sourceState, now(), std::this_thread::get_id()});
  retainObject(event);
  enqueueLocked(event, nullptr);
  drainLocked(lock);
}

void SimulatedSession::retain(const void* ref) {
  retainObject(static_cast<Object*>(const_cast<void*>(ref)));
}

void SimulatedSession::release(const void* ref) {
  std::lock_guard lock(graphMutex());
  releaseLocked(static_cast<Object*>(const_cast<void*>(ref)));
}

// ---------------------------------------------------------------------------------------------
// Time and the main thread

namespace {
bool later(const detail::MainWork& a, const detail::MainWork& b) {
  return a.due != b.due ? a.due > b.due : a.seq > b.seq;
}
}  // namespace

Nanoseconds SimulatedSession::now() const {
  if (clockMode_ == ClockMode::Virtual) return Nanoseconds(virtualNow_.load());
  return std::chrono::duration_cast<Nanoseconds>(std::chrono::steady_clock::now() - realStart_);
}

void SimulatedSession::asyncAfter(Nanoseconds delay, Work work, void* context) {
  std::function<void(Nanoseconds, std::function<void()>)> executor;
  {
    std::lock_guard lock(graphMutex());
    if (!mainExecutor_) {
      mainWork_.push_back({now() + delay, mainWorkSeq_++, work, context});
      std::push_heap(mainWork_.begin(), mainWork_.end(), later);
      changed_.notify_all();
      return;
    }
    executor = mainExecutor_;
  }
  executor(delay, [work, context] { work(context); });
}

void SimulatedSession::usleep(uint32_t microseconds) {
  const auto duration = std::chrono::microseconds(microseconds);
  if (clockMode_ == ClockMode::Real) {
    std::this_thread::sleep_for(duration);
    return;
  }
  const Nanoseconds wake = now() + duration;
  settle();
  std::function<void(Nanoseconds)> hook;
  {
    std::lock_guard lock(graphMutex());
    hook = pauseHook_;
  }
  if (hook) hook(wake);
  advanceClockTo(wake);
}

void SimulatedSession::advanceClockTo(Nanoseconds t) {
  settle();
  int64_t current = virtualNow_.load();
  while (current < t.count() && !virtualNow_.compare_exchange_weak(current, t.count())) {
  }
}

bool SimulatedSession::popDueMainWork(Nanoseconds until, MainWork& out) {
  std::lock_guard lock(graphMutex());
  if (mainWork_.empty() || mainWork_.front().due > until) return false;
  std::pop_heap(mainWork_.begin(), mainWork_.end(), later);
  out = mainWork_.back();
  mainWork_.pop_back();
  return true;
}

void SimulatedSession::advance(Nanoseconds duration) {
  const Nanoseconds target = now() + duration;
  MainWork work{};
  while (popDueMainWork(target, work)) {
    advanceClockTo(work.due);
    work.work(work.context);
  }
  advanceClockTo(target);
}

std::optional<Nanoseconds> SimulatedSession::nextMainWorkDue() const {
  std::lock_guard lock(graphMutex());
  if (mainWork_.empty()) return std::nullopt;
  return mainWork_.front().due;
}

void SimulatedSession::runNextMainWork() {
  MainWork work{};
  if (!popDueMainWork(Nanoseconds::max(), work)) return;
  advanceClockTo(work.due);
  work.work(work.context);
}

void SimulatedSession::setPauseHook(std::function<void(Nanoseconds)> hook) {
  std::lock_guard lock(graphMutex());
  pauseHook_ = std::move(hook);
}

void SimulatedSession::setMainThreadExecutor(
    std::function<void(Nanoseconds, std::function<void()>)> executor) {
  std::vector<MainWork> waiting;
  {
    std::lock_guard lock(graphMutex());
    mainExecutor_ = std::move(executor);
    if (!mainExecutor_) return;
    waiting.swap(mainWork_);
  }
  // Work queued before the executor came is handed over with what remains of its delay.
  std::sort(waiting.begin(), waiting.end(), [](auto& a, auto& b) { return later(b, a); });
  for (const MainWork& work : waiting) {
    asyncAfter(std::max(Nanoseconds(0), work.due - now()), work.work, work.context);
  }
}

size_t SimulatedSession::runDueMainWork(Nanoseconds wait) {
  const auto deadline = std::chrono::steady_clock::now() + wait;
  size_t ran = 0;
  for (;;) {
    MainWork work{};
    if (popDueMainWork(now(), work)) {
      work.work(work.context);
      ++ran;
      continue;
    }
    if (ran > 0 || std::chrono::steady_clock::now() >= deadline) return ran;
    std::unique_lock lock(graphMutex());
    auto until = deadline;
    if (!mainWork_.empty()) {
      until = std::min(until,
                       realStart_ + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                        mainWork_.front().due));
    }
    changed_.wait_until(lock, until);
  }
}

size_t SimulatedSession::pendingMainWork() const {
  std::lock_guard lock(graphMutex());
  return mainWork_.size();
}

// ---------------------------------------------------------------------------------------------
// Tap threads and records

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

std::vector<PostedEvent> SimulatedSession::posted() const {
  std::lock_guard lock(graphMutex());
  return posted_;
}

std::vector<ReceivedEvent> SimulatedSession::received() const {
  std::lock_guard lock(graphMutex());
  return received_;
}

std::vector<OpenRequest> SimulatedSession::openRequests() const {
  std::lock_guard lock(graphMutex());
  std::vector<OpenRequest> requests;
  for (const auto& [path, when] : opens_) requests.push_back({*path, when.first, when.second});
  return requests;
}

uint64_t SimulatedSession::frontmostQueries() const {
  return frontmostQueries_.load();
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

void SimulatedSession::clearRecords() {
  std::lock_guard lock(graphMutex());
  posted_.clear();
  received_.clear();
  opens_.clear();
  frontmostQueries_.store(0);
}

}  // namespace corvane::sim
