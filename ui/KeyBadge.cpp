#include "ui/KeyBadge.h"

#include <QPainter>
#include <QPainterPath>
#include <QStyle>
#include <algorithm>
#include <utility>

namespace corvane::ui {

QString spokenKeys(QString keys) {
  const std::pair<const char16_t*, const char16_t*> words[] = {{u"⌘", u"Command"},
                                                               {u"⌥", u"Option"},
                                                               {u"⌃", u"Control"},
                                                               {u"^", u"Control"},
                                                               {u"⇧", u"Shift"}};
  // "Command (⌘)" says the key once; a symbol alone is said as its name.
  for (const auto& [symbol, word] : words) {
    keys.remove(QStringLiteral(" (") + QString::fromUtf16(symbol) + u')');
    keys.replace(QString::fromUtf16(symbol), QString::fromUtf16(word));
  }
  return keys;
}

KeyBadge::KeyBadge(const QString& text, SystemColor color, QWidget* parent)
    : QLabel(text, parent), color_(color) {
  setAccessibleName(spokenKeys(text));
  setFont(textStyleFont(TextStyle::Caption));
  setTextFormat(Qt::PlainText);
  setContentsMargins(8, 4, 8, 4);
  setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void KeyBadge::setElidable() {
  elidable_ = true;
  setToolTip(text());
  setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed);
}

QSize KeyBadge::minimumSizeHint() const {
  if (!elidable_) return QLabel::minimumSizeHint();
  const QMargins margins = contentsMargins();
  return {fontMetrics().horizontalAdvance(text().left(1) + QStringLiteral("…")) + margins.left() +
              margins.right(),
          sizeHint().height()};
}

void KeyBadge::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  QColor fill = systemColor(color_, palette());
  fill.setAlphaF(fill.alphaF() * kFillOpacity);
  painter.fillPath(continuousRoundedRect(QRectF(rect()), kCornerRadius), fill);
  if (!elidable_ || width() >= sizeHint().width()) {
    painter.end();
    QLabel::paintEvent(event);
    return;
  }
  const QString shown = fontMetrics().elidedText(text(), Qt::ElideRight, contentsRect().width());
  style()->drawItemText(&painter, contentsRect(), Qt::AlignLeft | Qt::AlignVCenter, palette(),
                        isEnabled(), shown, foregroundRole());
}

QPainterPath continuousRoundedRect(const QRectF& rect, qreal radius) {
  // Each corner starts its curve a little further along the edge (1.28 r) and bends through
  // two cubic segments, which approximates the platform's continuous corner curve.
  const qreal r = std::min({radius, rect.width() / 2, rect.height() / 2});
  QPainterPath path;
  if (r <= 0) {
    path.addRect(rect);
    return path;
  }
  const qreal l = rect.left(), t = rect.top(), ri = rect.right(), b = rect.bottom();
  const qreal e = std::min(1.28 * r, std::min(rect.width(), rect.height()) / 2);
  const qreal k = 0.64 * r;  // control distance
  path.moveTo(l + e, t);
  path.lineTo(ri - e, t);
  path.cubicTo(ri - e + k, t, ri, t + e - k, ri, t + e);
  path.lineTo(ri, b - e);
  path.cubicTo(ri, b - e + k, ri - e + k, b, ri - e, b);
  path.lineTo(l + e, b);
  path.cubicTo(l + e - k, b, l, b - e + k, l, b - e);
  path.lineTo(l, t + e);
  path.cubicTo(l, t + e - k, l + e - k, t, l + e, t);
  path.closeSubpath();
  return path;
}

}  // namespace corvane::ui
