// Events: made by the keyboard or posted, routed one at a time through the enabled taps, head
// first, then to the frontmost application; event sources and the fields of events.
#include "platform/simulated/SessionObjects.h"
#include "platform/simulated/SimulatedSession.h"

namespace corvane::sim {

using detail::as;
using detail::graphMutex;
using detail::Object;
using detail::refOf;
using detail::releaseLocked;
using detail::retainObject;
using detail::spinUntil;
using detail::tInCallback;
using detail::typeBit;

void SimulatedSession::keyboardEvent(EventType type, int64_t keyCode, EventFlags flags,
                                     int64_t userData) {
  if (type == kEventFlagsChanged) keyboardFlags_.store(flags, std::memory_order_relaxed);  // (10)
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
    // A listener cannot hold events up, so it never times out (7).
    const bool listener = tap->options == kEventTapOptionListenOnly;
    if (!tap->enabled || (listener && reason == kEventTapDisabledByTimeout)) continue;
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
  // Key downs and ups go past every tap while secure input is on (9).
  const bool pastTaps = secureInput_.load(std::memory_order_relaxed) &&
                        (type == kEventKeyDown || type == kEventKeyUp);
  for (Tap* tap : dispatchTaps_) {
    // Checked at its turn: an earlier tap's callback may have changed things.
    if (pastTaps || swallowed || !tap->valid || !tap->enabled || (tap->mask & typeBit(type)) == 0)
      continue;
    if (tap->options == kEventTapOptionListenOnly) {
      offerLocked(tap, type, item.event);  // (7)
    } else if (!trusted_.load(std::memory_order_relaxed)) {
      // An untrusted active tap is waited for until its timeout, then disabled (8).
      tap->enabled = false;
      ++tapTimeouts_;
      Event* notification = detail::makeLocked<Event>();
      notification->type = kEventTapDisabledByTimeout;
      retainObject(tap);
      enqueueLocked(notification, tap);
    } else if (deliverLocked(tap, type, current, lock) == nullptr) {
      swallowed = true;
    }
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

void SimulatedSession::offerLocked(Tap* tap, EventType type, Event* event) {
  Loop* loop = tap->source != nullptr ? tap->source->loop : nullptr;
  if (loop == nullptr) return;
  retainObject(event);
  auto* delivery = new Delivery(tap, type, refOf<EventRef>(event));
  delivery->detached = true;
  loop->pending.push_back(delivery);
  signalLoopLocked(loop);
}

void SimulatedSession::completeLocked(Delivery* delivery, EventRef verdict) {
  if (delivery->detached) {  // a listener's: its verdict means nothing
    releaseLocked(as<Object>(delivery->event));
    delete delivery;
    return;
  }
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
// Events and sources

void SimulatedSession::refuseEventSources(bool refuse) {
  refuseSources_.store(refuse);
}

void SimulatedSession::refuseKeyboardEvents(bool refuse) {
  refuseEvents_.store(refuse);
}

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

EventFlags SimulatedSession::eventSourceFlagsState(EventSourceState /*state*/) {
  return keyboardFlags_.load(std::memory_order_relaxed);
}

void SimulatedSession::retain(const void* ref) {
  retainObject(static_cast<Object*>(const_cast<void*>(ref)));
}

void SimulatedSession::release(const void* ref) {
  std::lock_guard lock(graphMutex());
  releaseLocked(static_cast<Object*>(const_cast<void*>(ref)));
}

// ---------------------------------------------------------------------------------------------
// Records

std::vector<PostedEvent> SimulatedSession::posted() const {
  std::lock_guard lock(graphMutex());
  return posted_;
}

std::vector<ReceivedEvent> SimulatedSession::received() const {
  std::lock_guard lock(graphMutex());
  return received_;
}

}  // namespace corvane::sim
