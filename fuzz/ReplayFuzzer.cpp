// corvane-replay on arbitrary bytes, run in-process through its command line (runReplayTool)
// on the real engine and tap threads. Whatever the input: no crash, hang or leak (the
// sanitizers and libFuzzer's timeout watch those), and the run ends as the trace's first bad
// line says it must. The parser, reading the same text on its own, is the reference: when it
// finds a bad line N, the tool exits with status 2 and its last words on standard error are
// "corvane-replay: line N: <the parser's message>"; otherwise it exits with 0 and says nothing.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "tools/corvane-replay/ReplayTool.h"
#include "tools/corvane-replay/TraceReader.h"

namespace {

std::FILE* nullOutput() {
  static std::FILE* out = std::fopen("/dev/null", "w");
  return out;
}

[[noreturn]] void fail(const std::string& what, int status, std::string_view err) {
  std::fprintf(stderr, "replay fuzzer: %s\nexit status %d, standard error:\n%.*s\n", what.c_str(),
               status, static_cast<int>(err.size()), err.data());
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);

  // What the parser alone says about the trace.
  std::string expectedErr;
  {
    corvane::replay::StringLineSource lines(text);
    corvane::replay::TraceReader reader(lines);
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
  }

  // The tool on the same bytes, as standard input.
  std::FILE* in =
      text.empty() ? std::fopen("/dev/null", "rb") : fmemopen(text.data(), text.size(), "rb");
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
