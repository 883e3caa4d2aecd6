// A set of signed 64-bit key codes. Codes 0 to 255 (every code a Mac keyboard makes) live in a
// bitset and never allocate; any other value goes to a small vector.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace corvane {

class KeyCodeSet {
 public:
  bool contains(int64_t code) const {
    if (inBitset(code)) return (bits_[index(code)] & mask(code)) != 0;
    return std::find(others_.begin(), others_.end(), code) != others_.end();
  }

  // Returns whether the code was not there before.
  bool insert(int64_t code) {
    if (inBitset(code)) {
      uint64_t& word = bits_[index(code)];
      const bool added = (word & mask(code)) == 0;
      word |= mask(code);
      return added;
    }
    return insertOther(code);
  }

  // Returns whether the code was there.
  bool erase(int64_t code) {
    if (inBitset(code)) {
      uint64_t& word = bits_[index(code)];
      const bool present = (word & mask(code)) != 0;
      word &= ~mask(code);
      return present;
    }
    return eraseOther(code);
  }

  size_t size() const {
    size_t n = others_.size();
    for (uint64_t word : bits_) n += static_cast<size_t>(std::popcount(word));
    return n;
  }
  bool empty() const { return size() == 0; }

 private:
  // Codes outside 0 to 255, kept out of line: a Mac keyboard never makes them.
  [[gnu::noinline]] bool insertOther(int64_t code) {
    if (std::find(others_.begin(), others_.end(), code) != others_.end()) return false;
    others_.push_back(code);
    return true;
  }
  [[gnu::noinline]] bool eraseOther(int64_t code) {
    auto it = std::find(others_.begin(), others_.end(), code);
    if (it == others_.end()) return false;
    *it = others_.back();
    others_.pop_back();
    return true;
  }

  static bool inBitset(int64_t code) { return static_cast<uint64_t>(code) < 256; }
  static size_t index(int64_t code) { return static_cast<size_t>(code) >> 6; }
  static uint64_t mask(int64_t code) { return uint64_t{1} << (static_cast<uint64_t>(code) & 63); }

  std::array<uint64_t, 4> bits_{};
  std::vector<int64_t> others_;
};

}  // namespace corvane
