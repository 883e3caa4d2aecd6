// The scenario table, read from scenarios.txt (its header says how it is written).
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

#include "tests/e2e/EndToEnd.h"

namespace corvane::e2e {
namespace {

[[noreturn]] void bad(size_t line, const std::string& text) {
  std::fprintf(stderr, "corvane-e2e: %s, line %zu: cannot read \"%s\"\n", CORVANE_E2E_SCENARIOS,
               line, text.c_str());
  std::exit(2);
}

// "down 8 Fn+Shift marked", "posted up 36", "flags 63", "stop", "pause 200".
Step readStep(const std::string& text, size_t line) {
  std::istringstream in(text);
  std::string word, flags, marked;
  in >> word;
  if (word == "stop" || word == "start") {
    return {word == "stop" ? Step::Kind::stop : Step::Kind::start};
  }
  int64_t number = 0;
  if (word == "pause" && in >> number) {
    return {Step::Kind::pause, {}, Step::Fate::passes, std::chrono::milliseconds(number)};
  }
  Key key{};
  if (word == "posted") {
    key.userData = kEventMarker;
    in >> word;
  }
  static const std::pair<std::string_view, EventType> kTypes[] = {
      {"down", kEventKeyDown}, {"up", kEventKeyUp}, {"flags", kEventFlagsChanged}};
  static const std::pair<std::string_view, EventFlags> kFlags[] = {{"Fn", kFlagFn},
                                                                   {"Command", kFlagCommand},
                                                                   {"Option", kFlagOption},
                                                                   {"Control", kFlagControl},
                                                                   {"Shift", kFlagShift}};
  const auto type = std::ranges::find(kTypes, word, [](const auto& t) { return t.first; });
  if (type == std::end(kTypes) || !(in >> key.code)) bad(line, text);
  key.type = type->second;
  while (in >> word) {
    if (word == "marked") {
      key.userData = kEventMarker;
      continue;
    }
    std::istringstream names(word);
    for (std::string name; std::getline(names, name, '+');) {
      const auto bit = std::ranges::find(kFlags, name, [](const auto& f) { return f.first; });
      if (bit == std::end(kFlags)) bad(line, text);
      key.flags |= bit->second;
    }
  }
  return {Step::Kind::key, key};
}

std::vector<std::string> split(const std::string& text) {
  std::vector<std::string> parts;
  std::istringstream in(text);
  for (std::string part; std::getline(in, part, '|');) parts.push_back(part);
  return parts;
}

// Presses of letters that pass, and every fourth press Fn+C (four events) that becomes
// Command-C, until there are 2,000 events (TestSession::floodInterval apart).
void flood(Scenario& s) {
  constexpr int64_t kLetters[] = {0, 1, 2, 3, 5, 4, 38, 40, 37};  // A S D F G H J K L
  const auto key = [](EventType type, int64_t code, EventFlags flags = 0, int64_t userData = 0) {
    return Key{type, code, flags, userData};
  };
  s.flood = true;
  for (size_t i = 0; s.steps.size() < 2000; ++i) {
    const int64_t letter = kLetters[i % std::size(kLetters)];
    std::vector<Key> typed = {key(kEventKeyDown, letter), key(kEventKeyUp, letter)};
    std::vector<Key> seen = typed;
    std::vector<Step::Fate> fates(2, Step::Fate::passes);
    if (i % 4 == 3) {
      typed = {key(kEventFlagsChanged, 63, kFlagFn), key(kEventKeyDown, 8, kFlagFn),
               key(kEventKeyUp, 8, kFlagFn), key(kEventFlagsChanged, 63)};
      seen = {typed[0], key(kEventKeyDown, 8, kFlagCommand, kEventMarker),
              key(kEventKeyUp, 8, kFlagCommand, kEventMarker), typed[3]};
      fates = {Step::Fate::passes, Step::Fate::translated, Step::Fate::swallowed,
               Step::Fate::passes};
    }
    for (size_t k = 0; k < typed.size(); ++k) {
      s.steps.push_back({Step::Kind::key, typed[k], fates[k]});
    }
    s.expected.insert(s.expected.end(), seen.begin(), seen.end());
  }
}

}  // namespace

std::vector<Scenario> scenarios() {
  static const std::vector<Scenario> table = [] {
    std::vector<Scenario> read;
    std::ifstream file(CORVANE_E2E_SCENARIOS);
    if (!file) bad(0, "the file");
    size_t number = 0;
    for (std::string line; std::getline(file, line);) {
      ++number;
      if (line.empty() || line[0] == '#') continue;
      const size_t space = line.find(' ');
      const std::string word = line.substr(0, space);
      const std::string rest = space == std::string::npos ? "" : line.substr(space + 1);
      if (word == "scenario") {
        read.push_back({.name = rest});
      } else if (read.empty()) {
        bad(number, line);
      } else if (word == "swaps" && rest == "off") {
        read.back().swapFnAndControl = read.back().swapOptionAndCommand = false;
      } else if (word == "rules") {
        read.back().rules = rest;
      } else if (word == "frontmost") {
        read.back().frontmost = rest;
      } else if (word == "flood") {
        flood(read.back());
      } else if (word == "keys") {
        for (const std::string& step : split(rest))
          read.back().steps.push_back(readStep(step, number));
      } else if (word == "expect" && rest == "as typed") {
        for (const Step& step : read.back().steps) {
          if (step.kind == Step::Kind::key) read.back().expected.push_back(step.key);
        }
      } else if (word == "expect") {
        for (const std::string& event : split(rest)) {
          const Step step = readStep(event, number);
          if (step.kind != Step::Kind::key) bad(number, event);
          read.back().expected.push_back(step.key);
        }
      } else {
        bad(number, line);
      }
    }
    return read;
  }();
  return table;
}

}  // namespace corvane::e2e
