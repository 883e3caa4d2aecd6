// The program's entry.
#include <iostream>
#include <optional>
#include <span>

#include "app/CommandLine.h"
#include "app/CorvaneApp.h"
#include "app/DisplayCheck.h"

int main(int argc, char** argv) {
  const std::span<const char* const> args(argv, static_cast<size_t>(argc));
  // Before Qt: --help, --version and a bad command line need no display.
  if (const auto status = corvane::answerCommandLine(args, std::cout, std::cerr)) return *status;
  // A display to show the window on, or one line that there is none.
  if (const auto status = corvane::prepareDisplay(args, std::cerr)) return *status;
  std::optional<corvane::NoDisplayGuard> guard(std::in_place);
  QApplication app(argc, argv);
  guard.reset();
  return corvane::runCorvane(app, std::cout, corvane::parseCommandLine(args));
}
