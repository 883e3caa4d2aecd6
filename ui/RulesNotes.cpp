#include "ui/RulesNotes.h"

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

  // One text, so that the link follows the message and wraps with it.
  error_ = new StyledText(QString(), TextStyle::Body, SystemColor::Red, this);
  error_->setObjectName(QStringLiteral("errorLine"));
  error_->setTextFormat(Qt::RichText);
  error_->setWordWrap(true);
  error_->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
  connect(error_, &QLabel::linkActivated, this, [edit = std::move(edit)](const QString& link) {
    if (link == QStringLiteral("edit") && edit) edit();
  });
  column->addWidget(error_);

  editFailure_ = new StyledText(QString(), TextStyle::Body, SystemColor::Red, this);
  editFailure_->setObjectName(QStringLiteral("editFailureLine"));
  editFailure_->setTextFormat(Qt::PlainText);
  editFailure_->setWordWrap(true);
  editFailure_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  column->addWidget(editFailure_);

  editProblem_ = new StyledText(QString(), TextStyle::Body, SystemColor::Red, this);
  editProblem_->setObjectName(QStringLiteral("editProblemLine"));
  editProblem_->setTextFormat(Qt::RichText);
  editProblem_->setWordWrap(true);
  editProblem_->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
  connect(editProblem_, &QLabel::linkActivated, this, [this](const QString& link) {
    if (link == QStringLiteral("reload") && reload_) reload_();
  });
  column->addWidget(editProblem_);
  compose({}, {});
}

void RulesNotes::compose(const QString& exclusion, const QString& error, const QString& editFailure,
                         const QString& editProblem, bool offerReload) {
  exclusion_->setText(exclusion);
  exclusion_->setVisible(!exclusion.isEmpty());
  // A message, then a link; the link's colour is taken afresh at each composition (light or
  // dark palette).
  auto withLink = [](StyledText* line, const QString& message, const char* href,
                     const QString& text) {
    const QString link = systemColor(SystemColor::Blue, line->palette()).name();
    line->setText(message.toHtmlEscaped() +
                  QStringLiteral("&nbsp;&nbsp;<a href=\"%1\" style=\"color: %2; "
                                 "text-decoration: none\">%3</a>")
                      .arg(QString::fromLatin1(href), link, text));
  };
  errorMessage_ = error;
  withLink(error_, error, "edit", QStringLiteral("Edit…"));
  error_->setVisible(!error.isEmpty());
  editFailure_->setText(editFailure);
  editFailure_->setVisible(!editFailure.isEmpty());
  if (offerReload) {
    withLink(editProblem_, editProblem, "reload", QStringLiteral("Reload"));
  } else {
    editProblem_->setText(editProblem.toHtmlEscaped());
  }
  editProblem_->setVisible(!editProblem.isEmpty());
  setVisible(!exclusion.isEmpty() || !error.isEmpty() || !editFailure.isEmpty() ||
             !editProblem.isEmpty());
}

}  // namespace corvane::ui
