// Owning handles for platform references (CFRelease when replaced or cleared).
#pragma once

#include <atomic>
#include <utility>

#include "engine/Platform.h"

namespace corvane {

// A reference owned by one scope: released when it goes.
template <class Ref>
class Retained {
 public:
  Retained(KeyboardEventServices& services, Ref ref) : services_(services), ref_(ref) {}
  Retained(const Retained&) = delete;
  Retained& operator=(const Retained&) = delete;
  ~Retained() {
    if (ref_) services_.release(ref_);
  }
  Ref get() const { return ref_; }
  explicit operator bool() const { return ref_ != nullptr; }
  // A second owned reference to the same object, for a field.
  Ref retainedCopy() const {
    if (ref_) services_.retain(ref_);
    return ref_;
  }

 private:
  KeyboardEventServices& services_;
  Ref ref_;
};

// A field that owns a reference and is read from another thread than the one that writes it.
// Anyone may read it; only its owner (the manager) stores into it.
template <class Ref, class Owner>
class OwnedField {
 public:
  explicit OwnedField(KeyboardEventServices& services) : services_(services) {}
  OwnedField(const OwnedField&) = delete;
  OwnedField& operator=(const OwnedField&) = delete;
  ~OwnedField() { reset(); }

  Ref get() const { return ref_.load(std::memory_order_acquire); }
  explicit operator bool() const { return get() != nullptr; }

 private:
  friend Owner;
  // Takes over an owned reference; releases the one it replaces.
  void store(Ref ref) {
    if (Ref old = ref_.exchange(ref, std::memory_order_acq_rel)) services_.release(old);
  }
  void reset() { store(nullptr); }

  KeyboardEventServices& services_;
  std::atomic<Ref> ref_{nullptr};
};

}  // namespace corvane
