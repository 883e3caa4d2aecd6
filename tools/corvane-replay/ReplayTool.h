// The command line of corvane-replay, apart from main() so that tests can run it in-process.
#pragma once

#include <cstdio>
#include <span>

namespace corvane::replay {

// Exit statuses.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitBadInput = 2;  // a bad line, an unreadable FILE, a bad argument
inline constexpr int kExitInternalError = 3;

// Runs `corvane-replay [FILE]` with args[0] the program name. Reads FILE or, without one (or
// with "-"), `in`; writes the output to `out` and messages to `err`. Returns the exit status.
int runReplayTool(std::span<const char* const> args, std::FILE* in, std::FILE* out, std::FILE* err);

}  // namespace corvane::replay
