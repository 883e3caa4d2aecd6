// Replays a trace through a new KeyboardShortcutManager on a simulated session with a virtual
// clock, and writes what the frontmost application receives, the applications the workspace is
// asked to open and every assignment of isEnabled, as JSON Lines in time order.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string_view>

#include "rules/RulesFile.h"
#include "tools/corvane-replay/TraceReader.h"

namespace corvane::replay {

// Where the output lines go.
class OutputSink {
 public:
  virtual ~OutputSink() = default;
  virtual void write(std::string_view text) = 0;
};

class FileOutputSink final : public OutputSink {
 public:
  explicit FileOutputSink(std::FILE* file) : file_(file) {}
  void write(std::string_view text) override { std::fwrite(text.data(), 1, text.size(), file_); }

 private:
  std::FILE* file_;
};

// The replay could not go on for a reason that is not the trace's (a tap thread that never
// finished its set-up).
class ReplayFailure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct ReplayCounts {
  uint64_t records = 0;  // trace records handled
  uint64_t lines = 0;    // output lines written
};

class Replayer {
 public:
  explicit Replayer(OutputSink& out);
  ~Replayer();
  Replayer(const Replayer&) = delete;
  Replayer& operator=(const Replayer&) = delete;

  // Loads rules before time 0, with their settings, as the program does at launch.
  void useRules(const RulesFile& rules);

  // Adds a line for each unmarked key-down of the trace: the keys, how the engine read them and
  // what its decision came to (an open key viewer records them).
  void explain();

  // Replays the trace to its end and writes the output. Returns TraceReader::Status::end, or the
  // reader's badLine / readFailed status: the run then ends at that line, and the output of the
  // lines before it has been written. A Replayer replays one trace.
  TraceReader::Status run(TraceReader& reader);

  ReplayCounts counts() const;

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace corvane::replay
