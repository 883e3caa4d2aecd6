// The rules file in the window's list title area: the "Edit…" control, the caption line that
// says where nothing is translated, the load error in red with an "Edit…" link, the line that
// says Edit… could not open the file, with its path to copy, and the line that says why an edit
// of the window's wrote nothing (with a "Reload" link when the file changed on disk).
#pragma once

#include <QAbstractButton>
#include <QWidget>
#include <functional>

#include "ui/Style.h"

namespace corvane::ui {

class StyledText;

// A plain button: no border and no background, its text in the accent colour so that it reads
// as something to press.
class LinkButton : public QAbstractButton {
 public:
  LinkButton(const QString& text, TextStyle style, QWidget* parent = nullptr);
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override { return sizeHint(); }

 protected:
  void paintEvent(QPaintEvent* event) override;
};

// The lines under the list's title row. Each shows only when it has something to say; with
// neither the whole is hidden and takes no room, so the window is laid out as without it.
class RulesNotes : public QWidget {
 public:
  // edit: what the error line's "Edit…" link does.
  RulesNotes(std::function<void()> edit, QWidget* parent = nullptr);

  // exclusion: "Not translated in …" or empty; error: the described load error or empty;
  // editFailure: what Edit… could not do, with the file's path, or empty; editProblem: why the
  // window's last edit wrote nothing, or empty, followed by "Reload" when offerReload.
  void compose(const QString& exclusion, const QString& error, const QString& editFailure = {},
               const QString& editProblem = {}, bool offerReload = false);
  // What the edit line's "Reload" link does.
  void setReload(std::function<void()> reload) { reload_ = std::move(reload); }

  StyledText* exclusionText() const { return exclusion_; }
  // The error in red, followed by the "Edit…" link (the link "edit" of its rich text).
  StyledText* errorText() const { return error_; }
  const QString& errorMessage() const { return errorMessage_; }
  // Selectable, so that the path can be copied.
  StyledText* editFailureText() const { return editFailure_; }
  // In red; its "Reload" is the link "reload" of its rich text.
  StyledText* editProblemText() const { return editProblem_; }

 private:
  StyledText* exclusion_;
  StyledText* error_;
  StyledText* editFailure_;
  StyledText* editProblem_;
  QString errorMessage_;
  std::function<void()> reload_;
};

}  // namespace corvane::ui
