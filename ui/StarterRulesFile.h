// The rules file that "Edit…" writes when there is none: comments that explain each member and
// commented-out examples. It holds only "$schema", so it changes nothing until the user edits it.
#pragma once

#include <string>
#include <string_view>

namespace corvane::ui {

const std::string& starterRulesFile();
// docs/rules.schema.json, which Edit… writes beside a new starter file (its "$schema" names it).
extern const std::string_view kRulesSchema;
inline constexpr std::string_view kRulesSchemaFileName = "rules.schema.json";

}  // namespace corvane::ui
