// corvane-replay --press: key presses given by their Mac names, each decided by the real engine
// on a simulated session, and told in the key viewer's words.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/EventTypes.h"
#include "rules/RulesFile.h"

namespace corvane::replay {

// One KEYS argument read: the key and the Mac modifiers held.
struct PressedKeys {
  int64_t keyCode = 0;
  EventFlags modifiers = 0;
};

// Reads "fn+Left", "Control+Shift+Delete", "Cmd+F4" as the rules file reads a "send": Mac modifier
// names (Cmd or Command, Option, Control, Shift, Fn), then one key name of the rules file, joined
// by + (spaces around it allowed), letter case ignored. On failure, error says what is wrong.
std::optional<PressedKeys> readPressedKeys(std::string_view text, std::string& error);

struct PressOptions {
  std::vector<std::string> keys;
  std::optional<std::string> app;  // the application in front: a bundle identifier
  const RulesFile* rules = nullptr;
  std::optional<bool> swapFnAndControl;
  std::optional<bool> swapOptionAndCommand;
};

// Reads "fn=on,option=off" into the options; on failure, error says what is wrong.
bool readSwaps(std::string_view text, PressOptions& options, std::string& error);

// Presses each KEYS in turn (all read by readPressedKeys) and writes one line for each. Throws
// std::runtime_error when the engine's tap cannot be set up.
void pressKeys(const PressOptions& options, std::FILE* out);

}  // namespace corvane::replay
