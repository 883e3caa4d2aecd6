#include "app/CommandLine.h"

#include <algorithm>
#include <array>

namespace corvane {
namespace {

// Qt's own command-line options, which QApplication takes out of argv itself. The first group
// takes a value (the next argument, or after '='), the second stands alone.
constexpr std::array<std::string_view, 15> kQtOptionsWithValue = {
    "platform",        "platformpluginpath",
    "platformtheme",   "plugin",
    "qwindowgeometry", "geometry",
    "qwindowtitle",    "title",
    "qwindowicon",     "icon",
    "session",         "display",
    "style",           "stylesheet",
    "qmljsdebugger",
};
constexpr std::array<std::string_view, 5> kQtFlags = {"reverse", "widgetcount", "nograb", "dograb",
                                                      "testability"};

template <size_t N>
bool isOneOf(std::string_view name, const std::array<std::string_view, N>& names) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

}  // namespace

std::string versionText() {
  return std::string("Corvane ") + CORVANE_VERSION + "\n";
}

std::string usageText() {
  return "Usage: corvane [--help | --version | --start-check] [--report-state FILE]\n"
         "Corvane translates Windows-style keyboard shortcuts into their macOS equivalents.\n"
         "It runs in the menu bar: click its keyboard icon to show or hide its window.\n"
         "\n"
         "Options:\n"
         "  -h, --help                 print this help and exit\n"
         "      --version              print the version and exit\n"
         "      --start-check          start as far as the window and the status item, then\n"
         "                             exit 0; writes no settings, registers no login item,\n"
         "                             taps no keyboard and asks for no permission\n"
         "      --report-state FILE    while running, keep FILE holding one line of JSON:\n"
         "                             {\"trusted\":true|false,\"translating\":true|false}\n"
         "Qt's own options (-platform NAME, -style NAME, ...) are passed to Qt.\n"
         "\n"
         "Starting Corvane while it runs brings the running copy's window forward.\n"
         "Quit with Ctrl+Q in its window (Command-Q on a Mac), or with SIGINT or SIGTERM.\n";
}

CommandLine parseCommandLine(std::span<const char* const> args) {
  CommandLine result;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string_view arg = args[i] != nullptr ? args[i] : "";
    if (arg == "-h" || arg == "--help") {
      result.action = CommandLine::Action::help;
      return result;
    }
    if (arg == "--version") {
      result.action = CommandLine::Action::version;
      return result;
    }
    if (arg == "--start-check") {
      result.startCheck = true;
      continue;
    }
    if (arg == "--report-state" || arg.starts_with("--report-state=")) {
      constexpr std::string_view kName = "--report-state";
      const char* file = arg.size() > kName.size() ? args[i] + kName.size() + 1
                         : i + 1 < args.size()     ? args[++i]
                                                   : nullptr;
      if (file == nullptr || *file == '\0') {
        result.action = CommandLine::Action::error;
        result.error = "--report-state needs a file";
        return result;
      }
      result.reportState = file;
      continue;
    }
    // Launch Services passed a process serial number to programs it started on old macOS.
    if (arg.starts_with("-psn_")) continue;
    if (arg.size() > 1 && arg[0] == '-') {
      std::string_view name = arg.substr(arg[1] == '-' ? 2 : 1);
      const size_t equals = name.find('=');
      const bool hasInlineValue = equals != std::string_view::npos;
      if (hasInlineValue) name = name.substr(0, equals);
      if (isOneOf(name, kQtOptionsWithValue)) {
        if (!hasInlineValue) ++i;  // the value; Qt reports a missing one itself
        continue;
      }
      if (isOneOf(name, kQtFlags) && !hasInlineValue) continue;
      result.action = CommandLine::Action::error;
      result.error = "unknown option " + std::string(arg);
      return result;
    }
    result.action = CommandLine::Action::error;
    result.error = "unexpected argument " + std::string(arg) + " (Corvane opens no files)";
    return result;
  }
  return result;
}

std::optional<int> answerCommandLine(std::span<const char* const> args, std::ostream& out,
                                     std::ostream& err) {
  const CommandLine command = parseCommandLine(args);
  switch (command.action) {
    case CommandLine::Action::run:
      return std::nullopt;
    case CommandLine::Action::help:
      out << usageText() << std::flush;
      return 0;
    case CommandLine::Action::version:
      out << versionText() << std::flush;
      return 0;
    case CommandLine::Action::error:
      err << "corvane: " << command.error << "\n" << usageText() << std::flush;
      return kExitUsage;
  }
  return std::nullopt;
}

}  // namespace corvane
