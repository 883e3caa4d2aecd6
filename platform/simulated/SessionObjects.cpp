#include "platform/simulated/SessionObjects.h"

namespace corvane::sim::detail {

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

Tap::~Tap() = default;

LoopSource::~LoopSource() {
  if (tap != nullptr && tap->source == this) tap->source = nullptr;
  releaseLocked(tap);
}

Loop::~Loop() {
  for (Delivery* delivery : pending) {
    if (!delivery->detached) continue;  // a listener's that never ran
    releaseLocked(as<Object>(delivery->event));
    delete delivery;
  }
  for (LoopSource* source : sources) {
    source->loop = nullptr;
    releaseLocked(source);
  }
}

}  // namespace corvane::sim::detail
