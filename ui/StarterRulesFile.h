// The rules file that "Edit…" writes when there is none: comments that explain each member and
// commented-out examples. It is an empty object, so it changes nothing until the user edits it.
#pragma once

#include <string_view>

namespace corvane::ui {

extern const std::string_view kStarterRulesFile;

}  // namespace corvane::ui
