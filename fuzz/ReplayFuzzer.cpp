// corvane-replay on arbitrary bytes, run in-process through its command line (runReplayTool)
// on the real engine and tap threads. Whatever the input: no crash, hang or leak (the
// sanitizers and libFuzzer's timeout watch those), and the run ends as the trace's first bad
// line says it must. The parser, reading the same text on its own, is the reference: when it
// finds a bad line N, the tool exits with status 2 and its last words on standard error are
// "corvane-replay: line N: <the parser's message>"; otherwise it exits with 0 and says nothing.
//
// An input whose first line is "#repeat N" stands for a longer one: the bytes after that line, up
// to the next line feed, repeated N times (at most kMaxRepeated bytes in all), then the rest of
// the input as it is. Both readings get it as a stream that is never held whole, so short seeds
// reach the 1 MiB line limit, and a reader that kept a whole long line in memory trips the
// fuzzer's malloc limit (scripts/fuzz).
#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "tools/corvane-replay/ReplayTool.h"
#include "tools/corvane-replay/TraceReader.h"

namespace {

std::FILE* nullOutput() {
  static std::FILE* out = std::fopen("/dev/null", "w");
  return out;
}

constexpr uint64_t kMaxRepeated = uint64_t{3} << 20;

// The input as the tool reads it: a header line, one unit repeated, the rest (see above).
struct Expanded {
  std::string_view header, unit, rest;
  uint64_t repeats = 0;
  uint64_t position = 0;

  uint64_t size() const { return header.size() + unit.size() * repeats + rest.size(); }
  size_t read(char* out, size_t n) {
    size_t done = 0;
    while (done < n && position < size()) {
      uint64_t at = position;
      std::string_view part;
      if (at < header.size()) {
        part = header.substr(at);
      } else if ((at -= header.size()) < unit.size() * repeats) {
        part = unit.substr(at % unit.size());
      } else {
        part = rest.substr(at - unit.size() * repeats);
      }
      const size_t take = std::min(part.size(), n - done);
      std::memcpy(out + done, part.data(), take);
      done += take;
      position += take;
    }
    return done;
  }
};

Expanded expand(std::string_view text) {
  Expanded e;
  e.rest = text;
  constexpr std::string_view kHeader = "#repeat ";
  const size_t feed = text.find('\n');
  if (!text.starts_with(kHeader) || feed == std::string_view::npos) return e;
  uint64_t count = 0;
  const char* digits = text.data() + kHeader.size();
  const auto [end, ec] = std::from_chars(digits, text.data() + feed, count);
  if (ec != std::errc() || end != text.data() + feed) return e;
  e.header = text.substr(0, feed + 1);
  const std::string_view after = text.substr(feed + 1);
  const size_t unitEnd = std::min(after.find('\n'), after.size());
  e.unit = after.substr(0, unitEnd);
  e.rest = after.substr(unitEnd);
  e.repeats = e.unit.empty() ? 0 : std::min<uint64_t>(count, kMaxRepeated / e.unit.size());
  return e;
}

// A read-only stream of the expanded input, made without holding it.
std::FILE* openExpanded(const Expanded& input) {
  auto* state = new Expanded(input);
#if defined(__APPLE__)
  return funopen(
      state,
      [](void* c, char* out, int n) {
        return static_cast<int>(static_cast<Expanded*>(c)->read(out, static_cast<size_t>(n)));
      },
      nullptr, nullptr,
      [](void* c) {
        delete static_cast<Expanded*>(c);
        return 0;
      });
#else
  cookie_io_functions_t functions{};
  functions.read = [](void* c, char* out, size_t n) {
    return static_cast<ssize_t>(static_cast<Expanded*>(c)->read(out, n));
  };
  functions.close = [](void* c) {
    delete static_cast<Expanded*>(c);
    return 0;
  };
  return fopencookie(state, "rb", functions);
#endif
}

[[noreturn]] void fail(const std::string& what, int status, std::string_view err) {
  std::fprintf(stderr, "replay fuzzer: %s\nexit status %d, standard error:\n%.*s\n", what.c_str(),
               status, static_cast<int>(err.size()), err.data());
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const Expanded input = expand(text);

  // What the parser alone says about the trace.
  std::string expectedErr;
  {
    // A plain input is read from memory, so that the tool's stream reading is checked against
    // the other line source too.
    std::FILE* stream = input.header.empty() ? nullptr : openExpanded(input);
    corvane::replay::StringLineSource memoryLines(text);
    corvane::replay::FileLineSource streamLines(stream);
    corvane::replay::TraceReader reader(
        stream == nullptr ? static_cast<corvane::replay::LineSource&>(memoryLines) : streamLines);
    corvane::replay::TraceRecord record;
    for (;;) {
      const auto status = reader.next(record);
      if (status == corvane::replay::TraceReader::Status::record) continue;
      if (status == corvane::replay::TraceReader::Status::badLine) {
        if (reader.error().empty()) fail("a bad line without a message", -1, {});
        expectedErr = "corvane-replay: line " + std::to_string(reader.lineNumber()) + ": " +
                      reader.error() + "\n";
      }
      break;
    }
    if (stream != nullptr) std::fclose(stream);
  }

  // The tool on the same bytes, as standard input.
  std::FILE* in = openExpanded(input);
  char* errText = nullptr;
  size_t errSize = 0;
  std::FILE* err = open_memstream(&errText, &errSize);
  if (in == nullptr || err == nullptr || nullOutput() == nullptr) {
    std::perror("replay fuzzer: cannot open the streams");
    std::abort();
  }
  const char* args[] = {"corvane-replay"};
  const int status = corvane::replay::runReplayTool(args, in, nullOutput(), err);
  std::fclose(in);
  std::fclose(err);
  const std::string errors(errText, errSize);
  std::free(errText);

  if (expectedErr.empty()) {
    if (status != corvane::replay::kExitSuccess || !errors.empty()) {
      fail("a good trace did not replay cleanly", status, errors);
    }
  } else if (status != corvane::replay::kExitBadInput || errors != expectedErr) {
    fail("a bad trace must end with \"" + expectedErr.substr(0, expectedErr.size() - 1) +
             "\" and exit status 2",
         status, errors);
  }
  return 0;
}
