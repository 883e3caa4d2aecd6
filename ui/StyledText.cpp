#include "ui/StyledText.h"

#include <QEvent>
#include <QPainter>
#include <QStyle>

namespace corvane::ui {

StyledText::StyledText(const QString& text, TextStyle style, SystemColor color, QWidget* parent,
                       bool semibold)
    : QLabel(text, parent), color_(color) {
  setFont(textStyleFont(style, semibold));
  setTextFormat(Qt::PlainText);
  refreshColor();
}

void StyledText::setColor(SystemColor color) {
  color_ = color;
  refreshColor();
}

bool StyledText::event(QEvent* event) {
  const bool handled = QLabel::event(event);
  switch (event->type()) {
    case QEvent::PaletteChange:
    case QEvent::ParentChange:
    case QEvent::Polish:
      refreshColor();
      break;
    default:
      break;
  }
  return handled;
}

void StyledText::refreshColor() {
  // Primary text keeps the inherited palette; any other colour is set on the text role only,
  // from the inherited window colour (which this label never sets), so this settles at once.
  QPalette own = palette();
  if (color_ == SystemColor::Primary) {
    if (own.isBrushSet(QPalette::Active, QPalette::WindowText)) {
      setPalette(QPalette());
    }
    return;
  }
  const QColor wanted = systemColor(color_, own);
  if (own.isBrushSet(QPalette::Active, QPalette::WindowText) &&
      own.color(QPalette::Active, QPalette::WindowText) == wanted) {
    return;
  }
  for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
    own.setColor(group, QPalette::WindowText, wanted);
  }
  setPalette(own);
}

ElidedText::ElidedText(const QString& text, TextStyle style, SystemColor color, QWidget* parent)
    : StyledText(text, style, color, parent) {
  setToolTip(text);
  setAccessibleName(text);
  setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
}

QString ElidedText::shownText() const {
  return fontMetrics().elidedText(text(), Qt::ElideRight, contentsRect().width());
}

QSize ElidedText::minimumSizeHint() const {
  // Room for the first character and the ellipsis.
  const QFontMetrics metrics(font());
  return {metrics.horizontalAdvance(text().left(1) + QStringLiteral("…")), sizeHint().height()};
}

void ElidedText::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  style()->drawItemText(&painter, contentsRect(), Qt::AlignLeft | Qt::AlignVCenter, palette(),
                        isEnabled(), shownText(), foregroundRole());
}

}  // namespace corvane::ui
