// One collapsible section of the shortcut reference: a plain header button with a chevron and
// the title, and, while expanded, one row per shortcut: the keys to press (relabelled for the
// current swap settings), an arrow and what the shortcut does.
#pragma once

#include <QAbstractButton>
#include <QString>
#include <QWidget>
#include <functional>
#include <span>
#include <string_view>
#include <vector>

#include "ui/Binding.h"
#include "ui/ShortcutItem.h"

class QHBoxLayout;

namespace corvane::ui {

class StyledText;
class SymbolImage;

// Rewrites the Windows key names of a combination into the Mac keys that play them: first
// "Win"/"Alt" by the Option/Command swap ("Win" before "Alt"), then, with the Fn/Control swap,
// "Ctrl" and then "Control" by "Fn". Every occurrence is replaced, scanning left to right.
QString displayKeys(const QString& windowsKeys, bool swapOptionAndCommand, bool swapFnAndControl);

// One row as the section shows it: the Windows keys (relabelled when shown) and what they do;
// for the user's rules also where the shortcut applies, and how a built-in row stands when the
// rules file switches it off (dimmed, with a mark such as "off").
struct SectionRow {
  QString windowsKeys;
  QString description;
  QString where;  // a caption after the description ("in browsers"); empty: none
  QString mark;   // a caption at the end of the row ("off"); empty: none
  bool dimmed = false;

  bool operator==(const SectionRow&) const = default;
};

class CollapsibleShortcutSection : public QWidget {
 public:
  CollapsibleShortcutSection(const QString& title, std::span<const ShortcutItem> shortcuts,
                             Binding isExpanded, bool swapOptionAndCommand, bool swapFnAndControl,
                             QWidget* parent = nullptr);
  // A section of rows made at run time (the user's own shortcuts).
  CollapsibleShortcutSection(const QString& title, std::vector<SectionRow> rows, Binding isExpanded,
                             bool swapOptionAndCommand, bool swapFnAndControl,
                             QWidget* parent = nullptr);

  // Composes the section again with fresh copies of the two settings and the binding's value.
  void compose(bool swapOptionAndCommand, bool swapFnAndControl);
  // What the rows show from the next composition on (a row per shortcut, in order).
  void setRows(std::vector<SectionRow> rows);
  const std::vector<SectionRow>& sectionRows() const { return sectionRows_; }
  // What the owner adds to each row as it is made (a switch, a double click): the row's index in
  // the section, the row and its layout, whose stretch is already in. Rows are made again for it.
  using RowExtras = std::function<void(size_t index, QWidget* row, QHBoxLayout* layout)>;
  void setRowExtras(RowExtras extras);
  // The rows of a table of built-in shortcuts, unmarked.
  static std::vector<SectionRow> rowsOf(std::span<const ShortcutItem> shortcuts);

  QString displayKeys(const QString& windowsKeys) const;

  // The opacity of a dimmed row's badges and texts.
  static constexpr qreal kDimmedOpacity = 0.4;

  const QString& title() const { return title_; }
  std::span<const ShortcutItem> shortcuts() const { return shortcuts_; }
  bool isExpanded() const { return isExpanded_.get(); }
  bool swapOptionAndCommand() const { return swapOptionAndCommand_; }
  bool swapFnAndControl() const { return swapFnAndControl_; }
  QAbstractButton* header() const { return header_; }
  SymbolImage* chevron() const { return chevron_; }
  // The rows on screen, in order (empty while collapsed). A section of more than
  // kRowsMadeAtOnce rows makes them as they come into view and drops those far from it.
  QList<QWidget*> rows() const;
  static constexpr size_t kRowsMadeAtOnce = 100;

 private:
  class Header;
  class LazyRows;
  void rebuildRows(bool expanded);
  QWidget* makeRow(size_t index, QWidget* parent) const;

  QString title_;
  std::span<const ShortcutItem> shortcuts_;
  std::vector<SectionRow> sectionRows_;
  Binding isExpanded_;
  RowExtras rowExtras_;
  bool swapOptionAndCommand_;
  bool swapFnAndControl_;

  QAbstractButton* header_;
  SymbolImage* chevron_;
  QWidget* rowsHost_ = nullptr;
  LazyRows* lazyRows_ = nullptr;  // rowsHost_ when the rows are made as they come into view
  // What the rows on screen were made from.
  bool rowsExpanded_ = false;
  bool rowsSwapOptionAndCommand_ = false;
  bool rowsSwapFnAndControl_ = false;
  bool composed_ = false;
  bool rowsChanged_ = false;
};

}  // namespace corvane::ui
