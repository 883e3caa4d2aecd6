// The objects of the simulated session (events, event sources, taps, run loop sources, run
// loops) and the one lock that guards them. Private to the session's own files.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

#include "engine/Platform.h"

namespace corvane::sim::detail {

struct LoopSource;

// One lock for the object graph of every session: objects are reference counted and may be
// released on any thread, also after the session that made them is gone.
inline std::mutex& graphMutex() {
  static auto* mutex = new std::mutex;
  return *mutex;
}

// Sources, events, ports, run loop sources and loops of all sessions not yet released.
inline std::atomic<uint64_t> gLiveObjects{0};

constexpr uint64_t typeBit(EventType type) {
  return type < 64 ? uint64_t{1} << type : 0;
}

// Set while the thread runs a tap callback: its posts are only queued.
inline thread_local bool tInCallback = false;

inline void cpuRelax() {
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
  // Nobody waits for it (a listen-only tap's): it holds the event, and whoever completes it
  // frees both.
  bool detached = false;
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

// Released events and sources are kept for reuse, so a steady stream of keystrokes does not
// allocate. Guarded by the graph mutex.
// Filled up front, so that events made while many are still in flight do not allocate either.
inline constexpr size_t kPoolSize = 2048;

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

// Drops one reference; the graph mutex is held.
void releaseLocked(Object* object);

inline void retainObject(Object* object) {
  object->refs.fetch_add(1, std::memory_order_relaxed);
}

template <class T, class Ref>
T* as(Ref ref) {
  return static_cast<T*>(reinterpret_cast<Object*>(ref));
}
template <class Ref>
Ref refOf(Object* object) {
  return reinterpret_cast<Ref>(object);
}

}  // namespace corvane::sim::detail
