// CorvaneApp: the program's launch, shared by main() and the start-up benchmark probe.
#pragma once

#include <QApplication>
#include <ostream>

namespace corvane {

// Names the settings domain; hands over to a copy that runs already (saying so on `notice`) and
// returns 0; sets the look, hands the engine's main-queue work to the event loop off the Mac
// (and says on `notice` that no system keyboard is tapped); keeps the state of a program started
// from its build folder in that folder (and says so); creates the one AppDelegate, runs its
// launch sequence once the event loop runs, and runs the loop until Quit, SIGINT or SIGTERM.
int runCorvane(QApplication& app, std::ostream& notice);

}  // namespace corvane
