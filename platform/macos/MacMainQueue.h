// The engine's main queue on libdispatch, and its pause on usleep.
#pragma once

#include "engine/Platform.h"

namespace corvane::mac {

// dispatch_after_f on the main queue: the work runs once on the main thread, after the delay.
class MacMainQueue final : public MainQueue {
 public:
  void asyncAfter(std::chrono::nanoseconds delay, Work work, void* context) override;
};

class MacPauser final : public Pauser {
 public:
  void usleep(uint32_t microseconds) override;
  // std::chrono::steady_clock: mach_absolute_time on a Mac, which runs on in sleep's absence
  // and never goes back.
  std::chrono::nanoseconds uptime() override;
};

}  // namespace corvane::mac
