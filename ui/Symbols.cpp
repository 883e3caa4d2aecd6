#include "ui/Symbols.h"

#include <QByteArray>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

namespace corvane::ui {
namespace {

// "currentColor" is replaced by the colour to draw in.
constexpr const char* kKeyboardSvg = R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 24 16">
<rect x="1" y="1" width="22" height="14" rx="2.6" fill="none" stroke="currentColor" stroke-width="1.6"/>
<g fill="currentColor">
<rect x="4" y="4" width="2.2" height="2.2" rx="0.5"/><rect x="7.7" y="4" width="2.2" height="2.2" rx="0.5"/>
<rect x="11.4" y="4" width="2.2" height="2.2" rx="0.5"/><rect x="15.1" y="4" width="2.2" height="2.2" rx="0.5"/>
<rect x="18.8" y="4" width="1.6" height="2.2" rx="0.5"/>
<rect x="5.6" y="7.6" width="2.2" height="2.2" rx="0.5"/><rect x="9.3" y="7.6" width="2.2" height="2.2" rx="0.5"/>
<rect x="13" y="7.6" width="2.2" height="2.2" rx="0.5"/><rect x="16.7" y="7.6" width="2.2" height="2.2" rx="0.5"/>
<rect x="7" y="11.1" width="10" height="1.9" rx="0.7"/>
</g></svg>)";

constexpr const char* kChevronDownSvg =
    R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 10 10">
<polyline points="1.6,3.3 5,6.7 8.4,3.3" fill="none" stroke="currentColor" stroke-width="1.7"
 stroke-linecap="round" stroke-linejoin="round"/></svg>)";

constexpr const char* kChevronRightSvg =
    R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 10 10">
<polyline points="3.3,1.6 6.7,5 3.3,8.4" fill="none" stroke="currentColor" stroke-width="1.7"
 stroke-linecap="round" stroke-linejoin="round"/></svg>)";

const char* svgOf(Symbol symbol) {
  switch (symbol) {
    case Symbol::Keyboard:
      return kKeyboardSvg;
    case Symbol::ChevronDown:
      return kChevronDownSvg;
    case Symbol::ChevronRight:
      return kChevronRightSvg;
  }
  return kKeyboardSvg;
}

}  // namespace

const char* symbolName(Symbol symbol) {
  switch (symbol) {
    case Symbol::Keyboard:
      return "keyboard";
    case Symbol::ChevronDown:
      return "chevron.down";
    case Symbol::ChevronRight:
      return "chevron.right";
  }
  return "";
}

void drawSymbol(QPainter& painter, Symbol symbol, const QRectF& rect, const QColor& color) {
  QByteArray svg(svgOf(symbol));
  svg.replace("currentColor", color.name(QColor::HexRgb).toLatin1());
  QSvgRenderer renderer(svg);
  painter.save();
  painter.setOpacity(painter.opacity() * color.alphaF());
  // Keep the symbol's proportions, centred in the rectangle.
  const QSizeF natural = renderer.defaultSize();
  QSizeF fitted = natural.scaled(rect.size(), Qt::KeepAspectRatio);
  QRectF target(QPointF(0, 0), fitted);
  target.moveCenter(rect.center());
  renderer.render(&painter, target);
  painter.restore();
}

QIcon keyboardStatusIcon() {
  QIcon icon;
  for (int scale : {1, 2}) {
    QPixmap pixmap(QSize(22, 16) * scale);
    pixmap.setDevicePixelRatio(scale);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    drawSymbol(painter, Symbol::Keyboard, QRectF(0, 0, 22, 16), Qt::black);
    painter.end();
    icon.addPixmap(pixmap);
  }
#ifdef Q_OS_MACOS
  icon.setIsMask(true);  // a template image: the menu bar colours it
#endif
  return icon;
}

SymbolImage::SymbolImage(Symbol symbol, QSize size, SystemColor color, QWidget* parent)
    : QWidget(parent), symbol_(symbol), color_(color) {
  setFixedSize(size);
  setAttribute(Qt::WA_TransparentForMouseEvents);
}

void SymbolImage::setSymbol(Symbol symbol) {
  if (symbol_ == symbol) return;
  symbol_ = symbol;
  update();
}

void SymbolImage::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  drawSymbol(painter, symbol_, QRectF(rect()), systemColor(color_, palette()));
}

}  // namespace corvane::ui
