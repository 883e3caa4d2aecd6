// Key codes by their US layout names, and the keys macOS counts as function keys.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "engine/EventTypes.h"

namespace corvane {

enum : int64_t {
  kKeyA = 0,
  kKeyS = 1,
  kKeyF = 3,
  kKeyZ = 6,
  kKeyX = 7,
  kKeyC = 8,
  kKeyV = 9,
  kKeyW = 13,
  kKeyE = 14,
  kKeyY = 16,
  kKeyT = 17,
  kKeyP = 35,
  kKeyReturn = 36,
  kKeyL = 37,
  kKeyN = 45,
  kKeyTab = 48,
  kKeyDelete = 51,
  kKeyEscape = 53,
  kKeyForwardDelete = 117,
  kKeyF4 = 118,
  kKeyF2 = 120,
  kKeyFunction = 63,  // the Fn key itself
};

// Keys macOS counts as function keys: their events carry the Fn flag whether or not the Fn key
// is held (F1-F20, Help, Home, End, Page Up, Page Down, Forward Delete and the arrows).
constexpr std::array<uint64_t, 2> kFunctionKeys = [] {
  std::array<uint64_t, 2> bits{};
  for (int64_t key : {122, 120, 99,  118, 96,  97,  98, 100, 101, 109,
                      103, 111, 105, 107, 113, 106, 64, 79,  80,  90,  // F1-F20
                      114, 115, 116, 117, 119, 121,  // Help, Home, Page Up, Fwd Del, End, Page Down
                      123, 124, 125, 126}) {         // Left, Right, Down, Up
    bits[static_cast<size_t>(key >> 6)] |= uint64_t{1} << (key & 63);
  }
  return bits;
}();

constexpr bool isFunctionKey(int64_t keyCode) {
  const auto code = static_cast<uint64_t>(keyCode);
  return code < 128 && ((kFunctionKeys[code >> 6] >> (code & 63)) & 1) != 0;
}

// F1-F20. On an Apple keyboard in its default mode the top row sends media keys, and F1-F12 with
// the Fn key held: for these the Fn key only makes the key a function key, never a modifier.
constexpr std::array<uint64_t, 2> kFKeys = [] {
  std::array<uint64_t, 2> bits{};
  for (int64_t key : {122, 120, 99,  118, 96,  97,  98, 100, 101, 109,
                      103, 111, 105, 107, 113, 106, 64, 79,  80,  90}) {
    bits[static_cast<size_t>(key >> 6)] |= uint64_t{1} << (key & 63);
  }
  return bits;
}();

constexpr bool isFKey(int64_t keyCode) {
  const auto code = static_cast<uint64_t>(keyCode);
  return code < 128 && ((kFKeys[code >> 6] >> (code & 63)) & 1) != 0;
}

}  // namespace corvane
