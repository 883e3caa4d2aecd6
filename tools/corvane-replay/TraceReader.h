// Reads a trace line by line: skips blank and comment lines, parses the others and counts lines.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "tools/corvane-replay/TraceRecord.h"

namespace corvane::replay {

// Where the lines of a trace come from.
class LineSource {
 public:
  virtual ~LineSource() = default;
  // The next line without its line feed; the view stays valid until the next call. False at the
  // end of the input or when reading failed (see failed()).
  virtual bool nextLine(std::string_view& line) = 0;
  // The errno of a failed read, or 0.
  virtual int failed() const { return 0; }
};

// Lines of a C stream, read in large blocks.
class FileLineSource final : public LineSource {
 public:
  explicit FileLineSource(std::FILE* file) : file_(file) {}
  bool nextLine(std::string_view& line) override;
  int failed() const override { return error_; }

 private:
  std::FILE* file_;
  std::string buffer_;
  size_t start_ = 0;  // of the unread part of buffer_
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
  const std::string& error() const { return parser_.error(); }
  int readError() const { return lines_.failed(); }

 private:
  LineSource& lines_;
  TraceParser parser_;
  uint64_t lineNumber_ = 0;
};

}  // namespace corvane::replay
