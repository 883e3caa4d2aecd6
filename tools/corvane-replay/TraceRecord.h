// One record of a replay trace, and the parser that reads it from one line of JSON.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/EventTypes.h"
#include "rules/RulesFile.h"

namespace corvane::replay {

enum class RecordKind : uint8_t {
  key,            // the keyboard makes an event
  frontmost,      // the frontmost application changes
  set,            // the user sets a swap setting (main thread)
  start,          // the start/stop button calls start (main thread)
  stop,           // the start/stop button calls stop (main thread)
  record,         // the shortcut recorder starts taking every key (main thread)
  stopRecording,  // the shortcut recorder stops (main thread)
  trusted,        // the process becomes (or stops being) a trusted accessibility client
  system,         // the system disables the engine's tap
  rules,          // the rules file changes (main thread)
  secureInput,    // secure event input goes on (a password field has the keyboard) or off
  dock,           // the applications kept in the Dock change
};

enum class Setting : uint8_t { swapFnAndControl, swapOptionAndCommand };

struct TraceRecord {
  RecordKind kind = RecordKind::key;
  std::chrono::nanoseconds at{0};  // since the trace began

  // key
  EventType type = kEventKeyDown;
  int64_t code = 0;
  EventFlags flags = 0;
  int64_t userData = 0;
  // frontmost: none, or the bundle identifier ("" for an application without one)
  std::optional<std::string> frontmost;
  // set
  Setting setting = Setting::swapFnAndControl;
  // set: the value; trusted: whether the process is trusted; secureInput: whether it is on
  bool value = false;
  // system: kEventTapDisabledByTimeout or kEventTapDisabledByUserInput
  EventType reason = kEventTapDisabledByTimeout;
  // dock: the bundle identifiers kept in the Dock, in order (none: a spacer); Finder comes first
  std::vector<std::optional<std::string>> dock;
  // rules: the new rules, or none for the built-in rules alone
  std::shared_ptr<const RulesFile> rules;

  // set, start, stop and rules run on the main thread; the others act on the session at their time.
  bool onMainThread() const {
    return kind == RecordKind::set || kind == RecordKind::start || kind == RecordKind::stop ||
           kind == RecordKind::rules || kind == RecordKind::record ||
           kind == RecordKind::stopRecording;
  }
};

// The largest "at" a trace may use, in milliseconds (about 31 years).
inline constexpr int64_t kMaxTraceMilliseconds = 1'000'000'000'000;

// Blank lines and lines whose first non-blank character is '#' are not records.
bool isSkippedLine(std::string_view line);

// Parses record lines one after another: each "at" is checked against the previous record's.
// Any input is safe to hand it (a fuzzer drives it directly).
class TraceParser {
 public:
  // Parses one line that is neither blank nor a comment. On success fills `record` and returns
  // true; otherwise returns false, leaves the previous "at" as it was and error() tells what is
  // wrong with the line.
  bool parse(std::string_view line, TraceRecord& record);
  const std::string& error() const { return error_; }

 private:
  bool hasPrevious_ = false;
  double previousAt_ = 0;       // milliseconds, as written
  std::string previousAtText_;  // as written, for the message of a time that goes back
  std::string error_;
};

// Milliseconds as the output prints them: an integer when whole, else up to three decimals
// (rounded to the microsecond, no trailing zeros).
std::string formatMilliseconds(std::chrono::nanoseconds time);
void appendMilliseconds(std::string& out, std::chrono::nanoseconds time);

}  // namespace corvane::replay
