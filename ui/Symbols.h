// The few symbol images the window and the status item draw: our own small SVGs standing in for
// the platform symbols "keyboard", "chevron.down" and "chevron.right", drawn in one colour.
#pragma once

#include <QColor>
#include <QIcon>
#include <QSize>
#include <QWidget>

#include "ui/Style.h"

class QPainter;

namespace corvane::ui {

enum class Symbol { Keyboard, ChevronDown, ChevronRight };

// The platform's symbol name ("keyboard", "chevron.down", "chevron.right").
const char* symbolName(Symbol symbol);

// Draws the symbol into rect, in the given colour.
void drawSymbol(QPainter& painter, Symbol symbol, const QRectF& rect, const QColor& color);

// The status item's image: the keyboard symbol, black on transparent, for a mask (template) icon.
QIcon keyboardStatusIcon();

// A symbol image as a widget of fixed size, coloured from the palette at every paint, so it
// follows light and dark palettes.
class SymbolImage : public QWidget {
 public:
  SymbolImage(Symbol symbol, QSize size, SystemColor color, QWidget* parent = nullptr);
  Symbol symbol() const { return symbol_; }
  void setSymbol(Symbol symbol);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  Symbol symbol_;
  SystemColor color_;
};

}  // namespace corvane::ui
