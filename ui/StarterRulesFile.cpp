#include "ui/StarterRulesFile.h"

namespace corvane::ui {

// Kept in step with docs/rules.md. Every line inside the braces is a comment.
const std::string_view kStarterRulesFile = R"json({
  // Corvane's rules file: your own shortcuts, built-in shortcuts switched off, and applications
  // left alone. Everything is optional and everything below is commented out, so this file
  // changes nothing yet. Remove the // in front of a line to use it; Corvane reloads the file
  // as soon as you save it and shows any mistake in its window. Members are separated by
  // commas, and the last one has none. The whole format, every key name and ready-made files:
  // docs/rules.md in Corvane's source, and examples/rules/.

  // exclude: applications where Corvane translates nothing, by bundle identifier
  // (terminals, virtual machines, remote desktops).
  // "exclude": ["com.apple.Terminal", "com.googlecode.iterm2"],

  // settings: how the two swap settings of the window start. On a PC keyboard (no Fn key)
  // set "swapFnAndControl" to false so that Control plays Ctrl from the first key press.
  // "settings": { "swapFnAndControl": false, "swapOptionAndCommand": true },

  // disable: built-in shortcuts to switch off, named as Windows writes them:
  // Win+E, Ctrl+C, Ctrl+X, Ctrl+V, Ctrl+Z, Ctrl+Y, Ctrl+A, Ctrl+F, Ctrl+S, Ctrl+P, Ctrl+N,
  // Ctrl+T, Ctrl+W, Ctrl+Backspace, Ctrl+Delete, Ctrl+L, Ctrl+Tab, Ctrl+Shift+Tab,
  // Ctrl+Shift+Esc, Shift+Tab, Alt+Enter, Alt+Tab, Alt+F4, Win+L, F2.
  // "disable": ["Shift+Tab", "F2"],

  // shortcuts: your own. "press" is what your Windows hands press (Ctrl, Win, Alt, Shift and
  // one key); "send" is the Mac keystroke to post instead (Cmd, Option, Control, Shift, Fn and
  // one key), or "open" is an application to open. "apps" limits a shortcut to some
  // applications ("browsers" stands for the seven known browsers); "title" is what the window
  // lists. The first shortcut that matches wins, before the built-in ones.
  // "shortcuts": [
  //   { "press": "Ctrl+O", "send": "Cmd+O" },
  //   { "press": "Home", "send": "Cmd+Left", "title": "Start of line" },
  //   { "press": "Shift+Home", "send": "Cmd+Shift+Left", "title": "Select to start of line" },
  //   { "press": "F5", "send": "Cmd+R", "apps": ["browsers"], "title": "Reload" },
  //   { "press": "Win+T", "open": "/System/Applications/Utilities/Terminal.app" }
  // ]
}
)json";

}  // namespace corvane::ui
