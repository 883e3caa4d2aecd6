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

}  // namespace corvane::ui
