#include "platform/macos/MacMainQueue.h"

#include <dispatch/dispatch.h>
#include <unistd.h>

namespace corvane::mac {

void MacMainQueue::asyncAfter(std::chrono::nanoseconds delay, Work work, void* context) {
  dispatch_after_f(dispatch_time(DISPATCH_TIME_NOW, delay.count()), dispatch_get_main_queue(),
                   context, work);
}

void MacPauser::usleep(uint32_t microseconds) {
  ::usleep(microseconds);
}

std::chrono::nanoseconds MacPauser::uptime() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
      std::chrono::steady_clock::now().time_since_epoch());
}

}  // namespace corvane::mac
