// The key codes the shortcut rules name (US layout names).
#pragma once

#include <array>
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
};

// The key codes some rule names, as a 128-bit set. No other key press is ever translated, so
// it is decided without looking at its modifiers, and neither consumedKeyUps nor
// heldByApplication ever holds it.
constexpr std::array<uint64_t, 2> kNamedKeys = [] {
  std::array<uint64_t, 2> bits{};
  for (int64_t key : {kKeyA, kKeyS, kKeyF, kKeyZ, kKeyX, kKeyC, kKeyV, kKeyW, kKeyE, kKeyY, kKeyT,
                      kKeyP, kKeyReturn, kKeyL, kKeyN, kKeyTab, kKeyDelete, kKeyEscape,
                      kKeyForwardDelete, kKeyF4, kKeyF2}) {
    bits[static_cast<size_t>(key >> 6)] |= uint64_t{1} << (key & 63);
  }
  return bits;
}();

constexpr bool isNamedKey(int64_t keyCode) {
  const auto code = static_cast<uint64_t>(keyCode);
  return code < 128 && ((kNamedKeys[code >> 6] >> (code & 63)) & 1) != 0;
}

}  // namespace corvane
