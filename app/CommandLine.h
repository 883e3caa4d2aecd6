// The program's command line: --help and --version, checked before Qt needs a display, so that
// both work over ssh; --start-check and --report-state FILE, for the release and end-to-end jobs.
// Qt's own options (-platform, -style, ...) are left to Qt.
#pragma once

#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>

namespace corvane {

struct CommandLine {
  enum class Action {
    run,      // start the program
    help,     // print the usage on standard output, exit 0
    version,  // print "Corvane VERSION" on standard output, exit 0
    error,    // print `error` and the usage on standard error, exit 2
  };
  Action action = Action::run;
  std::string error;  // one line, without "corvane: " and without the line feed
  // --start-check: start as far as the event loop, with the window and the status item, and
  // exit 0, touching nothing of the user's (no settings, no login item, no tap, no prompt).
  bool startCheck = false;
  // --report-state FILE: while running, keep FILE holding the state as one line of JSON.
  std::string reportState;
};

inline constexpr int kExitUsage = 2;

// args[0] is the program's name. Options may be given as --name or -name where Qt takes both.
CommandLine parseCommandLine(std::span<const char* const> args);

std::string usageText();
std::string versionText();  // "Corvane 0.1.0\n"

}  // namespace corvane

namespace corvane {

// Answers --help, --version and a bad command line: the exit status, after printing to out or
// err; nothing (and prints nothing) when the program is to start.
std::optional<int> answerCommandLine(std::span<const char* const> args, std::ostream& out,
                                     std::ostream& err);

}  // namespace corvane
