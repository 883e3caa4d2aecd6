#include "ui/StarterRulesFile.h"

#include "engine/Builtins.h"

namespace corvane::ui {
namespace {

// Kept in step with docs/rules.md. The line @BUILTINS@ becomes the built-ins' names. Every line
// inside the braces but the first is a comment, and switching any one example on (with its list's
// lines) leaves a valid file: a comma may end it.
constexpr std::string_view kStarterText = R"json({
  "$schema": "./rules.schema.json",
  // Corvane's rules file: your own shortcuts, built-in shortcuts switched off, and applications
  // left alone. Everything is optional and everything below is commented out, so this file
  // changes nothing yet. Remove the // in front of a line to use it; Corvane reloads the file
  // as soon as you save it and shows any mistake in its window. An editor that reads JSON
  // Schema (rules.schema.json, beside this file) completes and checks names as you type. The
  // whole format, every key name and ready-made files: docs/rules.md in Corvane's source, and
  // examples/rules/.

  // Applications are named by bundle identifier ("com.apple.Terminal"), by a pattern ending in
  // .* ("com.jetbrains.*": every JetBrains application), or by a group: the built-in browsers,
  // terminals and remote (virtual machines and remote desktops), or one of your own.
  // "groups": { "editors": ["com.microsoft.VSCode", "com.jetbrains.*"] },

  // exclude: applications where Corvane translates nothing; an entry with "keep" still
  // translates the built-in shortcuts it names there.
  // "exclude": ["terminals", { "apps": ["remote"], "keep": ["Alt+Tab", "Win+E"] }],

  // settings: how the two swap settings of the window start. On a PC keyboard (no Fn key)
  // set "swapFnAndControl" to false so that Control plays Ctrl from the first key press.
  // "settings": { "swapFnAndControl": false, "swapOptionAndCommand": true },

  // disable: built-in shortcuts to switch off, everywhere or only "in" some applications:
  // @BUILTINS@
  // "disable": ["Shift+Tab", "F2", { "name": "Ctrl+C", "in": ["terminals"] }],

  // shortcuts: your own. "press" is what your Windows hands press (Ctrl, Win, Alt, Shift and
  // one key, or Ctrl, Win or Alt tapped alone); "send" is the Mac keystroke to post instead
  // (Cmd, Option, Control, Shift, Fn and one key), or a list of up to four; "open" is an
  // application to open instead, and "dock" a place in the Dock whose application to open (1 is
  // Finder, then the Dock's applications in order). The member "apps" limits a shortcut to some
  // applications, and "except" leaves some out; "withShift": true also matches with Shift and
  // sends it along; "title" is what the window lists. A shortcut for the application in front
  // wins over one for everywhere, and both come before the built-in ones.
  // "shortcuts": [
  //   { "press": "Ctrl+O", "send": "Cmd+O" },
  //   { "press": "Home", "send": "Cmd+Left", "title": "Start of line" },
  //   { "press": "Ctrl+Left", "send": "Option+Left", "withShift": true, "title": "Word left" },
  //   { "press": "F5", "send": "Cmd+R", "apps": ["browsers"], "title": "Reload" },
  //   { "press": "PrintScreen", "send": ["Cmd+Shift+4", "Space"], "title": "Window shot" },
  //   { "press": "Win", "send": "Cmd+Space", "title": "Spotlight" },
  //   { "press": "Win+T", "open": "/System/Applications/Utilities/Terminal.app" },
  //   { "press": "Win+2", "dock": 2 },
  // ],
}
)json";
}  // namespace

const std::string& starterRulesFile() {
  static const std::string text = [] {
    // The names as comment lines of at most 96 columns, the last one ending in a full stop.
    std::string names = "  //";
    size_t lineStart = 0;
    for (size_t i = 0; i < kBuiltinCombinationNames.size(); ++i) {
      const std::string word = std::string(kBuiltinCombinationNames[i]) +
                               (i + 1 < kBuiltinCombinationNames.size() ? "," : ".");
      if (names.size() - lineStart + 1 + word.size() > 96) {
        names += "\n  //";
        lineStart = names.size() - 4;
      }
      names += " " + word;
    }
    std::string starter(kStarterText);
    const std::string_view marker = "  // @BUILTINS@";
    starter.replace(starter.find(marker), marker.size(), names);
    return starter;
  }();
  return text;
}

}  // namespace corvane::ui
