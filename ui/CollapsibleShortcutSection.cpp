#include "ui/CollapsibleShortcutSection.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

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
// and a flexible spacer. The whole width of the header answers a press.
class CollapsibleShortcutSection::Header : public QAbstractButton {
 public:
  explicit Header(QWidget* parent) : QAbstractButton(parent) {
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
  }
  QSize sizeHint() const override { return layout() ? layout()->sizeHint() : QSize(); }
  QSize minimumSizeHint() const override { return layout() ? layout()->minimumSize() : QSize(); }

 protected:
  void paintEvent(QPaintEvent*) override {}
};

CollapsibleShortcutSection::CollapsibleShortcutSection(const QString& title,
                                                       std::span<const ShortcutItem> shortcuts,
                                                       Binding isExpanded,
                                                       bool swapOptionAndCommand,
                                                       bool swapFnAndControl, QWidget* parent)
    : QWidget(parent),
      title_(title),
      shortcuts_(shortcuts),
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
  // Rows are made again only when what they show would change.
  if (composed_ && rowsExpanded_ == expanded &&
      (!expanded || (rowsSwapOptionAndCommand_ == swapOptionAndCommand &&
                     rowsSwapFnAndControl_ == swapFnAndControl))) {
    return;
  }
  composed_ = true;
  rebuildRows(expanded);
}

void CollapsibleShortcutSection::rebuildRows(bool expanded) {
  delete rowsHost_;
  rowsHost_ = nullptr;
  rowsExpanded_ = expanded;
  rowsSwapOptionAndCommand_ = swapOptionAndCommand_;
  rowsSwapFnAndControl_ = swapFnAndControl_;
  if (!expanded) return;

  rowsHost_ = new QWidget(this);
  rowsHost_->setObjectName(QStringLiteral("rows"));
  auto* rows = new QVBoxLayout(rowsHost_);
  rows->setContentsMargins(0, 0, 0, 0);
  rows->setSpacing(8);
  for (const ShortcutItem& item : shortcuts_) {
    auto* row = new QWidget(rowsHost_);
    const QString description = fromUtf8(item.description);
    row->setObjectName(description);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(kDefaultSpacing);
    layout->addWidget(new KeyBadge(displayKeys(fromUtf8(item.windowsKeys)), SystemColor::Gray, row),
                      0, Qt::AlignVCenter);
    layout->addWidget(
        new StyledText(QStringLiteral("→"), TextStyle::Caption, SystemColor::Secondary, row), 0,
        Qt::AlignVCenter);
    layout->addWidget(new KeyBadge(description, SystemColor::Blue, row), 0, Qt::AlignVCenter);
    layout->addStretch(1);
    rows->addWidget(row);
  }
  static_cast<QVBoxLayout*>(layout())->addWidget(rowsHost_);
}

QString CollapsibleShortcutSection::displayKeys(const QString& windowsKeys) const {
  return ui::displayKeys(windowsKeys, swapOptionAndCommand_, swapFnAndControl_);
}

QList<QWidget*> CollapsibleShortcutSection::rows() const {
  if (!rowsHost_) return {};
  return rowsHost_->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
}

}  // namespace corvane::ui
