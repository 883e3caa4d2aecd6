// The window's edits of the rules file: the switch at the end of each built-in row, the edits a
// switch makes, and what an edit that wrote nothing says under the list.
#pragma once

#include <QCheckBox>
#include <QString>
#include <filesystem>
#include <functional>
#include <string_view>

#include "rules/RulesEdit.h"
#include "ui/ShortcutItem.h"

class QHBoxLayout;

namespace corvane::ui {

class CollapsibleShortcutSection;

// An edit as the window hands it to the rules file's editor.
using RulesEdit = std::function<edit::EditResult(std::string_view text)>;
// Applies an edit through the window's editor; true when the file now holds it (written, or
// already as asked).
using ApplyRulesEdit = std::function<bool(const RulesEdit&)>;

// A built-in's switch: checked while the row's shortcuts are translated, unchecked while the
// file switches them off, mixed while one of a row's two is off or the file switches it off in
// some applications only. A click (or Space) asks `turn` to switch the row on (from off or
// mixed) or off, and shows the new state only once the file holds it.
class BuiltinSwitch : public QCheckBox {
 public:
  BuiltinSwitch(Qt::CheckState state, std::function<bool(bool on)> turn, QWidget* parent);
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override { return sizeHint(); }

 protected:
  void nextCheckState() override;
  bool hitButton(const QPoint& pos) const override { return rect().contains(pos); }
  void paintEvent(QPaintEvent* event) override;

 private:
  std::function<bool(bool on)> turn_;
};

// How a row's switch stands under the rules in use (none: the built-ins alone).
Qt::CheckState switchStateOf(const ShortcutItem& row, const RulesFile* rules);

// The edit a row's switch makes, as one edit (one Undo takes back both of a row's shortcuts).
// Off writes each of the row's combinations into "disable"; on removes them, a combination the
// text switches off only in some applications by emptying that entry.
edit::EditResult switchRow(std::string_view text, const ShortcutItem& row, bool on);

// Adds the switch of a built-in row (at its end) to a row being made.
void addBuiltinSwitch(QWidget* row, QHBoxLayout* layout, const ShortcutItem& item,
                      const RulesFile* rules, const ApplyRulesEdit& apply);

// Sets the switches of a section's rows as the rules say.
void syncSwitches(CollapsibleShortcutSection& section, const RulesFile* rules);

// Calls action on a double click anywhere on the widget.
void onDoubleClick(QWidget* widget, std::function<void()> action);

// What the window says under the list after an edit that wrote nothing; empty after one that
// wrote, or had nothing to change.
QString editOutcomeLine(const edit::RulesFileEditor::Result& result,
                        const std::filesystem::path& path);
inline constexpr const char* kChangedOnDiskLine =
    "The rules file changed since Corvane read it, so nothing was written.";

}  // namespace corvane::ui
