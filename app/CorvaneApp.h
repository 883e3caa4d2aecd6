// CorvaneApp: the program's launch, shared by main() and the start-up benchmark probe.
#pragma once

#include <QApplication>
#include <ostream>

namespace corvane {

// Names the settings domain, sets the look, hands the engine's main-queue work to the event
// loop off the Mac (and says on `notice` that no system keyboard is tapped), creates the one
// AppDelegate, runs its launch sequence once the event loop runs, and runs the loop.
int runCorvane(QApplication& app, std::ostream& notice);

}  // namespace corvane
