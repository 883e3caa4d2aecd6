#include "tools/corvane-replay/TraceReader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "tools/corvane-replay/MessageText.h"

namespace corvane::replay {

namespace {
constexpr size_t kBlock = 1 << 16;
constexpr size_t kMostHeld = kMaxLineBytes + kBlock;
}  // namespace

bool FileLineSource::nextLine(std::string_view& line) {
  for (;;) {
    const char* begin = buffer_.data() + start_;
    const size_t available = buffer_.size() - start_;
    const void* feed = available == 0 ? nullptr : std::memchr(begin, '\n', available);
    if (skipping_) {
      // The rest of a line too long to hand on: dropped as it comes.
      if (feed != nullptr) {
        start_ += static_cast<size_t>(static_cast<const char*>(feed) - begin) + 1;
        skipping_ = false;
        continue;
      }
      start_ = buffer_.size();
    } else if (feed != nullptr) {
      const size_t length = static_cast<size_t>(static_cast<const char*>(feed) - begin);
      if (length > kMaxLineBytes) {
        line = std::string_view(begin, kMaxLineBytes + 1);
        start_ += length + 1;
        return true;
      }
      line = std::string_view(begin, length);
      start_ += length + 1;
      return true;
    } else if (available > kMaxLineBytes) {
      line = std::string_view(begin, kMaxLineBytes + 1);
      start_ = buffer_.size();
      skipping_ = true;
      return true;
    } else if (eof_ || error_ != 0) {
      if (available == 0 || error_ != 0) return false;
      line = std::string_view(begin, available);  // a last line without a line feed
      start_ = buffer_.size();
      return true;
    }
    if (eof_ || error_ != 0) return false;
    buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(start_));
    start_ = 0;
    const size_t kept = buffer_.size();  // at most kMaxLineBytes
    if (kept + kBlock > buffer_.capacity()) {
      buffer_.reserve(std::min(std::max(2 * buffer_.capacity(), kept + kBlock), kMostHeld));
    }
    buffer_.resize(kept + kBlock);
    const size_t got = std::fread(buffer_.data() + kept, 1, kBlock, file_);
    buffer_.resize(kept + got);
    if (got < kBlock) {
      if (std::ferror(file_)) {
        error_ = errno != 0 ? errno : EIO;
      } else if (std::feof(file_)) {
        eof_ = true;
      }
    }
  }
}

bool StringLineSource::nextLine(std::string_view& line) {
  if (done_ || rest_.empty()) return false;
  const size_t feed = rest_.find('\n');
  const size_t length = feed == std::string_view::npos ? rest_.size() : feed;
  line = rest_.substr(0, std::min(length, kMaxLineBytes + 1));
  if (feed == std::string_view::npos) {
    done_ = true;
  } else {
    rest_.remove_prefix(feed + 1);
  }
  return true;
}

std::string lineProblem(std::string_view line) {
  if (line.size() > kMaxLineBytes) {
    return "longer than 1 MiB (the most a line may hold is " + std::to_string(kMaxLineBytes) +
           " bytes)";
  }
  if (const void* nul = std::memchr(line.data(), '\0', line.size())) {
    const auto column = static_cast<const char*>(nul) - line.data() + 1;
    return "a NUL byte at column " + std::to_string(column) + " (a trace is text)";
  }
  return {};
}

TraceReader::Status TraceReader::next(TraceRecord& record) {
  std::string_view line;
  while (lines_.nextLine(line)) {
    ++lineNumber_;
    error_ = lineProblem(line);
    if (!error_.empty()) return Status::badLine;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (isSkippedLine(line)) continue;
    if (parser_.parse(line, record)) return Status::record;
    error_ = capMessage(parser_.error());
    return Status::badLine;
  }
  return lines_.failed() != 0 ? Status::readFailed : Status::end;
}

}  // namespace corvane::replay
