#include "ui/StatusTag.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>

#include "ui/KeyBadge.h"
#include "ui/StyledText.h"

namespace corvane::ui {

// The filled circle, 8 by 8: green at opacity 0.9 when active, gray at 0.4 when inactive.
class StatusTag::Dot : public QWidget {
 public:
  explicit Dot(QWidget* parent) : QWidget(parent) { setFixedSize(8, 8); }
  bool active = false;

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QColor fill = systemColor(active ? SystemColor::Green : SystemColor::Gray, palette());
    fill.setAlphaF(active ? 0.9 : 0.4);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawEllipse(QRectF(rect()));
  }
};

StatusTag::StatusTag(bool isActive, QWidget* parent) : QWidget(parent), isActive_(!isActive) {
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(10, 4, 10, 4);
  row->setSpacing(6);
  dot_ = new Dot(this);
  label_ = new StyledText(QString(), TextStyle::Caption, SystemColor::Secondary, this);
  row->addWidget(dot_, 0, Qt::AlignVCenter);
  row->addWidget(label_, 0, Qt::AlignVCenter);
  setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
  setIsActive(isActive);
}

void StatusTag::setIsActive(bool isActive) {
  if (isActive_ == isActive) return;
  isActive_ = isActive;
  dot_->active = isActive;
  label_->setText(isActive ? QStringLiteral("Active") : QStringLiteral("Inactive"));
  label_->setColor(isActive ? SystemColor::Green : SystemColor::Secondary);
  describe();
  dot_->update();
  update();
}

void StatusTag::setPausedReason(const QString& reason) {
  if (pausedReason_ == reason) return;
  pausedReason_ = reason;
  describe();
}

void StatusTag::describe() {
  QString name =
      isActive_ ? QStringLiteral("Shortcuts active") : QStringLiteral("Shortcuts inactive");
  if (!pausedReason_.isEmpty()) name += QStringLiteral(". ") + pausedReason_;
  setAccessibleName(name);
  setToolTip(pausedReason_);
}

QString StatusTag::text() const {
  return label_->text();
}

void StatusTag::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  QColor fill = systemColor(isActive_ ? SystemColor::Green : SystemColor::Gray, palette());
  fill.setAlphaF(0.15);
  painter.fillPath(continuousRoundedRect(QRectF(rect()), 12), fill);
}

}  // namespace corvane::ui
