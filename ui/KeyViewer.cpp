#include "ui/KeyViewer.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QShortcut>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "platform/simulated/SimulatedSession.h"
#include "rules/KeyWords.h"
#include "ui/PcKeyboard.h"
#include "ui/StyledText.h"
#include "ui/WindowServices.h"

namespace corvane::ui {
namespace {

constexpr int kBundleIdentifierRole = Qt::UserRole;

QString fromUtf8(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

KeyViewer::KeyViewer(std::shared_ptr<KeyboardShortcutManager> manager, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::WindowCloseButtonHint |
                          Qt::WindowTitleHint | Qt::CustomizeWindowHint),
      manager_(std::move(manager)),
      session_(dynamic_cast<sim::SimulatedSession*>(&manager_->platform())) {
  setObjectName(QStringLiteral("keyViewer"));
  setWindowTitle(QStringLiteral("Test Keys"));
  // A window of its own that still takes the main window's palette and font (dark mode), and
  // stays on screen while another application is active (the point is to type there).
  setAttribute(Qt::WA_WindowPropagation);
  setAttribute(Qt::WA_MacAlwaysShowToolWindow);
  setFixedSize(720, 420);

  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(kDefaultPadding, kDefaultPadding, kDefaultPadding, kDefaultPadding);
  column->setSpacing(kDefaultSpacing);
  column->addWidget(new StyledText(QStringLiteral("Test Keys"), TextStyle::Title3,
                                   SystemColor::Primary, this, true));
  hint_ = new StyledText(QString::fromUtf8(session_ != nullptr ? kTypeHere : kTypeAnywhere),
                         TextStyle::Caption, SystemColor::Secondary, this);
  hint_->setObjectName(QStringLiteral("keyViewerHint"));
  hint_->setWordWrap(true);
  column->addWidget(hint_);

  lines_ = new QTreeWidget(this);
  lines_->setObjectName(QStringLiteral("keyViewerLines"));
  lines_->setAccessibleName(QStringLiteral("Keys seen"));
  lines_->setColumnCount(4);
  lines_->setHeaderLabels({QStringLiteral("Keys"), QStringLiteral("Read as"),
                           QStringLiteral("Application"), QStringLiteral("Outcome")});
  lines_->setRootIsDecorated(false);
  lines_->setUniformRowHeights(true);
  lines_->setSelectionMode(QAbstractItemView::SingleSelection);
  lines_->setFont(textStyleFont(TextStyle::Body));
  lines_->header()->setStretchLastSection(true);
  lines_->setColumnWidth(keysColumn, 90);
  lines_->setColumnWidth(readsColumn, 110);
  lines_->setColumnWidth(applicationColumn, 180);
  column->addWidget(lines_, 1);

  auto* row = new QHBoxLayout();
  row->setSpacing(kDefaultSpacing);
  copyButton_ = new QPushButton(QStringLiteral("Copy"), this);
  copyButton_->setObjectName(QStringLiteral("copyBundleIdentifier"));
  copyButton_->setToolTip(QStringLiteral("Copy the selected line's bundle identifier"));
  copyButton_->setAccessibleName(copyButton_->toolTip());
  row->addWidget(copyButton_, 0, Qt::AlignLeft);
  tapNote_ = new StyledText(QString::fromUtf8(kTapStopped), TextStyle::Caption,
                            SystemColor::Secondary, this);
  row->addWidget(tapNote_, 1);
  column->addLayout(row);

  smallPrint_ = new StyledText(QString::fromUtf8(kSmallPrint), TextStyle::Caption,
                               SystemColor::Secondary, this);
  smallPrint_->setWordWrap(true);
  column->addWidget(smallPrint_);

  connect(copyButton_, &QPushButton::clicked, this, [this] { copySelectedBundleIdentifier(); });
  connect(lines_, &QTreeWidget::itemSelectionChanged, this, [this] { refreshCopyButton(); });
  // ⌘C on a Mac (and Ctrl+C elsewhere); Ctrl+C on a Mac too, where Qt calls Control "Meta".
  for (const QKeySequence& keys :
       {QKeySequence(QKeySequence::Copy), QKeySequence(Qt::META | Qt::Key_C)}) {
    auto* copy = new QShortcut(keys, this);
    copy->setContext(Qt::WindowShortcut);
    connect(copy, &QShortcut::activated, this, [this] { copySelectedBundleIdentifier(); });
  }
  drainTimer_.setInterval(kDrainIntervalMs);
  connect(&drainTimer_, &QTimer::timeout, this, [this] { drain(); });
  refreshCopyButton();
  refreshTapNote();
  // Off the Mac every key event of the window, whichever part has the focus, is read here.
  if (session_ != nullptr) {
    installEventFilter(this);
    for (QWidget* child : findChildren<QWidget*>()) child->installEventFilter(this);
  }
}

bool KeyViewer::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::ShortcutOverride:
      // Taken by the window as a key, so that no shortcut (Ctrl+Q, Copy) acts on it.
      event->accept();
      return true;
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
      if (const std::optional<PcKeyEvent> key = macEventOf(*static_cast<QKeyEvent*>(event))) {
        session_->keyboardEvent(key->type, key->keyCode, key->flags);
        if (key->type == kEventKeyDown) drain();
      }
      return true;  // read, never acted on: Tab does not move the focus
    default:
      return QWidget::eventFilter(watched, event);
  }
}

KeyViewer::~KeyViewer() {
  manager_->closeKeyViewer();
}

void KeyViewer::showEvent(QShowEvent* event) {
  manager_->openKeyViewer();
  drainTimer_.start();
  refreshTapNote();
  QWidget::showEvent(event);
}

void KeyViewer::hideEvent(QHideEvent* event) {
  // Closed (or hidden with the main window): nothing more is recorded, and nothing is kept.
  drainTimer_.stop();
  manager_->closeKeyViewer();
  lines_->clear();
  refreshCopyButton();
  QWidget::hideEvent(event);
}

void KeyViewer::drain() {
  if (!isVisible()) return;
  const bool lost = manager_->drainKeyViewer([this](const KeyRecord& record) { addLine(record); });
  if (lost) addLostLine();
  trimLines();
  refreshTapNote();
}

void KeyViewer::addLine(const KeyRecord& record) {
  // The application in front now, on the main thread: a moment after the key, never on the tap
  // thread's time.
  const std::string bundleIdentifier(manager_->platform().workspace().frontmostBundleIdentifier());
  QString application = QStringLiteral("no application");
  std::string name;
  if (!bundleIdentifier.empty()) {
    name = applicationName(bundleIdentifier);
    application = name == bundleIdentifier ? fromUtf8(bundleIdentifier)
                                           : fromUtf8(name) + QStringLiteral(" (") +
                                                 fromUtf8(bundleIdentifier) + QStringLiteral(")");
  }
  auto* item = new QTreeWidgetItem();
  item->setText(keysColumn, fromUtf8(macKeysWords(record.keyCode, record.flags)));
  item->setText(readsColumn,
                fromUtf8(windowsKeysWords(record.keyCode, record.flags, record.swapFnAndControl,
                                          record.swapOptionAndCommand)));
  item->setText(applicationColumn, application);
  // A Dock shortcut's words say what the Dock holds now (its preferences, read here only).
  std::vector<std::string> dock;
  if (dockPositionOf(record.outcome, manager_->rules()) != 0) {
    dock = manager_->platform().workspace().dockApplications();
  }
  item->setText(outcomeColumn, fromUtf8(outcomeWords(record.outcome, manager_->rules(), name,
                                                     dock.empty() ? nullptr : &dock)));
  item->setData(keysColumn, kBundleIdentifierRole, fromUtf8(bundleIdentifier));
  for (int column = keysColumn; column <= outcomeColumn; ++column) {
    item->setToolTip(column, item->text(column));
  }
  lines_->insertTopLevelItem(0, item);
}

void KeyViewer::addLostLine() {
  auto* item = new QTreeWidgetItem();
  item->setText(keysColumn, QString::fromUtf8(kKeysLost));
  item->setFlags(Qt::ItemIsEnabled);
  lines_->insertTopLevelItem(0, item);
  item->setFirstColumnSpanned(true);
}

void KeyViewer::trimLines() {
  while (lines_->topLevelItemCount() > kMaxLines) {
    delete lines_->takeTopLevelItem(lines_->topLevelItemCount() - 1);
  }
}

void KeyViewer::copySelectedBundleIdentifier() {
  const QList<QTreeWidgetItem*> selected = lines_->selectedItems();
  if (selected.isEmpty()) return;
  const QString identifier = selected.front()->data(keysColumn, kBundleIdentifierRole).toString();
  if (identifier.isEmpty()) return;
  QGuiApplication::clipboard()->setText(identifier);
}

void KeyViewer::refreshCopyButton() {
  const QList<QTreeWidgetItem*> selected = lines_->selectedItems();
  copyButton_->setEnabled(
      !selected.isEmpty() &&
      !selected.front()->data(keysColumn, kBundleIdentifierRole).toString().isEmpty());
}

void KeyViewer::refreshTapNote() {
  tapNote_->setVisible(!manager_->isEnabled.get());
}

}  // namespace corvane::ui
