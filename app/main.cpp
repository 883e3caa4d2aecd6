// The program's entry.
#include <iostream>
#include <span>

#include "app/CommandLine.h"
#include "app/CorvaneApp.h"

int main(int argc, char** argv) {
  // Before Qt: --help and --version need no display.
  if (const auto status = corvane::answerCommandLine(
          std::span<const char* const>(argv, static_cast<size_t>(argc)), std::cout, std::cerr)) {
    return *status;
  }
  QApplication app(argc, argv);
  return corvane::runCorvane(app, std::cout);
}
