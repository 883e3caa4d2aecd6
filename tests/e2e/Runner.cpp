// Runs one scenario: a new manager with the scenario's settings and rules, started as the program
// starts it, the keys injected, and what the observer saw compared with the table.
#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <map>
#include <thread>

#include "engine/KeyboardShortcutManager.h"
#include "rules/RuleCompiler.h"
#include "rules/RulesFile.h"
#include "tests/e2e/EndToEnd.h"

namespace corvane::e2e {
namespace {

using std::chrono::milliseconds;

std::string typeName(EventType type) {
  switch (type) {
    case kEventKeyDown:
      return "keyDown";
    case kEventKeyUp:
      return "keyUp";
    case kEventFlagsChanged:
      return "flagsChanged";
    default:
      return "type " + std::to_string(type);
  }
}

std::string hex(uint64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%" PRIx64, value);
  return text;
}

Key compared(Key key) {
  key.flags &= kComparedFlags;
  return key;
}

double micros(Clock::duration d) {
  return std::chrono::duration<double, std::micro>(d).count();
}

// Waits, running the main queue, until the observer has seen `count` events since `base`, then
// for the quiet period (events that should not come). Returns what it saw.
std::vector<Observed> collect(TestSession& session, size_t base, size_t count,
                              milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  while (session.observedCount() - base < count && Clock::now() < deadline) {
    session.runMainFor(milliseconds(2));
  }
  session.runMainFor(session.quietPeriod());
  return session.observed(base, session.observedCount() - base);
}

void compareInOrder(const std::vector<Key>& expected, const std::vector<Observed>& seen,
                    std::vector<std::string>& problems) {
  const size_t common = std::min(expected.size(), seen.size());
  for (size_t i = 0; i < common; ++i) {
    if (compared(seen[i].key) != expected[i]) {
      problems.push_back("event " + std::to_string(i + 1) + ": expected " + describe(expected[i]) +
                         ", saw " + describe(seen[i].key));
      return;
    }
  }
  for (size_t i = common; i < expected.size(); ++i) {
    problems.push_back("missing: " + describe(expected[i]));
  }
  for (size_t i = common; i < seen.size(); ++i) {
    problems.push_back("not expected: " + describe(seen[i].key));
  }
}

// A flood's events may interleave on a Mac (Corvane's posts enter behind keys injected
// meanwhile), so it is held to what must not change: the keys that pass arrive in order, one
// marked keystroke per translated key, nothing of a swallowed key, and no key left down.
void checkFlood(const Scenario& scenario, const std::vector<Observed>& seen,
                std::vector<std::string>& problems) {
  std::vector<Key> wantPassed, wantPosted, gotPassed, gotPosted;
  for (const Key& key : scenario.expected) {
    (key.userData == kEventMarker ? wantPosted : wantPassed).push_back(key);
  }
  for (const Observed& o : seen) {
    (o.key.userData == kEventMarker ? gotPosted : gotPassed).push_back(compared(o.key));
  }
  std::vector<std::string> passedProblems, postedProblems;
  std::vector<Observed> asObserved;
  for (const Key& key : gotPassed) asObserved.push_back({key, {}});
  compareInOrder(wantPassed, asObserved, passedProblems);
  asObserved.clear();
  for (const Key& key : gotPosted) asObserved.push_back({key, {}});
  compareInOrder(wantPosted, asObserved, postedProblems);
  for (auto& p : passedProblems) problems.push_back("passed keys: " + p);
  for (auto& p : postedProblems) problems.push_back("posted keys: " + p);
  if (gotPassed.size() != wantPassed.size() || gotPosted.size() != wantPosted.size()) {
    problems.push_back("saw " + std::to_string(gotPassed.size()) + " passed and " +
                       std::to_string(gotPosted.size()) + " posted events, expected " +
                       std::to_string(wantPassed.size()) + " and " +
                       std::to_string(wantPosted.size()));
  }
  // Every key-down has its key-up, none comes twice, and nothing is left down.
  std::map<int64_t, bool> down;
  for (const Observed& o : seen) {
    if (o.key.type == kEventKeyDown) {
      if (down[o.key.code]) problems.push_back("a second key-down while down: " + describe(o.key));
      down[o.key.code] = true;
    } else if (o.key.type == kEventKeyUp) {
      if (!down[o.key.code])
        problems.push_back("a key-up without its key-down: " + describe(o.key));
      down[o.key.code] = false;
    }
  }
  for (const auto& [code, isDown] : down) {
    if (isDown) problems.push_back("stuck down: key " + std::to_string(code));
  }
}

// Inject-to-observer times of a flood: the i-th passed key with the i-th passed event seen, the
// i-th translated key-down with the i-th posted key-down seen.
void floodLatencies(const Scenario& scenario, const std::vector<Clock::time_point>& injectedAt,
                    const std::vector<Observed>& seen, Measurements& measurements) {
  std::vector<Clock::time_point> passedAt, translatedAt;
  for (size_t i = 0; i < scenario.steps.size(); ++i) {
    const Step& step = scenario.steps[i];
    if (step.kind != Step::Kind::key) continue;
    if (step.fate == Step::Fate::passes) passedAt.push_back(injectedAt[i]);
    if (step.fate == Step::Fate::translated) translatedAt.push_back(injectedAt[i]);
  }
  size_t passed = 0, posted = 0;
  for (const Observed& o : seen) {
    if (o.key.userData != kEventMarker) {
      if (passed < passedAt.size()) {
        measurements.passLatencyMicros.push_back(micros(o.at - passedAt[passed]));
      }
      ++passed;
    } else if (o.key.type == kEventKeyDown) {
      if (posted < translatedAt.size()) {
        measurements.translatedLatencyMicros.push_back(micros(o.at - translatedAt[posted]));
      }
      ++posted;
    }
  }
}

}  // namespace

std::string describe(const Key& key) {
  return typeName(key.type) + " " + std::to_string(key.code) + " flags " + hex(key.flags) +
         " userData " + std::to_string(key.userData);
}

ScenarioResult Runner::run(const Scenario& scenario, Measurements& measurements) {
  ScenarioResult result{scenario.name, false, {}};
  auto& problems = result.problems;
  auto manager = std::make_shared<KeyboardShortcutManager>(session_.platform());
  manager->swapFnAndControl = scenario.swapFnAndControl;
  manager->swapOptionAndCommand = scenario.swapOptionAndCommand;
  if (!scenario.rules.empty()) {
    RulesParse parse = parseRules(scenario.rules);
    if (!parse.rules) {
      problems.push_back("the table's rules file: " + parse.error.describe());
      return result;
    }
    setRules(*manager, std::move(*parse.rules));
  }
  if (!session_.makeFrontmost(scenario.frontmost)) {
    problems.push_back(scenario.frontmost + " did not come to the front");
    return result;
  }

  manager->start();
  if (!session_.waitForEngineTap(*manager)) {
    problems.push_back("Corvane's tap did not start");
    manager->stop();
    return result;
  }
  const size_t base = session_.observedCount();
  std::vector<Clock::time_point> injectedAt(scenario.steps.size());
  for (size_t i = 0; i < scenario.steps.size(); ++i) {
    const Step& step = scenario.steps[i];
    switch (step.kind) {
      case Step::Kind::key:
        injectedAt[i] = Clock::now();
        session_.inject(step.key);
        if (!scenario.flood) {
          session_.runMainFor(session_.keyInterval());
        } else if (session_.floodInterval().count() > 0) {
          std::this_thread::sleep_for(session_.floodInterval());
        }
        break;
      case Step::Kind::stop:
        manager->stop();
        break;
      case Step::Kind::pause:
        session_.runMainFor(step.pause);
        break;
      case Step::Kind::start:
        manager->start();
        if (!session_.waitForEngineTap(*manager)) {
          problems.push_back("Corvane's tap did not start again");
        }
        break;
    }
  }
  const auto seen = collect(session_, base, scenario.expected.size(),
                            scenario.flood ? milliseconds(30000) : milliseconds(5000));
  manager->stop();

  if (scenario.flood) {
    checkFlood(scenario, seen, problems);
    floodLatencies(scenario, injectedAt, seen, measurements);
  } else {
    compareInOrder(scenario.expected, seen, problems);
    // Where the table expects a posted keystroke and one of that key came: was it marked?
    for (size_t i = 0; i < std::min(seen.size(), scenario.expected.size()); ++i) {
      const Key& want = scenario.expected[i];
      if (want.userData != kEventMarker || seen[i].key.type != want.type ||
          seen[i].key.code != want.code) {
        continue;
      }
      ++measurements.postedSeen;
      if (seen[i].key.userData == kEventMarker) ++measurements.postedMarked;
    }
  }
  result.passed = problems.empty();
  return result;
}

void Runner::measureInjectedFlags(Measurements& measurements) {
  static constexpr std::pair<const char*, int64_t> kKeys[] = {
      {"A", 0},           {"F1", 122},
      {"F2", 120},        {"F5", 96},
      {"F6", 97},         {"Left", 123},
      {"Right", 124},     {"Down", 125},
      {"Up", 126},        {"Home", 115},
      {"End", 119},       {"Page Up", 116},
      {"Page Down", 121}, {"Forward Delete", 117},
  };
  for (const auto& [name, code] : kKeys) {
    const size_t base = session_.observedCount();
    session_.inject({kEventKeyDown, code, 0, 0});
    session_.inject({kEventKeyUp, code, 0, 0});
    const auto seen = collect(session_, base, 2, milliseconds(2000));
    std::optional<EventFlags> flags;
    for (const Observed& o : seen) {
      if (o.key.type == kEventKeyDown && o.key.code == code) flags = o.key.flags;
    }
    measurements.injectedFlags.push_back({name, code, flags});
  }
}

namespace {

double percentile(std::vector<double> values, double p) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const auto rank = static_cast<size_t>(p / 100.0 * static_cast<double>(values.size()) + 0.999999);
  return values[std::clamp<size_t>(rank, 1, values.size()) - 1];
}

std::string flagNames(EventFlags flags) {
  static constexpr std::pair<EventFlags, const char*> kNames[] = {
      {0x10000, "Caps Lock"},  {kFlagShift, "Shift"},     {kFlagControl, "Control"},
      {kFlagOption, "Option"}, {kFlagCommand, "Command"}, {0x200000, "numeric pad"},
      {0x400000, "Help"},      {kFlagFn, "Fn"},           {0x100, "non-coalesced"},
  };
  std::string names;
  EventFlags rest = flags;
  for (const auto& [bit, name] : kNames) {
    if ((flags & bit) == 0) continue;
    names += names.empty() ? "" : ", ";
    names += name;
    rest &= ~bit;
  }
  if (rest != 0) names += (names.empty() ? "other bits " : ", other bits ") + hex(rest);
  return names.empty() ? "none" : names;
}

std::string latencyRow(const char* what, const std::vector<double>& values) {
  if (values.empty()) return std::string("| ") + what + " | not measured |\n";
  char text[160];
  std::snprintf(text, sizeof text, "| %s | %.0f µs / %.0f µs (%zu events) |\n", what,
                percentile(values, 50), percentile(values, 99), values.size());
  return text;
}

}  // namespace

std::string measurementTable(const TestSession& session, const Measurements& m) {
  std::string out = "### What the session did (" + session.description() + ")\n\n";
  out += "| injected key-down, flags 0 | flags a session tap saw |\n|---|---|\n";
  for (const auto& k : m.injectedFlags) {
    out += "| " + k.key + " (" + std::to_string(k.code) + ") | " +
           (k.observed ? hex(*k.observed) + " (" + flagNames(*k.observed) + ")" : "not seen") +
           " |\n";
  }
  out += "\n| measure | value |\n|---|---|\n";
  out += "| Corvane's posted keystrokes seen marked (field 42 = 1) | " +
         std::to_string(m.postedMarked) + " of " + std::to_string(m.postedSeen) + " |\n";
  out += "| events of other processes the observer let go by unread | " +
         std::to_string(session.ignoredCount()) + " |\n";
  out += latencyRow("latency, key passed by Corvane, inject to observer, p50 / p99",
                    m.passLatencyMicros);
  out += latencyRow("latency, Fn+C to the posted Cmd+C, p50 / p99", m.translatedLatencyMicros);
  return out;
}

}  // namespace corvane::e2e
