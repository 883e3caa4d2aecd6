#include "ui/CollapsibleShortcutSection.h"

#include <QApplication>
#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QPainter>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <map>

#include "ui/KeyBadge.h"
#include "ui/StyledText.h"
#include "ui/Symbols.h"

namespace corvane::ui {
namespace {

QString fromUtf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

QString displayKeys(const QString& windowsKeys, bool swapOptionAndCommand, bool swapFnAndControl) {
  QString keys = windowsKeys;
  // "Win" goes first: its replacement never contains "Alt", so "Win + Alt + X" keeps both keys.
  if (swapOptionAndCommand) {
    keys.replace(QStringLiteral("Win"), QStringLiteral("⌥"));
    keys.replace(QStringLiteral("Alt"), QStringLiteral("⌘"));
  } else {
    keys.replace(QStringLiteral("Win"), QStringLiteral("⌘"));
    keys.replace(QStringLiteral("Alt"), QStringLiteral("⌥"));
  }
  if (swapFnAndControl) {
    keys.replace(QStringLiteral("Ctrl"), QStringLiteral("Fn"));
    keys.replace(QStringLiteral("Control"), QStringLiteral("Fn"));
  }
  return keys;
}

// The header: a plain button (no border, no background) whose label is the chevron, the title
// and a flexible spacer. The whole width of the header answers a press. Reached with Tab, it
// shows a focus ring, and Space presses it.
class CollapsibleShortcutSection::Header : public QAbstractButton {
 public:
  explicit Header(QWidget* parent) : QAbstractButton(parent) {
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
  }
  QSize sizeHint() const override { return layout() ? layout()->sizeHint() : QSize(); }
  QSize minimumSizeHint() const override { return layout() ? layout()->minimumSize() : QSize(); }

 protected:
  void paintEvent(QPaintEvent*) override {
    if (!hasFocus()) return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QColor ring = systemColor(SystemColor::Blue, palette());
    ring.setAlphaF(0.6);
    painter.setPen(QPen(ring, 2));
    painter.drawPath(continuousRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 4));
  }
  void focusInEvent(QFocusEvent* event) override {
    QAbstractButton::focusInEvent(event);
    update();
  }
  void focusOutEvent(QFocusEvent* event) override {
    QAbstractButton::focusOutEvent(event);
    update();
  }
};

CollapsibleShortcutSection::CollapsibleShortcutSection(const QString& title,
                                                       std::span<const ShortcutItem> shortcuts,
                                                       Binding isExpanded,
                                                       bool swapOptionAndCommand,
                                                       bool swapFnAndControl, QWidget* parent)
    : CollapsibleShortcutSection(title, rowsOf(shortcuts), std::move(isExpanded),
                                 swapOptionAndCommand, swapFnAndControl, parent) {
  shortcuts_ = shortcuts;
}

CollapsibleShortcutSection::CollapsibleShortcutSection(const QString& title,
                                                       std::vector<SectionRow> rows,
                                                       Binding isExpanded,
                                                       bool swapOptionAndCommand,
                                                       bool swapFnAndControl, QWidget* parent)
    : QWidget(parent),
      title_(title),
      sectionRows_(std::move(rows)),
      isExpanded_(std::move(isExpanded)),
      swapOptionAndCommand_(swapOptionAndCommand),
      swapFnAndControl_(swapFnAndControl) {
  setObjectName(title);
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(8);

  header_ = new Header(this);
  header_->setText(title);
  header_->setAccessibleName(title);
  auto* label = new QHBoxLayout(header_);
  label->setContentsMargins(0, 0, 0, 0);
  label->setSpacing(6);
  chevron_ = new SymbolImage(Symbol::ChevronRight, QSize(10, 10), SystemColor::Secondary, header_);
  auto* titleText =
      new StyledText(title, TextStyle::Headline, SystemColor::Primary, header_, /*semibold=*/true);
  titleText->setAttribute(Qt::WA_TransparentForMouseEvents);
  label->addWidget(chevron_, 0, Qt::AlignVCenter);
  label->addWidget(titleText, 0, Qt::AlignVCenter);
  label->addStretch(1);
  column->addWidget(header_);

  // A press writes the negation through the binding; the owner recomposes (not animated).
  QObject::connect(header_, &QAbstractButton::clicked, this,
                   [this] { isExpanded_.set(!isExpanded_.get()); });
  compose(swapOptionAndCommand, swapFnAndControl);
}

void CollapsibleShortcutSection::compose(bool swapOptionAndCommand, bool swapFnAndControl) {
  swapOptionAndCommand_ = swapOptionAndCommand;
  swapFnAndControl_ = swapFnAndControl;
  const bool expanded = isExpanded_.get();
  chevron_->setSymbol(expanded ? Symbol::ChevronDown : Symbol::ChevronRight);
  header_->setAccessibleDescription(expanded ? QStringLiteral("expanded")
                                             : QStringLiteral("collapsed"));
  // Rows are made again only when what they show would change.
  if (composed_ && !rowsChanged_ && rowsExpanded_ == expanded &&
      (!expanded || (rowsSwapOptionAndCommand_ == swapOptionAndCommand &&
                     rowsSwapFnAndControl_ == swapFnAndControl))) {
    return;
  }
  composed_ = true;
  rowsChanged_ = false;
  rebuildRows(expanded);
}

void CollapsibleShortcutSection::setRows(std::vector<SectionRow> rows) {
  if (rows == sectionRows_) return;
  sectionRows_ = std::move(rows);
  rowsChanged_ = true;
}

std::vector<SectionRow> CollapsibleShortcutSection::rowsOf(
    std::span<const ShortcutItem> shortcuts) {
  std::vector<SectionRow> rows;
  rows.reserve(shortcuts.size());
  for (const ShortcutItem& item : shortcuts) {
    rows.push_back({fromUtf8(item.windowsKeys), fromUtf8(item.description), {}, {}, false});
  }
  return rows;
}

void CollapsibleShortcutSection::setRowExtras(RowExtras extras) {
  rowExtras_ = std::move(extras);
  rowsChanged_ = true;
}

QWidget* CollapsibleShortcutSection::makeRow(size_t index, QWidget* parent) const {
  const SectionRow& item = sectionRows_[index];
  auto* row = new QWidget(parent);
  row->setObjectName(item.description);
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(kDefaultSpacing);
  auto add = [&](QWidget* widget) {
    // A row the rules file switched off reads as inactive: its badges and texts are faded.
    if (item.dimmed) {
      auto* fade = new QGraphicsOpacityEffect(widget);
      fade->setOpacity(kDimmedOpacity);
      widget->setGraphicsEffect(fade);
    }
    layout->addWidget(widget, 0, Qt::AlignVCenter);
  };
  add(new KeyBadge(displayKeys(item.windowsKeys), SystemColor::Gray, row));
  add(new StyledText(QStringLiteral("→"), TextStyle::Caption, SystemColor::Secondary, row));
  auto* description = new KeyBadge(item.description, SystemColor::Blue, row);
  description->setElidable();  // the keys stay whole
  add(description);
  if (!item.where.isEmpty()) {
    // A long list of applications gives way first; the tooltip holds the whole list.
    auto* where = new ElidedText(item.where, TextStyle::Caption, SystemColor::Secondary, row);
    where->setObjectName(QStringLiteral("where"));
    add(where);
  }
  if (!item.mark.isEmpty()) {
    // Never faded; it gives way before the badges do (its tooltip holds the whole mark).
    auto* mark = new ElidedText(item.mark, TextStyle::Caption, SystemColor::Secondary, row);
    mark->setObjectName(QStringLiteral("mark"));
    layout->addWidget(mark, 0, Qt::AlignVCenter);
  }
  layout->addStretch(1);
  if (rowExtras_) rowExtras_(index, row, layout);
  return row;
}

// The rows of a long section, made as they come into view: the host is as tall as all of them
// would be, and a row's widgets exist only while it is on screen or near it.
class CollapsibleShortcutSection::LazyRows : public QWidget {
 public:
  explicit LazyRows(const CollapsibleShortcutSection& section)
      : QWidget(const_cast<CollapsibleShortcutSection*>(&section)), section_(section) {
    QWidget* sample = section.makeRow(0, this);
    rowHeight_ = sample->sizeHint().height();
    delete sample;
    const int count = static_cast<int>(section.sectionRows_.size());
    setFixedHeight(count * (rowHeight_ + kSpacing) - kSpacing);
  }

  QList<QWidget*> rows() const {
    QList<QWidget*> made;
    for (const auto& [index, row] : made_) made.push_back(row);
    return made;
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    // Rows are made outside the paint, which shows them as soon as it returns.
    if (pending_) return;
    pending_ = true;
    QTimer::singleShot(0, this, [this] {
      pending_ = false;
      makeVisibleRows();
    });
  }
  void resizeEvent(QResizeEvent*) override {
    for (const auto& [index, row] : made_) row->setGeometry(placeOf(index));
  }

 private:
  static constexpr int kSpacing = 8;  // as between the rows of a short section
  static constexpr int kMargin = 20;  // rows made beyond the visible part, each way

  QRect placeOf(int index) const {
    return {0, index * (rowHeight_ + kSpacing), width(), rowHeight_};
  }

  void makeVisibleRows() {
    const QRect visible = visibleRegion().boundingRect();
    const int pitch = rowHeight_ + kSpacing;
    const int count = static_cast<int>(section_.sectionRows_.size());
    int first = 0;
    int last = -1;
    if (!visible.isEmpty()) {
      first = std::max(0, visible.top() / pitch - kMargin);
      last = std::min(count - 1, visible.bottom() / pitch + kMargin);
    }
    for (auto it = made_.begin(); it != made_.end();) {
      if (it->first < first || it->first > last) {
        delete it->second;
        it = made_.erase(it);
      } else {
        ++it;
      }
    }
    for (int i = first; i <= last; ++i) {
      if (made_.contains(i)) continue;
      QWidget* row = section_.makeRow(static_cast<size_t>(i), this);
      row->setGeometry(placeOf(i));
      row->show();
      made_.emplace(i, row);
    }
  }

  const CollapsibleShortcutSection& section_;
  int rowHeight_ = 0;
  bool pending_ = false;
  std::map<int, QWidget*> made_;
};

void CollapsibleShortcutSection::rebuildRows(bool expanded) {
  // A control of a row that has the keyboard focus gets it back in the row made anew (a switch
  // pressed with Space keeps the focus when the file's reload marks its row).
  int focusedRow = -1;
  QString focusedName;
  QWidget* focused = QApplication::focusWidget();
  if (rowsHost_ != nullptr && lazyRows_ == nullptr && focused != nullptr &&
      rowsHost_->isAncestorOf(focused)) {
    const QList<QWidget*> made = rows();
    for (qsizetype i = 0; i < made.size(); ++i) {
      if (made[i]->isAncestorOf(focused)) focusedRow = static_cast<int>(i);
    }
    focusedName = focused->objectName();
  }
  delete rowsHost_;
  rowsHost_ = nullptr;
  lazyRows_ = nullptr;
  rowsExpanded_ = expanded;
  rowsSwapOptionAndCommand_ = swapOptionAndCommand_;
  rowsSwapFnAndControl_ = swapFnAndControl_;
  if (!expanded) return;

  if (sectionRows_.size() > kRowsMadeAtOnce) {
    lazyRows_ = new LazyRows(*this);
    rowsHost_ = lazyRows_;
  } else {
    rowsHost_ = new QWidget(this);
    auto* rows = new QVBoxLayout(rowsHost_);
    rows->setContentsMargins(0, 0, 0, 0);
    rows->setSpacing(8);
    for (size_t i = 0; i < sectionRows_.size(); ++i) rows->addWidget(makeRow(i, rowsHost_));
  }
  rowsHost_->setObjectName(QStringLiteral("rows"));
  static_cast<QVBoxLayout*>(layout())->addWidget(rowsHost_);
  // Tab goes from the header through the rows' controls (a switch), in reading order.
  QWidget* previous = header_;
  for (QWidget* row : rows()) {
    for (QWidget* control : row->findChildren<QWidget*>()) {
      if ((control->focusPolicy() & Qt::TabFocus) == 0) continue;
      setTabOrder(previous, control);
      previous = control;
    }
  }
  if (focusedRow >= 0 && focusedRow < static_cast<int>(sectionRows_.size())) {
    if (auto* again = rows().at(focusedRow)->findChild<QWidget*>(focusedName)) {
      again->setFocus(Qt::OtherFocusReason);
    }
  }
}

QString CollapsibleShortcutSection::displayKeys(const QString& windowsKeys) const {
  return ui::displayKeys(windowsKeys, swapOptionAndCommand_, swapFnAndControl_);
}

QList<QWidget*> CollapsibleShortcutSection::rows() const {
  if (lazyRows_ != nullptr) return lazyRows_->rows();
  if (!rowsHost_) return {};
  return rowsHost_->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
}

}  // namespace corvane::ui
