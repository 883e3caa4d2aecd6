// Applications by name: what the window calls an application that the rules file names by its
// bundle identifier.
#pragma once

#include <string>
#include <string_view>

namespace corvane {

// The name the workspace gives the installed application with this bundle identifier
// ("Terminal" for com.apple.Terminal); the identifier itself where the workspace cannot tell
// (no such application installed, or off the Mac).
std::string applicationName(std::string_view bundleIdentifier);

}  // namespace corvane
