#include "ui/ExclusionList.h"

#include <QAction>
#include <QApplication>
#include <QHBoxLayout>
#include <QMenu>
#include <QVBoxLayout>
#include <algorithm>

#include "ui/RulesNotes.h"
#include "ui/RulesRows.h"
#include "ui/StyledText.h"

namespace corvane::ui {
namespace {

QString fromUtf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The place of the entry shown at `shown` in the text the edit is made on: the window shows the
// rules in use, and the file may have moved on since (an edit of the window's own not yet read
// back). None when the text no longer has it.
std::optional<size_t> entryIndex(std::string_view text, const std::vector<std::string>& apps,
                                 size_t shown) {
  const RulesParse parse = parseRules(text);
  if (!parse.rules) return shown;  // the edit says what is wrong with the text
  const std::vector<Exclusion>& exclusions = parse.rules->exclusions;
  if (shown < exclusions.size() && exclusions[shown].apps.written == apps) return shown;
  for (size_t i = 0; i < exclusions.size(); ++i) {
    if (exclusions[i].apps.written == apps) return i;
  }
  return std::nullopt;
}

template <class Edit>
RulesEdit onEntry(std::vector<std::string> apps, size_t shown, Edit edit) {
  return [apps = std::move(apps), shown, edit](std::string_view text) {
    const std::optional<size_t> index = entryIndex(text, apps, shown);
    return index ? edit(text, *index) : edit::EditResult{std::string(text), {}, {}};
  };
}

}  // namespace

ExclusionList::ExclusionList(ApplyRulesEdit apply, QWidget* parent)
    : QWidget(parent), apply_(std::move(apply)) {
  setObjectName(QStringLiteral("exclusionList"));
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(4);
  rows_ = new QWidget(this);
  rowsLayout_ = new QVBoxLayout(rows_);
  rowsLayout_->setContentsMargins(0, 0, 0, 0);
  rowsLayout_->setSpacing(4);
  column->addWidget(rows_);

  leaveAloneRow_ = new QWidget(this);
  auto* row = new QHBoxLayout(leaveAloneRow_);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(6);
  leaveAlone_ =
      new LinkButton(QStringLiteral("Leave this application alone"), TextStyle::Body, this);
  leaveAlone_->setObjectName(QStringLiteral("leaveAloneButton"));
  connect(leaveAlone_, &QAbstractButton::clicked, this, [this] {
    if (!frontmost_) return;
    apply_([identifier = frontmost_->bundleIdentifier](std::string_view text) {
      return edit::addExclusion(text, identifier);
    });
  });
  frontmostName_ = new StyledText(QString(), TextStyle::Caption, SystemColor::Secondary, this);
  row->addWidget(leaveAlone_, 0, Qt::AlignVCenter);
  row->addWidget(frontmostName_, 0, Qt::AlignVCenter);
  row->addStretch(1);
  column->addWidget(leaveAloneRow_);
  setVisible(false);
}

void ExclusionList::compose(const RulesFile* rules,
                            const std::optional<ApplicationEntry>& frontmost) {
  std::vector<Entry> entries;
  bool excluded = false;
  if (rules != nullptr) {
    for (const Exclusion& exclusion : rules->exclusions) {
      if (exclusion.plain) {
        for (const std::string& app : exclusion.apps.written) entries.push_back({{app}, {}, true});
      } else {
        entries.push_back({exclusion.apps.written, exclusion.kept});
      }
      excluded = excluded || (frontmost && exclusion.apps.contains(frontmost->bundleIdentifier));
    }
  }
  if (!composed_ || entries != entries_) {
    entries_ = std::move(entries);
    rebuild();
  }
  composed_ = true;
  const bool offer = frontmost && !frontmost->bundleIdentifier.empty() && !excluded;
  frontmost_ = offer ? frontmost : std::nullopt;
  if (offer) {
    const QString name = frontmost->name.empty() ? applicationNames({frontmost->bundleIdentifier})
                                                 : fromUtf8(frontmost->name);
    frontmostName_->setText(QLatin1Char('(') + name + QLatin1Char(')'));
    leaveAlone_->setAccessibleName(QStringLiteral("Leave %1 alone").arg(name));
  }
  leaveAloneRow_->setVisible(offer);
  setVisible(!entries_.empty() || offer);
}

QList<QWidget*> ExclusionList::entries() const {
  return rows_->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
}

void ExclusionList::rebuild() {
  // The control that had the focus gets it back in the same row, or the one now there.
  int focusedRow = -1;
  QString focusedName;
  const QList<QWidget*> before = entries();
  if (QWidget* focused = QApplication::focusWidget(); focused && rows_->isAncestorOf(focused)) {
    for (qsizetype i = 0; i < before.size(); ++i) {
      if (before[i]->isAncestorOf(focused)) focusedRow = static_cast<int>(i);
    }
    focusedName = focused->objectName();
  }
  qDeleteAll(before);
  // Tab reaches the entries' links in reading order, before "Leave this application alone".
  QWidget* previous = leaveAlone_->previousInFocusChain();
  while (previous != leaveAlone_ && (previous->focusPolicy() & Qt::TabFocus) == 0) {
    previous = previous->previousInFocusChain();
  }
  for (size_t i = 0; i < entries_.size(); ++i) {
    QWidget* row = makeEntry(i);
    rowsLayout_->addWidget(row);
    for (const char* link : {"keep", "remove"}) {
      auto* control = row->findChild<QWidget*>(QString::fromLatin1(link));
      setTabOrder(previous, control);
      previous = control;
    }
  }
  rows_->setVisible(!entries_.empty());
  if (focusedRow < 0) return;
  const QList<QWidget*> after = entries();
  if (after.isEmpty()) {
    leaveAlone_->setFocus(Qt::OtherFocusReason);
  } else if (auto* again = after.at(std::min<qsizetype>(focusedRow, after.size() - 1))
                               ->findChild<QWidget*>(focusedName)) {
    again->setFocus(Qt::OtherFocusReason);
  }
}

size_t ExclusionList::exclusionIndex(size_t row) const {
  // The plain names, a row each, stand for the reader's first entry.
  const auto plainRows = static_cast<size_t>(
      std::count_if(entries_.begin(), entries_.end(), [](const Entry& e) { return e.plain; }));
  return plainRows == 0 ? row : row - plainRows + 1;
}

QWidget* ExclusionList::makeEntry(size_t index) {
  const Entry& entry = entries_[index];
  const QString names = applicationNames(entry.apps);
  auto* row = new QWidget(rows_);
  row->setObjectName(QStringLiteral("exclusion"));
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(kDefaultSpacing);
  layout->addWidget(new ElidedText(names, TextStyle::Body, SystemColor::Primary, row), 0,
                    Qt::AlignVCenter);
  if (!entry.kept.empty()) {
    QStringList kept;
    for (const std::string& name : entry.kept) kept << fromUtf8(name);
    auto* keeps = new StyledText(QStringLiteral("keeps ") + kept.join(QStringLiteral(", ")),
                                 TextStyle::Caption, SystemColor::Secondary, row);
    keeps->setObjectName(QStringLiteral("kept"));
    layout->addWidget(keeps, 0, Qt::AlignVCenter);
  }
  layout->addStretch(1);
  auto* keep = new LinkButton(QStringLiteral("Keep…"), TextStyle::Body, row);
  keep->setObjectName(QStringLiteral("keep"));
  keep->setAccessibleName(QStringLiteral("Shortcuts still translated in %1").arg(names));
  connect(keep, &QAbstractButton::clicked, this,
          [this, index, keep] { openKeepMenu(index, keep); });
  layout->addWidget(keep, 0, Qt::AlignVCenter);
  auto* remove = new LinkButton(QStringLiteral("Remove"), TextStyle::Body, row);
  remove->setObjectName(QStringLiteral("remove"));
  remove->setAccessibleName(QStringLiteral("Stop leaving %1 alone").arg(names));
  connect(remove, &QAbstractButton::clicked, this, [this, index] {
    const Entry& entry = entries_[index];
    if (entry.plain) {
      apply_([app = entry.apps.front()](std::string_view text) {
        return edit::removeExcludedApplication(text, app);
      });
      return;
    }
    apply_(onEntry(entry.apps, exclusionIndex(index), [](std::string_view text, size_t at) {
      return edit::removeExclusion(text, at);
    }));
  });
  layout->addWidget(remove, 0, Qt::AlignVCenter);
  return row;
}

void ExclusionList::openKeepMenu(size_t index, LinkButton* button) {
  if (keepMenu_ != nullptr) keepMenu_->deleteLater();
  keepMenu_ = new QMenu(this);
  keepMenu_->setObjectName(QStringLiteral("keepMenu"));
  keepMenu_->setAccessibleName(button->accessibleName());
  const Entry entry = entries_[index];
  // Each built-in by its name in the file; a tick for those the entry keeps. A choice is one edit.
  for (std::string_view name : kBuiltinCombinationNames) {
    QAction* action = keepMenu_->addAction(fromUtf8(name));
    action->setCheckable(true);
    action->setChecked(std::ranges::find(entry.kept, name) != entry.kept.end());
    connect(action, &QAction::triggered, this, [this, entry, index, name](bool checked) {
      std::vector<std::string> kept = entry.kept;
      std::erase(kept, name);
      if (checked) kept.emplace_back(name);
      if (entry.plain) {
        apply_([app = entry.apps.front(), kept](std::string_view text) {
          return edit::setKeptFor(text, app, kept);
        });
        return;
      }
      apply_(onEntry(entry.apps, exclusionIndex(index), [kept](std::string_view text, size_t at) {
        return edit::setKept(text, at, kept);
      }));
    });
  }
  QMenu* menu = keepMenu_;
  connect(menu, &QMenu::aboutToHide, menu, &QObject::deleteLater);
  connect(menu, &QObject::destroyed, this, [this, menu] {
    if (keepMenu_ == menu) keepMenu_ = nullptr;
  });
  menu->popup(button->mapToGlobal(QPoint(0, button->height())));
}

}  // namespace corvane::ui
