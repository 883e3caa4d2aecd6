#include "ui/StyledText.h"

#include <QEvent>

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

}  // namespace corvane::ui
