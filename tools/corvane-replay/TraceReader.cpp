#include "tools/corvane-replay/TraceReader.h"

#include <cerrno>
#include <cstring>

namespace corvane::replay {

namespace {
constexpr size_t kBlock = 1 << 16;
}

bool FileLineSource::nextLine(std::string_view& line) {
  for (;;) {
    const char* begin = buffer_.data() + start_;
    const size_t available = buffer_.size() - start_;
    if (const void* feed = std::memchr(begin, '\n', available)) {
      const size_t length = static_cast<size_t>(static_cast<const char*>(feed) - begin);
      line = std::string_view(begin, length);
      start_ += length + 1;
      return true;
    }
    if (eof_ || error_ != 0) {
      if (available == 0 || error_ != 0) return false;
      line = std::string_view(begin, available);  // a last line without a line feed
      start_ = buffer_.size();
      return true;
    }
    buffer_.erase(0, start_);
    start_ = 0;
    const size_t kept = buffer_.size();
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
  if (feed == std::string_view::npos) {
    line = rest_;
    done_ = true;
    return true;
  }
  line = rest_.substr(0, feed);
  rest_.remove_prefix(feed + 1);
  return true;
}

TraceReader::Status TraceReader::next(TraceRecord& record) {
  std::string_view line;
  while (lines_.nextLine(line)) {
    ++lineNumber_;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (isSkippedLine(line)) continue;
    return parser_.parse(line, record) ? Status::record : Status::badLine;
  }
  return lines_.failed() != 0 ? Status::readFailed : Status::end;
}

}  // namespace corvane::replay
