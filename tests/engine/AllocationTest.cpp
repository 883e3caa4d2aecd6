// The event path must not allocate: every operator new of this binary is counted per thread.
#include <cstdlib>
#include <new>
#include <span>
#include <vector>

#include "rules/RuleCompiler.h"
#include "tests/engine/EngineHarness.h"

namespace {
thread_local uint64_t tAllocations = 0;
}

void* operator new(std::size_t size) {
  ++tAllocations;
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
  return operator new(size);
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete[](void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  std::free(p);
}

namespace corvane::testing {
namespace {

struct Input {
  EventType type;
  int64_t key;
  EventFlags flags;
  int64_t userData;
};

class AllocationTest : public EngineTest {
 protected:
  // Decides the stream 2,000 times after a warm-up and returns the allocations made; the
  // session's own bookkeeping, done every 50 rounds, is not counted. `queries` gets the
  // frontmost-application queries made.
  uint64_t allocationsDeciding(std::span<const Input> stream, uint64_t* queries = nullptr) {
    std::vector<EventRef> events;
    for (const Input& input : stream) {
      events.push_back(makeEvent(input.key, input.flags, input.userData));
    }
    auto run = [&] {
      for (size_t i = 0; i < stream.size(); ++i) manager->handleEvent(stream[i].type, events[i]);
    };
    run();  // warms the session's pools
    session->settle();
    session->clearRecords();
    const uint64_t before = tAllocations;
    for (int round = 1; round <= 2000; ++round) {
      run();
      if (round % 50 == 0) {
        const uint64_t paused = tAllocations;
        session->settle();
        if (queries != nullptr) *queries += session->frontmostQueries();
        session->clearRecords();
        tAllocations = paused;  // the session's own bookkeeping is not the event path
      }
    }
    return tAllocations - before;
  }
};

TEST_F(AllocationTest, DecidingAMixedStreamAllocatesNothing) {
  session->setFrontmostApplication("com.apple.Safari");
  const Input stream[] = {
      {kEventKeyDown, 8, kFlagFn, 0},
      {kEventKeyUp, 8, 0, 0},  // copy
      {kEventKeyDown, 6, kFlagFn | kFlagShift, 0},
      {kEventKeyUp, 6, 0, 0},  // undo
      {kEventKeyDown, 12, kFlagCommand, 0},
      {kEventKeyUp, 12, 0, 0},             // lockComputer
      {kEventKeyDown, 48, kFlagShift, 0},  // Shift+Tab in a browser: queried, a delayed
      {kEventKeyDown, 4, 0, 0},
      {kEventKeyUp, 4, 0, 0},  // plain H
      {kEventKeyDown, 9, kFlagFn, 1},
      {kEventKeyUp, 9, 0, 1},  // marked
      {kEventFlagsChanged, 63, kFlagFn, 0},
      {kEventFlagsChanged, 63, 0, 0},
      {kEventKeyDown, -5, kFlagFn, 0},
      {kEventKeyUp, -5, 0, 0},
      {kEventKeyDown, 300, kFlagFn, 0},
      {kEventKeyUp, 300, 0, 0},
      {kEventKeyDown, 8, kFlagFn, 0},
      {kEventKeyDown, 8, 0, 0},  // repeat let go
      {kEventKeyUp, 8, 0, 0},
      {kEventTapDisabledByTimeout, 0, 0, 0},
  };
  // Shift+Tab's reopen is a delayed action: it is scheduled with a small holder of the manager,
  // so it is decided here with a non-browser frontmost (the query still runs).
  session->setFrontmostApplication("com.apple.Terminal");
  uint64_t queries = 0;
  EXPECT_EQ(allocationsDeciding(stream, &queries), 0u);
  EXPECT_EQ(queries, 2000u) << "the browser query ran on every Shift+Tab";
}

TEST_F(AllocationTest, DecidingWithAUsersRulesAllocatesNothing) {
  RulesParse parse = parseRules(R"({"exclude": ["com.apple.Terminal"], "disable": ["Ctrl+V"],
      "shortcuts": [{"press": "Ctrl+O", "send": "Cmd+O"}, {"press": "Home", "send": "Cmd+Left"},
                    {"press": "F5", "send": "Cmd+R", "apps": ["browsers"]}]})");
  ASSERT_TRUE(parse.rules);
  setRules(*manager, std::move(*parse.rules));
  session->setFrontmostApplication("com.apple.Safari");
  // clang-format off
  const Input stream[] = {
      {kEventKeyDown, 31, kFlagFn, 0},  {kEventKeyUp, 31, 0, 0},         // the user's Ctrl+O
      {kEventKeyDown, 115, kFlagFn, 0}, {kEventKeyUp, 115, kFlagFn, 0},  // Home
      {kEventKeyDown, 96, kFlagFn, 0},  {kEventKeyUp, 96, kFlagFn, 0},   // F5 in a browser
      {kEventKeyDown, 8, kFlagFn, 0},   {kEventKeyUp, 8, 0, 0},          // the built-in copy
      {kEventKeyDown, 9, kFlagFn, 0},   {kEventKeyUp, 9, 0, 0},          // disabled paste
      {kEventKeyDown, 4, 0, 0},         {kEventKeyUp, 4, 0, 0},          // plain H
  };
  // clang-format on
  EXPECT_EQ(allocationsDeciding(stream), 0u);
  // The same with a key viewer open: every key-down is recorded for it.
  manager->openKeyViewer();
  EXPECT_EQ(allocationsDeciding(stream), 0u);
  manager->closeKeyViewer();
}

}  // namespace
}  // namespace corvane::testing
