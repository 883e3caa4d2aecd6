// CorvaneApp: the program's launch, shared by main() and the start-up benchmark probe.
#pragma once

#include <QApplication>
#include <ostream>

#include "app/CommandLine.h"

namespace corvane {

// Names the settings domain; hands over to a copy that runs already (saying so on `notice`) and
// returns 0; sets the look, hands the engine's main-queue work to the event loop off the Mac
// (and says on `notice` that no system keyboard is tapped); keeps the state of a program started
// from its build folder in that folder (and says so); creates the one AppDelegate, runs its
// launch sequence once the event loop runs, and runs the loop until Quit, SIGINT or SIGTERM.
// With command.reportState, keeps that file reporting the state (app/StateReport.h).
// With command.startCheck: the same launch sequence on a simulated keyboard session, without the
// permission check, settings, login item or the one-copy claim; once the event loop runs it says
// on `notice` what started and returns 0 (1 when the window is not on screen).
int runCorvane(QApplication& app, std::ostream& notice, const CommandLine& command = {});

}  // namespace corvane
