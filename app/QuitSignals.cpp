#include "app/QuitSignals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <cerrno>

namespace corvane {
namespace {

int gWakeFd = -1;  // the pipe's write end, for the handler

void onSignal(int /*signal*/) {
  const int saved = errno;
  const char byte = 1;
  [[maybe_unused]] const ssize_t written = ::write(gWakeFd, &byte, 1);
  errno = saved;
}

}  // namespace

void quitOnTerminationSignals(QObject* context) {
  int fds[2];
  if (gWakeFd >= 0 || ::pipe(fds) != 0) return;
  for (int fd : fds) {
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
  }
  gWakeFd = fds[1];
  auto* notifier = new QSocketNotifier(fds[0], QSocketNotifier::Read, context);
  QObject::connect(notifier, &QSocketNotifier::activated, notifier, [fd = fds[0]] {
    char bytes[16];
    while (::read(fd, bytes, sizeof bytes) > 0) {
    }
    QCoreApplication::quit();
  });

  struct sigaction action {};
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  ::sigaction(SIGINT, &action, nullptr);
  ::sigaction(SIGTERM, &action, nullptr);
}

}  // namespace corvane
