// A set of key codes that two tap threads may update at the same time without losing an update,
// and without a lock or an allocation.
//
// Codes 0 to 127 are stored, one bit each, in two atomic words. Every key a rule can name lies
// there (a Mac keyboard's codes end at 126). Any other code is never stored: insert reports it as
// not added and contains() as absent, so at worst the key-up of such a key would pass, which leaves
// no key stuck.
//
// Why atomic words: after a stop and a start, the old tap thread can still be inside a callback
// (waiting on the workspace, say) while the new tap thread decides events. Plain `word |= bit`
// from both could lose one of the two writes. fetch_or and fetch_and are read-modify-writes: each
// acts on the latest value of its word, so updates to different bits always both survive, and
// for the same bit the later one wins.
//
// Why relaxed order is enough: a bit publishes nothing else. No thread reads other memory on the
// strength of a bit it sees, so no happens-before edge is needed between the writer of a bit and
// its reader; each word only has to stay whole, which atomicity alone gives.
#pragma once

#include <array>
#include <atomic>
#include <bit>
#include <cstddef>
#include <cstdint>

namespace corvane {

class KeyCodeSet {
 public:
  static constexpr int64_t kCapacity = 128;  // codes 0 to kCapacity - 1 are stored

  static constexpr bool storable(int64_t code) {
    return static_cast<uint64_t>(code) < static_cast<uint64_t>(kCapacity);
  }

  bool contains(int64_t code) const {
    if (!storable(code)) return false;
    return (word(code).load(std::memory_order_relaxed) & mask(code)) != 0;
  }

  // Returns whether the code was not there before; a code that cannot be stored is not added.
  bool insert(int64_t code) {
    if (!storable(code)) return false;
    return (word(code).fetch_or(mask(code), std::memory_order_relaxed) & mask(code)) == 0;
  }

  // Returns whether the code was there.
  bool erase(int64_t code) {
    if (!storable(code)) return false;
    return (word(code).fetch_and(~mask(code), std::memory_order_relaxed) & mask(code)) != 0;
  }

  // Not a snapshot while another thread updates the set; exact otherwise.
  size_t size() const {
    size_t n = 0;
    for (const auto& w : words_)
      n += static_cast<size_t>(std::popcount(w.load(std::memory_order_relaxed)));
    return n;
  }
  bool empty() const { return size() == 0; }

 private:
  std::atomic<uint64_t>& word(int64_t code) { return words_[static_cast<size_t>(code) >> 6]; }
  const std::atomic<uint64_t>& word(int64_t code) const {
    return words_[static_cast<size_t>(code) >> 6];
  }
  static uint64_t mask(int64_t code) { return uint64_t{1} << (static_cast<uint64_t>(code) & 63); }

  std::array<std::atomic<uint64_t>, kCapacity / 64> words_{};
  static_assert(std::atomic<uint64_t>::is_always_lock_free);
};

}  // namespace corvane
