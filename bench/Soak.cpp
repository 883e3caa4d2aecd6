// Soak: the threaded session for a long time. One thread types (plain letters, Fn+C, Fn+V, a
// held and repeated Fn+Z, Alt+Tab, now and then F2, whose Return comes 60 ms later from the main
// thread) while the main thread starts and stops the tap every CYCLE events, as the window's
// button does, and runs the delayed work. Built with the address sanitizer by scripts/soak; at
// the end LeakSanitizer checks the heap.
//
// Memory must not grow: the resident set is sampled every tenth of the run, and after the first
// tenth (pools and records warmed up) it may not grow by more than a small slack; every
// platform object (events, sources, taps, run loops) must be released at the end.
//
// Each event is decided before the typist makes the next, as a person types. With "flood" as
// the third argument the typist does not wait: when another thread (the main thread posting the
// delayed Return of F2) is delivering, the session only queues the typist's events, and that
// thread is kept delivering them while the queue grows.
//
// Usage: corvane_soak [EVENTS] [CYCLE] [flood]   (default 10000000 and 10000)
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string_view>
#include <thread>
#include <vector>

#include "engine/KeyboardShortcutManager.h"
#include "platform/simulated/SimulatedSession.h"

namespace {

using namespace std::chrono_literals;
using namespace corvane;

constexpr long kSlackKiB = 8 * 1024;

long residentKiB() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

struct Key {
  EventType type;
  int64_t code;
  EventFlags flags;
};

// One round of typing: 24 events.
constexpr Key kTyping[] = {
    {kEventKeyDown, 4, 0},
    {kEventKeyUp, 4, 0},
    {kEventKeyDown, 14, 0},
    {kEventKeyUp, 14, 0},
    {kEventFlagsChanged, 63, kFlagFn},
    {kEventKeyDown, 8, kFlagFn},  // copy
    {kEventKeyUp, 8, kFlagFn},
    {kEventKeyDown, 9, kFlagFn},  // paste
    {kEventKeyUp, 9, kFlagFn},
    {kEventKeyDown, 6, kFlagFn},  // undo, held
    {kEventKeyDown, 6, kFlagFn},
    {kEventKeyDown, 6, kFlagFn},
    {kEventKeyUp, 6, kFlagFn},
    {kEventFlagsChanged, 63, 0},
    {kEventFlagsChanged, 55, kFlagCommand},
    {kEventKeyDown, 48, kFlagCommand},  // Alt+Tab
    {kEventKeyUp, 48, kFlagCommand},
    {kEventFlagsChanged, 55, 0},
    {kEventKeyDown, 31, 0},
    {kEventKeyUp, 31, 0},
    {kEventKeyDown, 8, 0},
    {kEventKeyUp, 8, 0},
    {kEventKeyDown, 53, 0},
    {kEventKeyUp, 53, 0},
};

}  // namespace

int main(int argc, char** argv) {
  const uint64_t total = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 10'000'000;
  const uint64_t cycle = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 10'000;
  const bool flood = argc > 3 && std::string_view(argv[3]) == "flood";
  if (total < 10 * cycle || cycle == 0) {
    std::fprintf(stderr, "usage: %s [EVENTS >= 10 * CYCLE] [CYCLE > 0]\n", argv[0]);
    return 2;
  }
  const uint64_t liveBefore = sim::SimulatedSession::liveObjects();
  const auto began = std::chrono::steady_clock::now();
  std::vector<long> samples;
  uint64_t cycles = 0;
  bool failed = false;
  {
    auto session = std::make_shared<sim::SimulatedSession>(sim::ClockMode::Real);
    auto manager = std::make_shared<KeyboardShortcutManager>(session);
    std::atomic<uint64_t> injected{0};
    std::thread typist([&] {
      for (uint64_t i = 0; i < total; ++i) {
        const Key& key = kTyping[i % std::size(kTyping)];
        if (i % 100'000 == 99'999) {
          session->keyboardEvent(kEventKeyDown, 120, 0);  // F2: a Return 60 ms later
        } else {
          session->keyboardEvent(key.type, key.code, key.flags);
        }
        if (!flood) session->settle();
        if (i % 4096 == 4095) session->clearRecords();
        injected.store(i + 1, std::memory_order_release);
      }
    });

    uint64_t nextToggle = cycle;
    uint64_t nextSample = total / 10;
    for (;;) {
      const uint64_t done = injected.load(std::memory_order_acquire);
      if (done >= nextToggle) {
        if (manager->isEnabled) {
          manager->stop();
        } else {
          manager->start();
        }
        ++cycles;
        nextToggle += cycle;
      }
      if (done >= nextSample) {
        samples.push_back(residentKiB());
        std::printf("%3d%%  %llu events  %llu start/stop  RSS %ld KiB\n",
                    static_cast<int>(done * 100 / total), static_cast<unsigned long long>(done),
                    static_cast<unsigned long long>(cycles), samples.back());
        std::fflush(stdout);
        nextSample += total / 10;
      }
      session->runDueMainWork();
      if (done >= total) break;
      std::this_thread::sleep_for(50us);
    }
    typist.join();

    manager->stop();
    for (int i = 0; i < 2000 && manager->isEnabled; ++i) {  // a tap still being installed
      std::this_thread::sleep_for(1ms);
      manager->stop();
    }
    session->waitForRunLoopsToEnd(10s);
    session->settle();
    while (session->pendingMainWork() > 0) session->runDueMainWork(100ms);
    session->clearRecords();
  }
  for (int i = 0; i < 2000 && sim::SimulatedSession::liveObjects() != liveBefore; ++i) {
    std::this_thread::sleep_for(1ms);
  }

  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
  const long growth = samples.back() - samples.front();
  std::printf("events %llu\nstart_stop %llu\nseconds %.1f\nevents_per_s %.0f\n",
              static_cast<unsigned long long>(total), static_cast<unsigned long long>(cycles),
              seconds, static_cast<double>(total) / seconds);
  std::printf("rss_first_tenth_kib %ld\nrss_end_kib %ld\nrss_growth_kib %ld\n", samples.front(),
              samples.back(), growth);
  if (growth > kSlackKiB) {
    std::printf("FAIL: resident memory grew by %ld KiB after the first tenth\n", growth);
    failed = true;
  }
  const uint64_t live = sim::SimulatedSession::liveObjects();
  if (live != liveBefore) {
    std::printf("FAIL: %llu platform objects were not released\n",
                static_cast<unsigned long long>(live - liveBefore));
    failed = true;
  }
  std::printf("%s\n", failed ? "soak: FAILED" : "soak: passed");
  return failed ? 1 : 0;
}
