// The key badge: a labelled chip in the caption style, padded 8 left and right and 4 top and
// bottom, on a fill of its colour at opacity 0.2, clipped to a rounded rectangle of radius 4.
#pragma once

#include <QLabel>
#include <QPainterPath>

#include "ui/Style.h"

namespace corvane::ui {

// Key symbols as a screen reader should say them: "⌘ + Tab" is "Command + Tab".
QString spokenKeys(QString keys);

class KeyBadge : public QLabel {
 public:
  KeyBadge(const QString& text, SystemColor color, QWidget* parent = nullptr);
  SystemColor color() const { return color_; }
  // A badge that gives way when its row is short of room: it ends in "…" where it is cut, and
  // its tooltip is the whole text.
  void setElidable();
  QSize minimumSizeHint() const override;

  static constexpr qreal kFillOpacity = 0.2;
  static constexpr qreal kCornerRadius = 4;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  SystemColor color_;
  bool elidable_ = false;
};

// A rounded rectangle with continuous corners: the curvature eases into the straight edges
// instead of meeting them at a circle's tangent.
QPainterPath continuousRoundedRect(const QRectF& rect, qreal radius);

}  // namespace corvane::ui
