// The program's entry.
#include <iostream>

#include "app/CorvaneApp.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  return corvane::runCorvane(app, std::cout);
}
