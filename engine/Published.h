// A published Boolean: every assignment, also of the value already held, first signals the
// owner's objectWillChange on the assigning thread and then stores the value. Reads have no
// side effect. The value is atomic because the tap thread reads the swap settings while the
// main thread may assign them; each read sees the old or the new value.
#pragma once

#include <atomic>

#include "engine/ChangeNotifier.h"

namespace corvane {

class PublishedBool {
 public:
  PublishedBool(const ChangeNotifier& notifier, bool initial)
      : notifier_(notifier), value_(initial) {}
  PublishedBool(const PublishedBool&) = delete;
  PublishedBool& operator=(const PublishedBool&) = delete;

  bool get() const { return value_.load(std::memory_order_relaxed); }
  operator bool() const { return get(); }  // NOLINT(google-explicit-constructor): reads like a bool

  void set(bool value) {
    notifier_.send();
    value_.store(value, std::memory_order_relaxed);
  }
  PublishedBool& operator=(bool value) {
    set(value);
    return *this;
  }

 private:
  const ChangeNotifier& notifier_;
  std::atomic<bool> value_;
};

}  // namespace corvane
