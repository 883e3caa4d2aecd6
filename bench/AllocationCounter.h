// Counts operator new on the calling thread (the binary that links AllocationCounter.cpp
// replaces the global operator new).
#pragma once

#include <cstdint>

namespace corvane::bench {
uint64_t allocationsOnThisThread();
}
