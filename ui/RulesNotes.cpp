#include "ui/RulesNotes.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>

#include "ui/StyledText.h"

namespace corvane::ui {

LinkButton::LinkButton(const QString& text, TextStyle style, QWidget* parent)
    : QAbstractButton(parent) {
  setText(text);
  setFont(textStyleFont(style));
  setCursor(Qt::PointingHandCursor);
  setFocusPolicy(Qt::TabFocus);
  setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize LinkButton::sizeHint() const {
  const QFontMetrics metrics(font());
  return {metrics.horizontalAdvance(text()) + 2, metrics.height()};
}

void LinkButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  QColor color = systemColor(SystemColor::Blue, palette());
  if (isDown()) color = color.darker(130);
  QFont shown = font();
  shown.setUnderline(hasFocus() || underMouse());
  painter.setFont(shown);
  painter.setPen(color);
  painter.drawText(rect(), Qt::AlignLeft | Qt::AlignVCenter, text());
}

RulesNotes::RulesNotes(std::function<void()> edit, QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("rulesNotes"));
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(4);

  exclusion_ = new StyledText(QString(), TextStyle::Caption, SystemColor::Secondary, this);
  exclusion_->setObjectName(QStringLiteral("exclusionLine"));
  exclusion_->setWordWrap(true);
  column->addWidget(exclusion_);

  errorRow_ = new QWidget(this);
  auto* row = new QHBoxLayout(errorRow_);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(kDefaultSpacing);
  error_ = new StyledText(QString(), TextStyle::Body, SystemColor::Red, errorRow_);
  error_->setObjectName(QStringLiteral("errorLine"));
  error_->setWordWrap(true);
  error_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  QSizePolicy stretch(QSizePolicy::Expanding, QSizePolicy::Preferred);
  stretch.setHeightForWidth(true);
  error_->setSizePolicy(stretch);
  editLink_ = new LinkButton(QStringLiteral("Edit…"), TextStyle::Body, errorRow_);
  editLink_->setObjectName(QStringLiteral("errorEditLink"));
  connect(editLink_, &QAbstractButton::clicked, this, [edit = std::move(edit)] {
    if (edit) edit();
  });
  row->addWidget(error_, 1, Qt::AlignTop);
  row->addWidget(editLink_, 0, Qt::AlignTop);
  column->addWidget(errorRow_);
  compose({}, {});
}

void RulesNotes::compose(const QString& exclusion, const QString& error) {
  exclusion_->setText(exclusion);
  exclusion_->setVisible(!exclusion.isEmpty());
  error_->setText(error);
  errorRow_->setVisible(!error.isEmpty());
  setVisible(!exclusion.isEmpty() || !error.isEmpty());
}

}  // namespace corvane::ui
