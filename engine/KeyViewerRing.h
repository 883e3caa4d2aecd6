// The key-downs the tap thread decided while a key viewer is open, on their way to the main
// thread: a fixed ring of fixed-size records. Pushing takes no lock, allocates nothing and makes
// no system call; when the ring is full the newest record takes the oldest one's place, and the
// main thread learns that some were lost.
//
// One tap thread pushes at a time; the tap thread of an earlier start that is still finishing
// its last callback claims a slot of its own, so two pushes never share one unless the ring
// comes round in between. Each slot carries a sequence number, written odd before its words and
// even after them, so the reader can tell a finished record from one being written or
// overwritten. (No stand-alone fences: the words themselves carry the ordering.)
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

#include "engine/DecisionOutcome.h"
#include "engine/EventTypes.h"

namespace corvane {

// One decided key-down. flags are those the decision read (the Fn bit of a function key as the
// Fn key itself said); the swap settings are those it decided with.
struct KeyRecord {
  EventType type = 0;
  int64_t keyCode = 0;
  EventFlags flags = 0;
  DecisionOutcome outcome;
  bool swapFnAndControl = false;
  bool swapOptionAndCommand = false;

  friend bool operator==(const KeyRecord&, const KeyRecord&) = default;
};

class KeyViewerRing {
 public:
  static constexpr size_t kCapacity = 128;

  // Tap thread.
  void push(const KeyRecord& record) noexcept {
    const uint64_t position = head_.fetch_add(1, std::memory_order_relaxed);
    Slot& slot = slots_[position % kCapacity];
    // Each word is stored with release, so a reader that sees it sees the odd number before it.
    slot.sequence.store(2 * position + 1, std::memory_order_relaxed);
    slot.words[0].store(static_cast<uint64_t>(record.keyCode), std::memory_order_release);
    slot.words[1].store(record.flags, std::memory_order_release);
    slot.words[2].store(pack(record), std::memory_order_release);
    slot.sequence.store(2 * position + 2, std::memory_order_release);
  }

  // Main thread: hands each finished record not yet taken to `take`, oldest first. Returns true
  // when records were lost since the last drain (overwritten before they were taken). A record
  // still being written stops the drain; the next one takes it.
  template <class Take>
  bool drain(Take&& take) {
    const uint64_t head = head_.load(std::memory_order_acquire);
    bool lost = false;
    if (head - tail_ > kCapacity) {
      lost = true;
      tail_ = head - kCapacity;
    }
    for (; tail_ < head; ++tail_) {
      Slot& slot = slots_[tail_ % kCapacity];
      const uint64_t done = 2 * tail_ + 2;
      const uint64_t before = slot.sequence.load(std::memory_order_acquire);
      if (before < done) break;  // claimed, not finished yet
      if (before > done) {       // already overwritten by a later record
        lost = true;
        continue;
      }
      // Acquire loads: a word of a later record brings its odd number along, and the check
      // below cannot move before them.
      const uint64_t keyCode = slot.words[0].load(std::memory_order_acquire);
      const uint64_t flags = slot.words[1].load(std::memory_order_acquire);
      const uint64_t packed = slot.words[2].load(std::memory_order_acquire);
      if (slot.sequence.load(std::memory_order_relaxed) != before) {
        lost = true;  // overwritten while it was read
        continue;
      }
      take(unpack(static_cast<int64_t>(keyCode), flags, packed));
    }
    return lost;
  }

  // Main thread: forgets every record pushed so far and wipes the slots, so no key stays in
  // memory once the viewer is closed.
  void discard() {
    tail_ = head_.load(std::memory_order_acquire);
    for (Slot& slot : slots_) {
      for (std::atomic<uint64_t>& word : slot.words) word.store(0, std::memory_order_relaxed);
    }
  }

 private:
  struct Slot {
    std::atomic<uint64_t> sequence{0};
    std::array<std::atomic<uint64_t>, 3> words{};
  };

  static uint64_t pack(const KeyRecord& r) {
    return uint64_t{r.type} | uint64_t{static_cast<uint8_t>(r.outcome.code)} << 32 |
           uint64_t{r.outcome.index} << 40 | uint64_t{r.swapFnAndControl} << 56 |
           uint64_t{r.swapOptionAndCommand} << 57 |
           uint64_t{static_cast<uint8_t>(r.outcome.action)} << 58;
  }
  static_assert(kActionCount < 64, "an action fits the six top bits");
  static KeyRecord unpack(int64_t keyCode, uint64_t flags, uint64_t packed) {
    KeyRecord r;
    r.type = static_cast<EventType>(packed & 0xFFFFFFFF);
    r.keyCode = keyCode;
    r.flags = flags;
    r.outcome.code = static_cast<OutcomeCode>((packed >> 32) & 0xFF);
    r.outcome.index = static_cast<uint16_t>((packed >> 40) & 0xFFFF);
    r.swapFnAndControl = ((packed >> 56) & 1) != 0;
    r.swapOptionAndCommand = ((packed >> 57) & 1) != 0;
    r.outcome.action = static_cast<Action>(packed >> 58);
    return r;
  }

  std::array<Slot, kCapacity> slots_{};
  std::atomic<uint64_t> head_{0};  // records claimed so far
  uint64_t tail_ = 0;              // main thread: the next record to take
};

}  // namespace corvane
