// An owning handle for a CoreFoundation reference: the result of a Create or Copy call is
// adopted and released with CFRelease when the handle goes, is reset, or is assigned over.
#pragma once

#include <CoreFoundation/CoreFoundation.h>

#include <utility>

namespace corvane::mac {

template <class Ref>
class CFOwned {
 public:
  CFOwned() noexcept = default;
  // Adopts an owned reference (a Create or Copy result); nullptr makes an empty handle.
  explicit CFOwned(Ref ref) noexcept : ref_(ref) {}
  // A handle of its own to a reference owned elsewhere (a Get result): retains it.
  static CFOwned retaining(Ref ref) noexcept {
    if (ref != nullptr) CFRetain(ref);
    return CFOwned(ref);
  }

  CFOwned(const CFOwned&) = delete;
  CFOwned& operator=(const CFOwned&) = delete;
  CFOwned(CFOwned&& other) noexcept : ref_(std::exchange(other.ref_, nullptr)) {}
  CFOwned& operator=(CFOwned&& other) noexcept {
    reset(std::exchange(other.ref_, nullptr));
    return *this;
  }
  ~CFOwned() { reset(); }

  Ref get() const noexcept { return ref_; }
  explicit operator bool() const noexcept { return ref_ != nullptr; }

  // Takes over a new owned reference and releases the one held before (after the swap, so a
  // reset to the same object that was retained for it stays balanced).
  void reset(Ref ref = nullptr) noexcept {
    if (Ref old = std::exchange(ref_, ref)) CFRelease(old);
  }
  // Hands the owned reference to the caller, who must release it.
  [[nodiscard]] Ref release() noexcept { return std::exchange(ref_, nullptr); }

 private:
  Ref ref_ = nullptr;
};

}  // namespace corvane::mac
