#include "tools/corvane-replay/ReplayTool.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "tools/corvane-replay/KeyPresser.h"
#include "tools/corvane-replay/MessageText.h"
#include "tools/corvane-replay/Replayer.h"

namespace corvane::replay {
namespace {

constexpr std::string_view kUsage =
    "Usage: corvane-replay [--rules RULES] [--explain] [FILE]\n"
    "       corvane-replay --press KEYS... [--app BUNDLE_ID] [--rules RULES]\n"
    "                      [--swap fn=on|off,option=on|off]\n"
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
    "  {\"at\":T,\"secureInput\":true}\n"
    "  {\"at\":T,\"rules\":{...}}   (a rules file's object; null: the built-in rules alone)\n"
    "  {\"at\":T,\"dock\":[\"com.apple.Safari\",null]}   (kept in the Dock after Finder; null:\n"
    "                                              a spacer)\n"
    "Blank lines and lines starting with # are skipped. tools/README.md has the details.\n"
    "\n"
    "Options:\n"
    "  --rules RULES  load a rules file (rules.json) before time 0, with its settings\n"
    "  --explain      add a line for each key-down of the trace: what Corvane read and why it\n"
    "                 translated it or let it pass\n"
    "  --press KEYS   press each KEYS (Mac names: fn+Left, Control+Shift+Tab, Cmd+F4) and print\n"
    "                 how Corvane reads it, what it decides and what it posts\n"
    "  --app ID       with --press: the application in front (a bundle identifier)\n"
    "  --swap S       with --press: the swap settings, fn=on|off and option=on|off\n"
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
  std::vector<const char*> positional;
  const char* rulesPath = nullptr;
  const char* appOption = nullptr;
  const char* swapOption = nullptr;
  bool press = false;
  bool explain = false;
  bool options = true;
  // An option with a value: "--name VALUE" or "--name=VALUE", given once.
  const auto valueOption = [&](size_t& i, std::string_view name, const char*& value,
                               std::string_view what) -> std::optional<bool> {
    const std::string_view arg = args[i];
    const std::string prefix = std::string(name) + "=";
    if (arg != name && !arg.starts_with(prefix)) return false;
    if (value != nullptr) {
      message(err, std::string(name) + " is given twice (try --help)");
      return std::nullopt;
    }
    if (arg == name) {
      if (i + 1 >= args.size()) {
        message(err, std::string(name) + " needs " + std::string(what) + " (try --help)");
        return std::nullopt;
      }
      value = args[++i];
    } else {
      value = args[i] + prefix.size();
    }
    return true;
  };
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    if (options) {
      bool taken = false;
      for (auto [name, value, what] :
           {std::tuple{"--rules", &rulesPath, "a file"},
            std::tuple{"--app", &appOption, "a bundle identifier"},
            std::tuple{"--swap", &swapOption, "fn=on|off,option=on|off"}}) {
        const std::optional<bool> found = valueOption(i, name, *value, what);
        if (!found) return kExitBadInput;
        if (*found) {
          taken = true;
          break;
        }
      }
      if (taken) continue;
      if (arg == "--press") {
        press = true;
        continue;
      }
      if (arg == "--explain") {
        explain = true;
        continue;
      }
      if (arg == "-h" || arg == "--help") {
        print(out, kUsage);
        return std::fflush(out) == 0 ? kExitSuccess : kExitBadInput;
      }
      if (arg == "--") {
        options = false;
        continue;
      }
      if (arg.size() > 1 && arg[0] == '-') {
        message(err, "unknown option " + shownName(arg) + " (try --help)");
        return kExitBadInput;
      }
    }
    positional.push_back(args[i]);
  }
  if (!press && (appOption != nullptr || swapOption != nullptr)) {
    message(err, std::string(appOption != nullptr ? "--app" : "--swap") +
                     " goes with --press (try --help)");
    return kExitBadInput;
  }
  if (press && explain) {
    message(err, "--explain is for a trace; --press explains every key already (try --help)");
    return kExitBadInput;
  }
  if (press && positional.empty()) {
    message(err, "--press needs KEYS, such as fn+C or Cmd+Tab (try --help)");
    return kExitBadInput;
  }
  if (!press && positional.size() > 1) {
    message(err, "too many arguments: one FILE at most (try --help)");
    return kExitBadInput;
  }
  const char* path = press || positional.empty() ? nullptr : positional.front();

  PressOptions pressOptions;
  if (press) {
    std::string error;
    for (const char* keys : positional) {
      // A control character or a byte outside UTF-8 is in no key name: said here, escaped.
      if (shownName(keys) != keys) {
        message(err, "--press: " + shownName(keys) + " is not a key name");
        return kExitBadInput;
      }
      if (!readPressedKeys(keys, error)) {
        message(err, "--press: " + error);
        return kExitBadInput;
      }
      pressOptions.keys.emplace_back(keys);
    }
    if (swapOption != nullptr && !readSwaps(swapOption, pressOptions, error)) {
      message(err, error);
      return kExitBadInput;
    }
    if (appOption != nullptr) pressOptions.app = appOption;
  }

  std::optional<RulesFile> rules;
  if (rulesPath != nullptr) {
    RulesLoad load = loadRulesFile(rulesPath);
    if (load.status == RulesLoad::Status::missing) {
      message(err, shownName(rulesPath) + ": cannot read the file: " + std::strerror(ENOENT));
      return kExitBadInput;
    }
    if (load.status == RulesLoad::Status::failed) {
      message(err, shownName(rulesPath) + ": " + load.error.describe());
      return kExitBadInput;
    }
    rules = std::move(load.rules);
  }

  if (press) {
    pressOptions.rules = rules ? &*rules : nullptr;
    try {
      pressKeys(pressOptions, out);
    } catch (const std::exception& failure) {
      std::fflush(out);
      message(err, std::string("internal error: ") + failure.what());
      return kExitInternalError;
    }
    if (std::fflush(out) != 0 || std::ferror(out)) {
      message(err, std::string("cannot write the output: ") + std::strerror(errno));
      return kExitBadInput;
    }
    return kExitSuccess;
  }

  std::unique_ptr<std::FILE, FileCloser> opened;
  std::FILE* input = in;
  std::string inputName = "standard input";
  if (path != nullptr && std::string_view(path) != "-") {
    inputName = shownName(path);
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
    if (explain) replayer.explain();
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
