// corvane-replay [FILE]: replays a key-event trace through the engine (see tools/README.md).
#include <cstdio>
#include <span>

#include "tools/corvane-replay/ReplayTool.h"

int main(int argc, char** argv) {
  return corvane::replay::runReplayTool(
      std::span<const char* const>(argv, static_cast<size_t>(argc)), stdin, stdout, stderr);
}
