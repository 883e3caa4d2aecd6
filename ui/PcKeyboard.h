// A PC keyboard as a Mac sees it: the Mac key code each key sends and the flags its events
// carry, for typing into the key viewer off the Mac. The keys go by their place on the keyboard
// (the native scan code: an XKB key code under X11 and Wayland), as a Mac's key codes do, so the
// layout does not matter; without a scan code (the offscreen platform) by Qt's key.
//
// A PC keyboard on a Mac sends Ctrl as Control, the Windows (Super) key as Command and Alt as
// Option; Insert as Help, Print Screen, Scroll Lock and Pause as F13 to F15, Num Lock as the
// keypad's Clear. macOS sets the Fn flag on the function keys' and navigation keys' own events,
// and the numeric-pad flag on the arrows' and the keypad's, as on a Mac keyboard.
#pragma once

#include <QKeyEvent>
#include <cstdint>
#include <optional>

#include "engine/EventTypes.h"

namespace corvane::ui {

struct PcKeyEvent {
  EventType type;  // key down, key up, or flags changed (a modifier key)
  int64_t keyCode;
  EventFlags flags;
};

// The event a Mac would see for this key event, or nothing for a key it has no code for (and for
// a key held down's repeated releases, which a Mac does not send).
std::optional<PcKeyEvent> macEventOf(const QKeyEvent& event);

}  // namespace corvane::ui
