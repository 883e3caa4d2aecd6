// Off the Mac, before Qt picks its platform plugin: is there a display to show the window on?
// Qt itself aborts when it can reach none ("Reinstalling the application may fix this
// problem"); the program says instead, in one line, that there is no display, and exits with 1.
// A Wayland socket that no longer answers (a logged-out session's WAYLAND_DISPLAY) is passed
// over for a working X11 DISPLAY.
#pragma once

#include <functional>
#include <optional>
#include <ostream>
#include <span>
#include <string>

namespace corvane {

inline constexpr const char* kNoDisplayMessage =
    "Corvane: there is no display to show the window on (scripts/run starts a virtual one).";
inline constexpr int kExitNoDisplay = 1;

// What decides, read from the environment and the command line.
struct DisplayEnvironment {
  std::string display;          // DISPLAY
  std::string waylandDisplay;   // WAYLAND_DISPLAY
  std::string runtimeDir;       // XDG_RUNTIME_DIR: where a relative WAYLAND_DISPLAY lies
  bool platformChosen = false;  // QT_QPA_PLATFORM set, or -platform given: Qt's, as asked
};

enum class DisplayChoice {
  asIs,  // leave it to Qt
  x11,   // the Wayland socket does not answer: X11 on DISPLAY
  none,  // nothing to show the window on
};

// `answers` tells whether a Unix socket accepts a connection.
DisplayChoice chooseDisplay(const DisplayEnvironment& environment,
                            const std::function<bool(const std::string& path)>& answers);

// Whether a program listens on the Unix socket at `path` (a stale socket file refuses).
bool unixSocketAnswers(const std::string& path);

// Decides for this process and applies the choice to its environment (X11: WAYLAND_DISPLAY
// removed and QT_QPA_PLATFORM=xcb, also for the programs it starts); with no display, prints
// kNoDisplayMessage to `err` and gives the exit status. Nothing is done on the Mac.
std::optional<int> prepareDisplay(std::span<const char* const> args, std::ostream& err);

// While Qt chooses its platform (the QApplication's construction): a failure to reach any
// display ends the program with kNoDisplayMessage on standard error and status 1 instead of
// Qt's abort (a DISPLAY that does not answer, for one). Other messages are printed as Qt does.
class NoDisplayGuard {
 public:
  NoDisplayGuard();
  ~NoDisplayGuard();
  NoDisplayGuard(const NoDisplayGuard&) = delete;
  NoDisplayGuard& operator=(const NoDisplayGuard&) = delete;
};

}  // namespace corvane
