// Reads a trace line by line: skips blank and comment lines, parses the others and counts lines.
// A line longer than kMaxLineBytes, or holding a NUL byte, is a bad line: a trace is text, and
// reading never holds more than one such line's worth of input.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "tools/corvane-replay/TraceRecord.h"

namespace corvane::replay {

inline constexpr size_t kMaxLineBytes = size_t{1} << 20;  // 1 MiB

// Where the lines of a trace come from. A line longer than kMaxLineBytes is handed on cut to
// kMaxLineBytes + 1 bytes, so that the reader can tell, and the rest of it is skipped.
class LineSource {
 public:
  virtual ~LineSource() = default;
  // The next line without its line feed; the view stays valid until the next call. False at the
  // end of the input or when reading failed (see failed()).
  virtual bool nextLine(std::string_view& line) = 0;
  // The errno of a failed read, or 0.
  virtual int failed() const { return 0; }
};

// Lines of a C stream, read in large blocks into a buffer that never grows past
// kMaxLineBytes + 1 + one block, whatever the input.
class FileLineSource final : public LineSource {
 public:
  explicit FileLineSource(std::FILE* file) : file_(file) {}
  // The buffer's size in bytes: what is held of the input (tests).
  size_t bufferCapacity() const { return buffer_.capacity(); }
  bool nextLine(std::string_view& line) override;
  int failed() const override { return error_; }

 private:
  std::FILE* file_;
  std::vector<char> buffer_;  // grows to at most kMaxLineBytes + one block, exactly
  size_t start_ = 0;          // of the unread part of buffer_
  bool skipping_ = false;     // the rest of a line too long to hand on
  bool eof_ = false;
  int error_ = 0;
};

// Lines of a text held in memory (tests, fuzzing, benchmarks).
class StringLineSource final : public LineSource {
 public:
  explicit StringLineSource(std::string_view text) : rest_(text) {}
  bool nextLine(std::string_view& line) override;

 private:
  std::string_view rest_;
  bool done_ = false;
};

// The text of a line that is too long or holds a NUL byte, or nothing (tests, fuzzing).
std::string lineProblem(std::string_view line);

class TraceReader {
 public:
  enum class Status {
    record,      // a record was read
    end,         // the input ended
    badLine,     // a line is wrong: lineNumber() and error() tell which and why
    readFailed,  // the input could not be read: readError() is the errno
  };

  explicit TraceReader(LineSource& lines) : lines_(lines) {}
  Status next(TraceRecord& record);

  uint64_t lineNumber() const { return lineNumber_; }  // of the line last read, from 1
  const std::string& error() const { return error_; }
  int readError() const { return lines_.failed(); }

 private:
  LineSource& lines_;
  TraceParser parser_;
  uint64_t lineNumber_ = 0;
  std::string error_;
};

}  // namespace corvane::replay
