// The platform's named text styles and colours, as Mac users know them, for Qt widgets.
// Sizes are in device-independent pixels (a Mac point at 1x), so the window looks the same on
// every platform whatever the screen's logical DPI.
#pragma once

#include <QColor>
#include <QFont>
#include <QPalette>

namespace corvane::ui {

enum class TextStyle { Title2, Title3, Headline, Body, Caption };

// The base font (the application's) at the style's size: title 2 = 17, title 3 = 15,
// headline = 13 semibold, body = 13, caption = 10.
QFont textStyleFont(TextStyle style, bool semibold = false);

enum class SystemColor { Primary, Secondary, Blue, Green, Gray, White, Red };

// A palette is dark when its window background is.
bool isDarkPalette(const QPalette& palette);

// The system colours in the palette's appearance: light and dark variants of blue, green, gray
// red and the secondary label colour; Primary is the palette's own text colour.
QColor systemColor(SystemColor color, const QPalette& palette);

// The toolkit's default padding (around a padded element) and default spacing (inside a row).
inline constexpr int kDefaultPadding = 16;
inline constexpr int kDefaultSpacing = 8;

}  // namespace corvane::ui

class QApplication;
namespace corvane::ui {
// Where Qt falls back to its plain "Windows" style (no desktop theme, e.g. offscreen or a bare
// X server), uses Fusion instead: rounded buttons and check boxes closer to the Mac's.
void applyPlatformLook(QApplication& app);
}  // namespace corvane::ui
