// The applications the rules file leaves alone ("exclude"), under the list's title: a row per
// entry as the reader counts them (the plain names together, then each { "apps", "keep" }) with
// its applications, the built-ins it keeps, "Keep…" to choose them and "Remove"; and "Leave this
// application alone" for the application that was in front before the window.
#pragma once

#include <QWidget>
#include <optional>
#include <string>
#include <vector>

#include "ui/RulesEditing.h"
#include "ui/WindowServices.h"

class QMenu;
class QVBoxLayout;

namespace corvane::ui {

class LinkButton;
class StyledText;

class ExclusionList : public QWidget {
 public:
  explicit ExclusionList(ApplyRulesEdit apply, QWidget* parent = nullptr);

  // Shows the entries of the rules in use (none: no file, or nothing excluded), and offers to
  // leave the application in front alone unless an entry already does. Hidden with nothing to
  // show.
  void compose(const RulesFile* rules, const std::optional<ApplicationEntry>& frontmost);

  LinkButton* leaveAloneButton() const { return leaveAlone_; }
  // The entries' rows in file order; each has the links "keep" and "remove".
  QList<QWidget*> entries() const;
  // The menu "Keep…" opened last, while it is open.
  QMenu* keepMenu() const { return keepMenu_; }

 private:
  struct Entry {
    std::vector<std::string> apps;  // as written
    std::vector<std::string> kept;
    bool plain = false;  // one of the file's plain names: a row, and edits, of its own
    bool operator==(const Entry&) const = default;
  };
  void rebuild();
  QWidget* makeEntry(size_t index);
  // The reader's index (RulesFile::exclusions) of the entry shown in a row.
  size_t exclusionIndex(size_t row) const;
  void openKeepMenu(size_t index, LinkButton* button);

  ApplyRulesEdit apply_;
  std::vector<Entry> entries_;
  std::optional<ApplicationEntry> frontmost_;
  bool composed_ = false;
  QWidget* rows_ = nullptr;
  QVBoxLayout* rowsLayout_ = nullptr;
  QWidget* leaveAloneRow_ = nullptr;
  LinkButton* leaveAlone_ = nullptr;
  StyledText* frontmostName_ = nullptr;
  QMenu* keepMenu_ = nullptr;
};

}  // namespace corvane::ui
