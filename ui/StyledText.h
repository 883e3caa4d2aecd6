// A text in one of the named text styles and system colours. The colour is re-derived whenever
// the palette changes, so secondary and tinted texts stay legible in light and dark palettes.
#pragma once

#include <QLabel>

#include "ui/Style.h"

namespace corvane::ui {

class StyledText : public QLabel {
 public:
  StyledText(const QString& text, TextStyle style, SystemColor color, QWidget* parent = nullptr,
             bool semibold = false);
  SystemColor color() const { return color_; }
  void setColor(SystemColor color);

 protected:
  bool event(QEvent* event) override;

 private:
  void refreshColor();
  SystemColor color_;
};

// A styled text on one line that gives way when its row is short of room: it ends in "…" where it
// is cut, and its tooltip (and spoken name) is the whole text. text() stays the whole text.
class ElidedText : public StyledText {
 public:
  ElidedText(const QString& text, TextStyle style, SystemColor color, QWidget* parent = nullptr);
  // What is drawn at the present width.
  QString shownText() const;
  QSize minimumSizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace corvane::ui
