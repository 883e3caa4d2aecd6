// The threaded session: key events injected into a real-clock simulated session whose tap runs
// on its own thread. For each event, the round trip from injecting it to its verdict (the
// session's keyboardEvent returns once the tap has decided the event and it is delivered), and
// the events per second that this gives.
//
// The baseline is the same hand-over with nothing in it: a tap on the same session, on a thread
// of its own, whose callback returns the event. The engine's own share is the ratio of the two.
// Rounds of the two alternate, and the median round of each is reported, so that a noisy
// neighbour on the machine hits both alike.
//
// Usage: bench_threaded [EVENTS_PER_ROUND] [ROUNDS]   (default 100000 and 5)
// Prints one "name value" line per figure.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <thread>
#include <vector>

#include "engine/KeyboardShortcutManager.h"
#include "platform/simulated/SimulatedSession.h"

namespace corvane::bench {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

EventRef passThrough(TapProxy, EventType, EventRef event, void*) {
  return event;
}

// A tap whose callback only hands the event back, on its own thread.
class EmptyTap {
 public:
  explicit EmptyTap(sim::SimulatedSession& session) : session_(session), events_(session.events()) {
    const uint64_t setUps = session_.tapSetups();
    port_ = events_.tapCreate(kSessionEventTap, kHeadInsertEventTap, kEventTapOptionDefault,
                              kKeyEventMask, &passThrough, nullptr);
    thread_ = std::thread([this] {
      source_ = events_.machPortCreateRunLoopSource(port_);
      loop_ = events_.runLoopGetCurrent();
      events_.runLoopAddSource(loop_, source_);
      events_.tapEnable(port_, true);
      events_.runLoopRun();
    });
    if (!session_.waitForTapSetups(setUps + 1, 10s)) {
      std::fprintf(stderr, "bench_threaded: the empty tap never ran\n");
      std::exit(1);
    }
  }
  ~EmptyTap() {
    events_.tapEnable(port_, false);
    events_.runLoopRemoveSource(loop_, source_);
    events_.runLoopStop(loop_);
    events_.machPortInvalidate(port_);
    thread_.join();
    events_.release(source_);
    events_.release(port_);
  }

 private:
  sim::SimulatedSession& session_;
  KeyboardEventServices& events_;
  MachPortRef port_ = nullptr;
  RunLoopSourceRef source_ = nullptr;
  RunLoopRef loop_ = nullptr;
  std::thread thread_;
};

struct Round {
  double p50Ns;
  double p99Ns;
  double eventsPerSecond;
};

// Plain typing: key-down and key-up of H, which every tap passes.
Round measure(sim::SimulatedSession& session, size_t events, bool translated) {
  std::vector<int64_t> latencies;
  latencies.reserve(events);
  int64_t total = 0;
  for (size_t i = 0; i < events; ++i) {
    const EventType type = (i % 2 == 0) ? kEventKeyDown : kEventKeyUp;
    const int64_t key = translated ? 8 : 4;
    const EventFlags flags = translated ? kFlagFn : 0;
    const auto start = Clock::now();
    session.keyboardEvent(type, key, flags);
    const int64_t ns =
        std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - start).count();
    latencies.push_back(ns);
    total += ns;
    if (i % 4096 == 4095) session.clearRecords();  // what the application received piles up
  }
  session.settle();
  session.clearRecords();
  std::sort(latencies.begin(), latencies.end());
  return {static_cast<double>(latencies[latencies.size() / 2]),
          static_cast<double>(latencies[latencies.size() * 99 / 100]),
          static_cast<double>(events) * 1e9 / static_cast<double>(total)};
}

Round median(std::vector<Round> rounds) {
  auto pick = [&rounds](auto field) {
    std::vector<double> values;
    for (const Round& r : rounds) values.push_back(r.*field);
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
  };
  return {pick(&Round::p50Ns), pick(&Round::p99Ns), pick(&Round::eventsPerSecond)};
}

}  // namespace
}  // namespace corvane::bench

int main(int argc, char** argv) {
  using namespace corvane;
  using namespace corvane::bench;
  const size_t events = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 100000;
  const int rounds = argc > 2 ? std::atoi(argv[2]) : 5;
  if (events < 100 || rounds < 1) {
    std::fprintf(stderr, "usage: %s [EVENTS_PER_ROUND >= 100] [ROUNDS >= 1]\n", argv[0]);
    return 2;
  }

  auto session = std::make_shared<sim::SimulatedSession>(sim::ClockMode::Real);
  auto manager = std::make_shared<KeyboardShortcutManager>(session);
  std::vector<Round> baseline, engine, translated;
  for (int r = 0; r < rounds; ++r) {
    {
      EmptyTap tap(*session);
      measure(*session, events / 10, false);  // warm-up
      baseline.push_back(measure(*session, events, false));
    }
    const uint64_t setUps = session->tapSetups();
    manager->start();
    if (!session->waitForTapSetups(setUps + 1, 10s)) {
      std::fprintf(stderr, "bench_threaded: the engine's tap never ran\n");
      return 1;
    }
    measure(*session, events / 10, false);
    engine.push_back(measure(*session, events, false));
    translated.push_back(measure(*session, events / 4, true));
    manager->stop();
    session->waitForRunLoopsToEnd(10s);
  }

  const Round b = median(baseline), e = median(engine), t = median(translated);
  std::printf("baseline_p50_ns %.0f\nbaseline_p99_ns %.0f\nbaseline_events_per_s %.0f\n", b.p50Ns,
              b.p99Ns, b.eventsPerSecond);
  std::printf("engine_p50_ns %.0f\nengine_p99_ns %.0f\nengine_events_per_s %.0f\n", e.p50Ns,
              e.p99Ns, e.eventsPerSecond);
  std::printf("ratio_p50 %.2f\nratio_p99 %.2f\nratio_throughput %.2f\n", e.p50Ns / b.p50Ns,
              e.p99Ns / b.p99Ns, b.eventsPerSecond / e.eventsPerSecond);
  std::printf("translated_p50_ns %.0f\ntranslated_p99_ns %.0f\ntranslated_events_per_s %.0f\n",
              t.p50Ns, t.p99Ns, t.eventsPerSecond);
  std::printf("rounds %d\nevents_per_round %zu\n", rounds, events);
  return 0;
}
