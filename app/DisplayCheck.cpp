#include "app/DisplayCheck.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <utility>

namespace corvane {
namespace {

[[maybe_unused]] std::string environmentValue(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? std::string(value) : std::string();
}

[[maybe_unused]] bool platformOptionGiven(std::span<const char* const> args) {
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    for (std::string_view option : {"-platform", "--platform"}) {
      if (arg == option ||
          (arg.starts_with(option) && arg.substr(option.size()).starts_with('='))) {
        return true;
      }
    }
  }
  return false;
}

void writeNoDisplay() {
  std::fputs(kNoDisplayMessage, stderr);
  std::fputc('\n', stderr);
  std::fflush(stderr);
}

// Qt's messages while it chooses its platform, held back until it is known whether it found a
// display: without one, the one line says it all.
QStringList* gHeldBack = nullptr;

void whileChoosingPlatform(QtMsgType type, const QMessageLogContext& context,
                           const QString& message) {
  // Qt's words when no platform plugin could be started (the display cannot be reached).
  if (type == QtFatalMsg && message.contains(QStringLiteral("no Qt platform plugin could be"))) {
    writeNoDisplay();
    std::_Exit(kExitNoDisplay);  // in the middle of QApplication's construction: no clean-up
  }
  const QString line = qFormatLogMessage(type, context, message);
  if (type != QtFatalMsg && gHeldBack != nullptr) {
    gHeldBack->append(line);
    return;
  }
  std::fprintf(stderr, "%s\n", qPrintable(line));
  if (type == QtFatalMsg) std::abort();
}

}  // namespace

DisplayChoice chooseDisplay(const DisplayEnvironment& environment,
                            const std::function<bool(const std::string& path)>& answers) {
  if (environment.platformChosen) return DisplayChoice::asIs;
  const std::string& wayland = environment.waylandDisplay;
  if (!wayland.empty()) {
    // A relative name lies in the runtime folder; without one no Wayland client can connect.
    std::string path;
    if (wayland.front() == '/') {
      path = wayland;
    } else if (!environment.runtimeDir.empty()) {
      path = environment.runtimeDir + '/' + wayland;
    }
    if (!path.empty() && answers(path)) return DisplayChoice::asIs;
  }
  if (environment.display.empty()) return DisplayChoice::none;
  return wayland.empty() ? DisplayChoice::asIs : DisplayChoice::x11;
}

bool unixSocketAnswers(const std::string& path) {
  sockaddr_un address{};
  if (path.size() >= sizeof address.sun_path) return false;
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.data(), path.size());
#ifdef SOCK_CLOEXEC
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
#else
  // macOS has no SOCK_CLOEXEC; the socket is closed again before anything could exec.
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
#endif
  if (fd < 0) return false;
  const bool connected =
      ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  ::close(fd);
  return connected;
}

std::optional<int> prepareDisplay(std::span<const char* const> args, std::ostream& err) {
#if defined(__APPLE__)
  (void)args;
  (void)err;
  return std::nullopt;
#else
  const DisplayEnvironment environment{
      .display = environmentValue("DISPLAY"),
      .waylandDisplay = environmentValue("WAYLAND_DISPLAY"),
      .runtimeDir = environmentValue("XDG_RUNTIME_DIR"),
      .platformChosen = !environmentValue("QT_QPA_PLATFORM").empty() || platformOptionGiven(args),
  };
  switch (chooseDisplay(environment, unixSocketAnswers)) {
    case DisplayChoice::asIs:
      return std::nullopt;
    case DisplayChoice::x11:
      ::unsetenv("WAYLAND_DISPLAY");
      ::setenv("QT_QPA_PLATFORM", "xcb", 1);
      return std::nullopt;
    case DisplayChoice::none:
      break;
  }
  err << kNoDisplayMessage << '\n' << std::flush;
  return kExitNoDisplay;
#endif
}

NoDisplayGuard::NoDisplayGuard() {
  gHeldBack = new QStringList;
  qInstallMessageHandler(whileChoosingPlatform);
}

NoDisplayGuard::~NoDisplayGuard() {
  qInstallMessageHandler(nullptr);
  for (const QString& line : *gHeldBack) std::fprintf(stderr, "%s\n", qPrintable(line));
  delete std::exchange(gHeldBack, nullptr);
}

}  // namespace corvane
