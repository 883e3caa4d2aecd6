#include "tools/corvane-replay/ReplayTool.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "tools/corvane-replay/Replayer.h"

namespace corvane::replay {
namespace {

constexpr std::string_view kUsage =
    "Usage: corvane-replay [--rules RULES] [FILE]\n"
    "Replays a recorded key-event trace through Corvane's engine on a simulated keyboard\n"
    "session with a virtual clock, and prints what the frontmost application receives.\n"
    "\n"
    "FILE holds JSON Lines, one record per line; without FILE, or with \"-\", standard input\n"
    "is read. Output, on standard output, is JSON Lines in time order:\n"
    "  {\"at\":T,\"app\":{\"key\":\"down\",\"code\":8,\"flags\":1048576,\"userData\":1}}\n"
    "  {\"at\":T,\"open\":\"/System/Library/CoreServices/Finder.app\"}\n"
    "  {\"at\":T,\"isEnabled\":true}\n"
    "\n"
    "Input records (\"at\": milliseconds since the trace began, never decreasing):\n"
    "  {\"at\":T,\"key\":\"down\"|\"up\"|\"flags\",\"code\":K,\"flags\":F,\"userData\":U}\n"
    "  {\"at\":T,\"frontmost\":\"com.apple.Safari\"}      (null: none, \"\": no bundle id)\n"
    "  {\"at\":T,\"set\":\"swapFnAndControl\"|\"swapOptionAndCommand\",\"value\":false}\n"
    "  {\"at\":T,\"do\":\"start\"|\"stop\"}\n"
    "  {\"at\":T,\"trusted\":false}\n"
    "  {\"at\":T,\"system\":\"disableTapByTimeout\"|\"disableTapByUserInput\"}\n"
    "  {\"at\":T,\"rules\":{...}}   (a rules file's object; null: the built-in rules alone)\n"
    "Blank lines and lines starting with # are skipped. tools/README.md has the details.\n"
    "\n"
    "Options:\n"
    "  --rules RULES  load a rules file (rules.json) before time 0, with its settings\n"
    "  -h, --help     print this help and exit\n"
    "\n"
    "Exit status: 0 on success; 2 for a bad line (\"corvane-replay: line N: ...\"), an\n"
    "unreadable FILE or a bad argument; 3 when the replay itself fails.\n";

void print(std::FILE* stream, std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stream);
}

void message(std::FILE* err, const std::string& text) {
  print(err, "corvane-replay: " + text + "\n");
}

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

}  // namespace

int runReplayTool(std::span<const char* const> args, std::FILE* in, std::FILE* out,
                  std::FILE* err) {
  const char* path = nullptr;
  const char* rulesPath = nullptr;
  bool options = true;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    if (options && (arg == "--rules" || arg.starts_with("--rules="))) {
      if (rulesPath != nullptr) {
        message(err, "--rules is given twice (try --help)");
        return kExitBadInput;
      }
      if (arg == "--rules") {
        if (i + 1 >= args.size()) {
          message(err, "--rules needs a file (try --help)");
          return kExitBadInput;
        }
        rulesPath = args[++i];
      } else {
        rulesPath = args[i] + std::string_view("--rules=").size();
      }
      continue;
    }
    if (options && (arg == "-h" || arg == "--help")) {
      print(out, kUsage);
      return std::fflush(out) == 0 ? kExitSuccess : kExitBadInput;
    }
    if (options && arg == "--") {
      options = false;
      continue;
    }
    if (options && arg.size() > 1 && arg[0] == '-') {
      message(err, "unknown option " + std::string(arg) + " (try --help)");
      return kExitBadInput;
    }
    if (path != nullptr) {
      message(err, "too many arguments: one FILE at most (try --help)");
      return kExitBadInput;
    }
    path = args[i];
  }

  std::optional<RulesFile> rules;
  if (rulesPath != nullptr) {
    RulesLoad load = loadRulesFile(rulesPath);
    if (load.status == RulesLoad::Status::missing) {
      message(err, std::string(rulesPath) + ": cannot read the file: " + std::strerror(ENOENT));
      return kExitBadInput;
    }
    if (load.status == RulesLoad::Status::failed) {
      message(err, std::string(rulesPath) + ": " + load.error.describe());
      return kExitBadInput;
    }
    rules = std::move(load.rules);
  }

  std::unique_ptr<std::FILE, FileCloser> opened;
  std::FILE* input = in;
  std::string inputName = "standard input";
  if (path != nullptr && std::string_view(path) != "-") {
    inputName = path;
    errno = 0;
    opened.reset(std::fopen(path, "rb"));
    int error = errno;
    if (opened) {
      struct stat info {};
      if (fstat(fileno(opened.get()), &info) == 0 && S_ISDIR(info.st_mode)) {
        opened.reset();
        error = EISDIR;
      }
    }
    if (!opened) {
      message(err, "cannot open " + inputName + ": " + std::strerror(error != 0 ? error : EIO));
      return kExitBadInput;
    }
    input = opened.get();
  }

  FileLineSource lines(input);
  TraceReader reader(lines);
  FileOutputSink sink(out);
  TraceReader::Status status = TraceReader::Status::end;
  try {
    Replayer replayer(sink);
    if (rules) replayer.useRules(*rules);
    status = replayer.run(reader);
  } catch (const std::exception& failure) {
    std::fflush(out);
    message(err, std::string("internal error: ") + failure.what());
    return kExitInternalError;
  }
  if (std::fflush(out) != 0 || std::ferror(out)) {
    message(err, std::string("cannot write the output: ") + std::strerror(errno));
    return kExitBadInput;
  }
  switch (status) {
    case TraceReader::Status::badLine:
      message(err, "line " + std::to_string(reader.lineNumber()) + ": " + reader.error());
      return kExitBadInput;
    case TraceReader::Status::readFailed:
      message(err, "cannot read " + inputName + ": " + std::strerror(reader.readError()));
      return kExitBadInput;
    default:
      return kExitSuccess;
  }
}

}  // namespace corvane::replay
