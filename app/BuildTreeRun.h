// A program started from its build folder (what scripts/run starts) is being tried, not
// installed: it keeps its settings, and off the Mac its login item, in a folder of the build
// tree, and on a Mac registers no login item. An installed program (cmake --install, the app
// bundle in Applications) lies outside the build folder and behaves as described everywhere.
#pragma once

#include <QString>

namespace corvane {

struct AppEnvironment;

// Whether path lies inside folder, both taken with symbolic links resolved.
bool liesInside(const QString& path, const QString& folder);

// The folder a program started from buildDir keeps its state in.
QString buildTreeStateFolder(const QString& buildDir);

// The settings go to folder/Corvane.conf; the login item to folder/autostart/corvane.desktop,
// or on a Mac nowhere (no registration at all).
void keepStateInFolder(AppEnvironment& environment, const QString& folder);

// The launch line that says so.
QString buildTreeNotice(const QString& folder);

}  // namespace corvane
