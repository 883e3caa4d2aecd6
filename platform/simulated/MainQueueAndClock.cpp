// The clock (real or virtual), the main queue and the pause.
#include <algorithm>

#include "platform/simulated/SessionObjects.h"
#include "platform/simulated/SimulatedSession.h"

namespace corvane::sim {

using detail::as;
using detail::graphMutex;
using detail::Object;
using detail::refOf;
using detail::releaseLocked;
using detail::retainObject;

namespace {
bool later(const detail::MainWork& a, const detail::MainWork& b) {
  return a.due != b.due ? a.due > b.due : a.seq > b.seq;
}
}  // namespace

Nanoseconds SimulatedSession::now() const {
  if (clockMode_ == ClockMode::Virtual) return Nanoseconds(virtualNow_.load());
  return std::chrono::duration_cast<Nanoseconds>(std::chrono::steady_clock::now() - realStart_);
}

void SimulatedSession::asyncAfter(Nanoseconds delay, Work work, void* context) {
  std::function<void(Nanoseconds, std::function<void()>)> executor;
  {
    std::lock_guard lock(graphMutex());
    if (!mainExecutor_) {
      mainWork_.push_back({now() + delay, mainWorkSeq_++, work, context});
      std::push_heap(mainWork_.begin(), mainWork_.end(), later);
      changed_.notify_all();
      return;
    }
    executor = mainExecutor_;
  }
  executor(delay, [work, context] { work(context); });
}

void SimulatedSession::usleep(uint32_t microseconds) {
  const auto duration = std::chrono::microseconds(microseconds);
  if (clockMode_ == ClockMode::Real) {
    std::this_thread::sleep_for(duration);
    return;
  }
  const Nanoseconds wake = now() + duration;
  settle();
  std::function<void(Nanoseconds)> hook;
  {
    std::lock_guard lock(graphMutex());
    hook = pauseHook_;
  }
  if (hook) hook(wake);
  advanceClockTo(wake);
}

void SimulatedSession::advanceClockTo(Nanoseconds t) {
  settle();
  int64_t current = virtualNow_.load();
  while (current < t.count() && !virtualNow_.compare_exchange_weak(current, t.count())) {
  }
}

bool SimulatedSession::popDueMainWork(Nanoseconds until, MainWork& out) {
  std::lock_guard lock(graphMutex());
  if (mainWork_.empty() || mainWork_.front().due > until) return false;
  std::pop_heap(mainWork_.begin(), mainWork_.end(), later);
  out = mainWork_.back();
  mainWork_.pop_back();
  return true;
}

void SimulatedSession::advance(Nanoseconds duration) {
  const Nanoseconds target = now() + duration;
  MainWork work{};
  while (popDueMainWork(target, work)) {
    advanceClockTo(work.due);
    work.work(work.context);
  }
  advanceClockTo(target);
}

std::optional<Nanoseconds> SimulatedSession::nextMainWorkDue() const {
  std::lock_guard lock(graphMutex());
  if (mainWork_.empty()) return std::nullopt;
  return mainWork_.front().due;
}

void SimulatedSession::runNextMainWork() {
  MainWork work{};
  if (!popDueMainWork(Nanoseconds::max(), work)) return;
  advanceClockTo(work.due);
  work.work(work.context);
}

void SimulatedSession::setPauseHook(std::function<void(Nanoseconds)> hook) {
  std::lock_guard lock(graphMutex());
  pauseHook_ = std::move(hook);
}

void SimulatedSession::setMainThreadExecutor(
    std::function<void(Nanoseconds, std::function<void()>)> executor) {
  std::vector<MainWork> waiting;
  {
    std::lock_guard lock(graphMutex());
    mainExecutor_ = std::move(executor);
    if (!mainExecutor_) return;
    waiting.swap(mainWork_);
  }
  // Work queued before the executor came is handed over with what remains of its delay.
  std::sort(waiting.begin(), waiting.end(), [](auto& a, auto& b) { return later(b, a); });
  for (const MainWork& work : waiting) {
    asyncAfter(std::max(Nanoseconds(0), work.due - now()), work.work, work.context);
  }
}

size_t SimulatedSession::runDueMainWork(Nanoseconds wait) {
  const auto deadline = std::chrono::steady_clock::now() + wait;
  size_t ran = 0;
  for (;;) {
    MainWork work{};
    if (popDueMainWork(now(), work)) {
      work.work(work.context);
      ++ran;
      continue;
    }
    if (ran > 0 || std::chrono::steady_clock::now() >= deadline) return ran;
    std::unique_lock lock(graphMutex());
    auto until = deadline;
    if (!mainWork_.empty()) {
      until = std::min(until,
                       realStart_ + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                        mainWork_.front().due));
    }
    changed_.wait_until(lock, until);
  }
}

size_t SimulatedSession::pendingMainWork() const {
  std::lock_guard lock(graphMutex());
  return mainWork_.size();
}

}  // namespace corvane::sim
