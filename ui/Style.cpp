#include "ui/Style.h"

#include <QApplication>

namespace corvane::ui {

QFont textStyleFont(TextStyle style, bool semibold) {
  QFont font = QApplication::font();
  int pixels = 13;
  switch (style) {
    case TextStyle::Title2:
      pixels = 17;
      break;
    case TextStyle::Title3:
      pixels = 15;
      break;
    case TextStyle::Headline:
      pixels = 13;
      semibold = true;
      break;
    case TextStyle::Body:
      pixels = 13;
      break;
    case TextStyle::Caption:
      pixels = 10;
      break;
  }
  font.setPixelSize(pixels);
  font.setWeight(semibold ? QFont::DemiBold : QFont::Normal);
  return font;
}

bool isDarkPalette(const QPalette& palette) {
  return palette.color(QPalette::Active, QPalette::Window).lightness() < 128;
}

QColor systemColor(SystemColor color, const QPalette& palette) {
  const bool dark = isDarkPalette(palette);
  switch (color) {
    case SystemColor::Primary:
      return palette.color(QPalette::Active, QPalette::WindowText);
    case SystemColor::Secondary:
      // The secondary label colour: the primary text hue at about two thirds strength.
      return dark ? QColor(235, 235, 245, 165) : QColor(60, 60, 67, 175);
    case SystemColor::Blue:
      return dark ? QColor(10, 132, 255) : QColor(0, 122, 255);
    case SystemColor::Green:
      // A little deeper than the system green in light mode, so green text stays legible on white.
      return dark ? QColor(48, 209, 88) : QColor(36, 168, 66);
    case SystemColor::Gray:
      return dark ? QColor(152, 152, 157) : QColor(142, 142, 147);
    case SystemColor::White:
      return QColor(255, 255, 255);
    case SystemColor::Red:
      return dark ? QColor(255, 69, 58) : QColor(215, 0, 21);
  }
  return palette.color(QPalette::WindowText);
}

}  // namespace corvane::ui

#include <QStyle>
#include <QStyleFactory>

namespace corvane::ui {

void applyPlatformLook(QApplication& app) {
  if (app.style() != nullptr &&
      app.style()->name().compare(QStringLiteral("windows"), Qt::CaseInsensitive) == 0) {
    if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion"))) app.setStyle(fusion);
  }
}

}  // namespace corvane::ui
