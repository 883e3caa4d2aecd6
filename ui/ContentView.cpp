#include "ui/ContentView.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QShortcut>
#include <QStyleOptionButton>
#include <QVBoxLayout>
#include <fstream>
#include <sstream>

#include "ui/CollapsibleShortcutSection.h"
#include "ui/ExclusionList.h"
#include "ui/KeyBadge.h"
#include "ui/KeyViewer.h"
#include "ui/PermissionsAlert.h"
#include "ui/RulesNotes.h"
#include "ui/RulesRows.h"
#include "ui/ShortcutEditor.h"
#include "ui/ShortcutItem.h"
#include "ui/StarterRulesFile.h"
#include "ui/StatusTag.h"
#include "ui/StyledText.h"
#include "ui/Symbols.h"
#include "ui/TrustWatch.h"

namespace corvane::ui {
namespace {

// The prominent style at the large control size: filled with the accent colour (system blue),
// white text, rounded-rectangle border shape.
class ProminentButton : public QPushButton {
 public:
  explicit ProminentButton(QWidget* parent) : QPushButton(parent) {
    setFont(textStyleFont(TextStyle::Body));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  }
  QSize sizeHint() const override {
    const QFontMetrics metrics(font());
    return {metrics.horizontalAdvance(text()) + 32, 30};
  }
  QSize minimumSizeHint() const override { return {80, 30}; }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QColor fill = systemColor(SystemColor::Blue, palette());
    if (isDown()) fill = fill.darker(125);
    if (!isEnabled()) fill.setAlphaF(0.4);
    const QRectF box = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    painter.fillPath(continuousRoundedRect(box, 7), fill);
    if (hasFocus()) {
      QColor ring = systemColor(SystemColor::Blue, palette());
      ring.setAlphaF(0.5);
      painter.setPen(QPen(ring, 2));
      painter.drawPath(continuousRoundedRect(box.adjusted(1, 1, -1, -1), 6));
    }
    painter.setPen(Qt::white);
    painter.setFont(font());
    painter.drawText(rect(), Qt::AlignCenter, text());
  }
};

// The bordered style at the default control size: a light fill, a hairline border and a
// rounded-rectangle shape. On macOS the native push button is exactly that.
class BorderedButton : public QPushButton {
 public:
  BorderedButton(const QString& text, QWidget* parent) : QPushButton(text, parent) {
    setFont(textStyleFont(TextStyle::Body));
    setAutoDefault(false);
  }
#ifndef Q_OS_MACOS
  QSize sizeHint() const override {
    const QFontMetrics metrics(font());
    return {metrics.horizontalAdvance(text()) + 24, metrics.height() + 10};
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const bool dark = isDarkPalette(palette());
    QColor fill = dark ? QColor(255, 255, 255, 46) : QColor(255, 255, 255);
    if (isDown()) fill = dark ? QColor(255, 255, 255, 80) : QColor(226, 226, 230);
    QColor border = dark ? QColor(255, 255, 255, 40) : QColor(0, 0, 0, 50);
    if (hasFocus()) border = systemColor(SystemColor::Blue, palette());
    const QRectF box = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    const QPainterPath shape = continuousRoundedRect(box, 5);
    painter.fillPath(shape, fill);
    painter.setPen(QPen(border, 1));
    painter.drawPath(shape);
    painter.setPen(systemColor(SystemColor::Primary, palette()));
    painter.setFont(font());
    painter.drawText(rect(), Qt::AlignCenter, text());
  }
#endif
};

// A horizontal separator line, one pixel, in the separator colour of the palette's appearance.
class SeparatorLine : public QWidget {
 public:
  explicit SeparatorLine(QWidget* parent) : QWidget(parent) {
    setFixedHeight(1);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    QColor line = systemColor(SystemColor::Primary, palette());
    line.setAlphaF(isDarkPalette(palette()) ? 0.2 : 0.12);
    painter.fillRect(rect(), line);
  }
};

// A column that takes an equal share of its row, whatever its content's natural width.
QWidget* equalShareColumn(QWidget* parent, QVBoxLayout*& layout, int spacing) {
  auto* column = new QWidget(parent);
  QSizePolicy policy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  policy.setHorizontalStretch(1);
  column->setSizePolicy(policy);
  layout = new QVBoxLayout(column);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(spacing);
  layout->setAlignment(Qt::AlignTop | Qt::AlignLeft);
  return column;
}

QWidget* paddedRow(QWidget* parent, QHBoxLayout*& layout, int spacing, QMargins padding) {
  auto* row = new QWidget(parent);
  layout = new QHBoxLayout(row);
  layout->setContentsMargins(padding);
  layout->setSpacing(spacing);
  return row;
}

}  // namespace

std::array<const char*, 3> macKeysOfMappings(bool swapOptionAndCommand, bool swapFnAndControl) {
  return {swapOptionAndCommand ? "Option (⌥)" : "Command (⌘)",
          swapOptionAndCommand ? "Command (⌘)" : "Option (⌥)",
          swapFnAndControl ? "Fn" : "Control (^)"};
}

ContentView::ContentView(QWidget* parent)
    : ContentView(KeyboardShortcutManager::shared().shared_from_this(), makeDefaultWindowServices(),
                  parent) {}

ContentView::ContentView(std::shared_ptr<KeyboardShortcutManager> manager, WindowServices services,
                         QWidget* parent)
    : QWidget(parent),
      shortcutManager_(std::move(manager)),
      services_(std::move(services)),
      rulesStatus_(std::make_shared<RulesStatus>(rulesFilePath())),
      rulesFileEditor_(
          std::make_unique<edit::RulesFileEditor>(rulesStatus_->path(), starterRulesFile())) {
  setObjectName(QStringLiteral("ContentView"));
  fileRules_ = parseRules(rulesFileEditor_->text()).rules;
  trustWatch_ = new TrustWatch(
      *shortcutManager_, services_.trust, [this] { scheduleRecompose(); }, this);
  build();
  rulesStatusConnection_ =
      connect(rulesStatus_.get(), &RulesStatus::changed, this, [this] { scheduleRecompose(); });
  rulesRereadConnection_ =
      connect(rulesStatus_.get(), &RulesStatus::fileReread, this, [this] { followRulesFile(); });
  connect(new QShortcut(QKeySequence::Undo, this), &QShortcut::activated, this,
          [this] { undoEdit(); });
  // The manager signals before it stores the new value: the composition is queued on this
  // view's (the main) thread and runs once the assignment is done. Several signals make one.
  subscription_ = shortcutManager_->objectWillChange.subscribe([this] { scheduleRecompose(); });
  recompose();
}

ContentView::~ContentView() {
  shortcutManager_->objectWillChange.unsubscribe(subscription_);
}

void ContentView::scheduleRecompose() {
  if (recomposeQueued_.exchange(true)) return;
  QMetaObject::invokeMethod(
      this,
      [this] {
        recomposeQueued_ = false;
        recompose();
      },
      Qt::QueuedConnection);
}

void ContentView::setViewState(bool& field, bool value) {
  field = value;
  recompose();
}

void ContentView::build() {
  auto* rootLayout = new QVBoxLayout(this);
  rootLayout->setContentsMargins(0, 0, 0, 0);
  scrollArea_ = new QScrollArea(this);
  scrollArea_->setObjectName(QStringLiteral("scrollArea"));
  scrollArea_->setFrameShape(QFrame::NoFrame);
  scrollArea_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  scrollArea_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  scrollArea_->setWidgetResizable(true);
  // Not a Tab stop of its own: it follows the focus, and Page Up and Down that the focused
  // control does not take still scroll it.
  scrollArea_->setFocusPolicy(Qt::NoFocus);
  rootLayout->addWidget(scrollArea_);

  auto* content = new QWidget(scrollArea_);
  content->setObjectName(QStringLiteral("content"));
  content->setAutoFillBackground(false);
  auto* column = new QVBoxLayout(content);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(16);
  column->addWidget(makeHeaderRow());
  column->addWidget(makeControlsRow());
  column->addWidget(makeSeparator());
  column->addWidget(makeListTitleRow());
  column->addWidget(makeSectionArea());
  column->addStretch(1);
  scrollArea_->setWidget(content);
  scrollArea_->viewport()->setAutoFillBackground(false);

  permissionsAlert_ = new PermissionsAlert(
      Binding{[this] { return showingPermissionsAlert_; },
              [this](bool value) { setViewState(showingPermissionsAlert_, value); }},
      [this] { openAccessibilitySettings(); }, this);
}

QWidget* ContentView::makeHeaderRow() {
  // A grid, so that the notes line up under the status: row 0 is the header row, row 1 the
  // notes from the status's column on. With no note, row 1 is empty and takes no room.
  auto* header = new QWidget(this);
  auto* grid = new QGridLayout(header);
  grid->setContentsMargins(20, kDefaultPadding, 20, 16);
  grid->setHorizontalSpacing(8);
  grid->setVerticalSpacing(4);
  auto* symbol = new SymbolImage(Symbol::Keyboard, QSize(24, 17), SystemColor::Blue, header);
  symbol->setObjectName(QStringLiteral("keyboardSymbol"));
  grid->addWidget(symbol, 0, 0, Qt::AlignVCenter);
  grid->addWidget(new StyledText(QStringLiteral("Corvane"), TextStyle::Title3, SystemColor::Primary,
                                 header, /*semibold=*/true),
                  0, 1, Qt::AlignVCenter);
  // A fixed 16-wide element: the row's spacing of 8 applies on both of its sides.
  auto* gap = new QWidget(header);
  gap->setFixedSize(16, 1);
  grid->addWidget(gap, 0, 2);
  statusTag_ = new StatusTag(false, header);
  statusTag_->setObjectName(QStringLiteral("statusTag"));
  grid->addWidget(statusTag_, 0, 3, Qt::AlignVCenter);
  grid->setColumnStretch(4, 1);

  // Quiet lines about what the status does not say; each shows only when it applies.
  statusNotes_ = new QWidget(header);
  statusNotes_->setObjectName(QStringLiteral("statusNotes"));
  auto* notes = new QVBoxLayout(statusNotes_);
  notes->setContentsMargins(0, 0, 0, 0);
  notes->setSpacing(2);
  simulatedKeyboardNote_ = new StyledText(QString::fromUtf8(kSimulatedKeyboardLine),
                                          TextStyle::Caption, SystemColor::Secondary, statusNotes_);
  simulatedKeyboardNote_->setObjectName(QStringLiteral("simulatedKeyboardNote"));
  notes->addWidget(simulatedKeyboardNote_);
  // A line with a link after it, for the notes that lead somewhere.
  auto lineWithLink = [this, notes](StyledText*& text, LinkButton*& link, const char* name,
                                    const QString& linkText) {
    QHBoxLayout* row = nullptr;
    QWidget* holder = paddedRow(statusNotes_, row, 6, QMargins());
    text = new StyledText(QString(), TextStyle::Caption, SystemColor::Secondary, holder);
    text->setObjectName(QString::fromLatin1(name));
    text->setWordWrap(true);
    text->setMaximumWidth(520);
    row->addWidget(text, 0, Qt::AlignVCenter);
    link = new LinkButton(linkText, TextStyle::Caption, holder);
    row->addWidget(link, 0, Qt::AlignVCenter);
    row->addStretch(1);
    notes->addWidget(holder);
    return holder;
  };
  permissionRow_ = lineWithLink(permissionNote_, permissionSettingsLink_, "permissionNote",
                                QStringLiteral("Open Accessibility Settings"));
  connect(permissionSettingsLink_, &QAbstractButton::clicked, this,
          [this] { openAccessibilitySettings(); });
  secureInputNote_ = new StyledText(QString::fromUtf8(kSecureInputLine), TextStyle::Caption,
                                    SystemColor::Secondary, statusNotes_);
  secureInputNote_->setObjectName(QStringLiteral("secureInputNote"));
  notes->addWidget(secureInputNote_);
  loginItemRow_ = lineWithLink(loginItemNote_, loginItemsLink_, "loginItemNote",
                               QStringLiteral("Open Login Items"));
  connect(loginItemsLink_, &QAbstractButton::clicked, this, [this] {
    if (services_.urlOpener)
      static_cast<void>(services_.urlOpener->openURL(kLoginItemsSettingsUrl));
  });
  grid->addWidget(statusNotes_, 1, 3, 1, 2, Qt::AlignLeft | Qt::AlignTop);
  return header;
}

void ContentView::setLoginItemNote(LoginItemNote note) {
  if (loginItem_ == note) return;
  loginItem_ = note;
  recompose();
}

void ContentView::setSimulatedKeyboard(bool simulated) {
  if (simulatedKeyboard_ == simulated) return;
  simulatedKeyboard_ = simulated;
  recompose();
}

QWidget* ContentView::makeControlsRow() {
  QHBoxLayout* row = nullptr;
  QWidget* controls = paddedRow(this, row, 24, QMargins(20, 0, 20, 0));
  row->setAlignment(Qt::AlignTop);

  QVBoxLayout* left = nullptr;
  QWidget* leftColumn = equalShareColumn(controls, left, 8);
  startStopButton_ = new ProminentButton(leftColumn);
  startStopButton_->setObjectName(QStringLiteral("startStopButton"));
  connect(startStopButton_, &QPushButton::clicked, this, [this] { toggleShortcuts(); });
  left->addWidget(startStopButton_);

  requestPermissionsButton_ = new BorderedButton(QStringLiteral("Request Permissions"), leftColumn);
  requestPermissionsButton_->setObjectName(QStringLiteral("requestPermissionsButton"));
  connect(requestPermissionsButton_, &QPushButton::clicked, this, [this] { requestPermissions(); });
  left->addWidget(requestPermissionsButton_, 0, Qt::AlignHCenter);
  // Off the Mac, what a press of the button found: there is no permission to ask for.
  noPermissionNote_ = new StyledText(QString::fromUtf8(kNoPermissionToAskLine), TextStyle::Caption,
                                     SystemColor::Secondary, leftColumn);
  noPermissionNote_->setObjectName(QStringLiteral("noPermissionNote"));
  noPermissionNote_->setWordWrap(true);
  noPermissionNote_->setVisible(false);
  left->addWidget(noPermissionNote_);
  left->addSpacing(12);

  auto* swapTitle = new StyledText(QStringLiteral("Swap keys for exact behaviour as windows"),
                                   TextStyle::Title3, SystemColor::Primary, leftColumn, true);
  swapTitle->setWordWrap(true);
  left->addWidget(swapTitle);

  auto addSwapBox = [&](const QString& label, const char* name) {
    QHBoxLayout* boxRow = nullptr;
    QWidget* holder = paddedRow(leftColumn, boxRow, 6, QMargins());
    auto* box = new QCheckBox(label, holder);
    box->setObjectName(QString::fromLatin1(name));
    box->setFont(textStyleFont(TextStyle::Body));
    boxRow->addWidget(box, 0, Qt::AlignVCenter);
    boxRow->addStretch(1);
    left->addWidget(holder);
    return box;
  };
  swapFnAndControlBox_ = addSwapBox(QStringLiteral("Swap Fn and Control keys"), "swapFnAndControl");
  swapOptionAndCommandBox_ =
      addSwapBox(QStringLiteral("Swap Option (Alt) and Command (⌘)"), "swapOptionAndCommand");
  swapOptionAndCommandBox_->setAccessibleName(QStringLiteral("Swap Option (Alt) and Command"));
  // A click writes straight through to the manager; the box then shows what the manager holds.
  connect(swapFnAndControlBox_, &QCheckBox::clicked, this,
          [this](bool checked) { shortcutManager_->swapFnAndControl = checked; });
  connect(swapOptionAndCommandBox_, &QCheckBox::clicked, this,
          [this](bool checked) { shortcutManager_->swapOptionAndCommand = checked; });

  QVBoxLayout* right = nullptr;
  QWidget* rightColumn = equalShareColumn(controls, right, 8);
  right->addWidget(new StyledText(QStringLiteral("How It Works:"), TextStyle::Headline,
                                  SystemColor::Primary, rightColumn, true));
  auto* how = new StyledText(QStringLiteral("Press Windows keys → App converts to macOS keys"),
                             TextStyle::Caption, SystemColor::Secondary, rightColumn);
  how->setWordWrap(true);
  right->addWidget(how);
  right->addWidget(new StyledText(QStringLiteral("Key Mappings:"), TextStyle::Headline,
                                  SystemColor::Primary, rightColumn, true));
  // Each Windows key and the Mac key that plays it under the swap settings (recompose names
  // them), as the list below relabels its rows.
  const char* const windowsKeys[] = {"Windows Key", "Alt Key", "Control Key"};
  for (size_t i = 0; i < std::size(windowsKeys); ++i) {
    const char* windowsKey = windowsKeys[i];
    QHBoxLayout* mapping = nullptr;
    QWidget* holder = paddedRow(rightColumn, mapping, kDefaultSpacing, QMargins());
    mapping->addWidget(new KeyBadge(QString::fromUtf8(windowsKey), SystemColor::Gray, holder), 0,
                       Qt::AlignVCenter);
    auto* arrow =
        new StyledText(QStringLiteral("→"), TextStyle::Body, SystemColor::Secondary, holder);
    mapping->addWidget(arrow, 0, Qt::AlignVCenter);
    macKeyBadges_[i] = new KeyBadge(QString(), SystemColor::Blue, holder);
    mapping->addWidget(macKeyBadges_[i], 0, Qt::AlignVCenter);
    mapping->addStretch(1);
    right->addWidget(holder);
  }

  row->addWidget(leftColumn, 1, Qt::AlignTop);
  row->addWidget(rightColumn, 1, Qt::AlignTop);
  return controls;
}

QWidget* ContentView::makeSeparator() {
  QHBoxLayout* row = nullptr;
  QWidget* holder = paddedRow(this, row, 0, QMargins(20, 8, 20, 0));
  row->addWidget(new SeparatorLine(holder));
  return holder;
}

QWidget* ContentView::makeListTitleRow() {
  // The title row, and under it the rules file's lines (hidden, and so taking no room, while
  // they have nothing to say).
  auto* holder = new QWidget(this);
  auto* column = new QVBoxLayout(holder);
  column->setContentsMargins(20, 12, 20, 0);
  column->setSpacing(4);
  QHBoxLayout* row = nullptr;
  QWidget* titleRow = paddedRow(holder, row, kDefaultSpacing, QMargins());
  row->addWidget(new StyledText(QStringLiteral("Shortcut List"), TextStyle::Title3,
                                SystemColor::Primary, titleRow, true));
  row->addStretch(1);
  // The title row's links, each with its name for screen readers.
  const auto addLink = [&](const char* text, const char* name, const char* spoken, auto slot) {
    auto* link = new LinkButton(QString::fromUtf8(text), TextStyle::Body, titleRow);
    link->setObjectName(QString::fromLatin1(name));
    link->setAccessibleName(QString::fromUtf8(spoken));
    connect(link, &QAbstractButton::clicked, this, slot);
    row->addWidget(link, 0, Qt::AlignVCenter);
    return link;
  };
  undoButton_ = addLink("Undo", "undoButton", "Undo the last change to the rules file",
                        [this] { undoEdit(); });
  addShortcutButton_ = addLink("Add shortcut…", "addShortcutButton", "Add a shortcut of your own",
                               [this] { openShortcutEditor(std::nullopt); });
  editRulesButton_ =
      addLink("Edit…", "editRulesButton", "Edit the rules file", [this] { editRules(); });
  testKeysButton_ = addLink("Test Keys…", "testKeysButton", "See the keys Corvane reads",
                            [this] { showKeyViewer(); });
  column->addWidget(titleRow);
  rulesNotes_ = new RulesNotes([this] { editRules(); }, holder);
  rulesNotes_->setReload([this] { reloadRulesFile(); });
  column->addWidget(rulesNotes_);
  exclusionList_ =
      new ExclusionList([this](const RulesEdit& edit) { return applyEdit(edit); }, holder);
  column->addWidget(exclusionList_);
  return holder;
}

QWidget* ContentView::makeSectionArea() {
  QHBoxLayout* row = nullptr;
  QWidget* area = paddedRow(this, row, 24, QMargins(20, 0, 20, kDefaultPadding));
  row->setAlignment(Qt::AlignTop);
  const bool swapOption = shortcutManager_->swapOptionAndCommand;
  const bool swapFn = shortcutManager_->swapFnAndControl;
  auto binding = [this](bool ContentView::*field) {
    return Binding{[this, field] { return this->*field; },
                   [this, field](bool value) { setViewState(this->*field, value); }};
  };

  QVBoxLayout* left = nullptr;
  QWidget* leftColumn = equalShareColumn(area, left, 12);
  systemSection_ = new CollapsibleShortcutSection(
      QStringLiteral("System & Window Management"), systemShortcuts,
      binding(&ContentView::showSystem_), swapOption, swapFn, leftColumn);
  browserSection_ = new CollapsibleShortcutSection(
      QStringLiteral("Browser & Tabs"), browserShortcuts, binding(&ContentView::showBrowser_),
      swapOption, swapFn, leftColumn);
  userSection_ = new CollapsibleShortcutSection(
      QStringLiteral("Your Shortcuts"), std::vector<SectionRow>{},
      binding(&ContentView::showUserShortcuts_), swapOption, swapFn, leftColumn);
  userSection_->setVisible(false);
  left->addWidget(systemSection_);
  left->addWidget(browserSection_);
  left->addWidget(userSection_);

  QVBoxLayout* right = nullptr;
  QWidget* rightColumn = equalShareColumn(area, right, 12);
  editingSection_ = new CollapsibleShortcutSection(
      QStringLiteral("Editing & Clipboard"), editingShortcuts, binding(&ContentView::showEditing_),
      swapOption, swapFn, rightColumn);
  filesSection_ = new CollapsibleShortcutSection(QStringLiteral("Files & Documents"), fileShortcuts,
                                                 binding(&ContentView::showFiles_), swapOption,
                                                 swapFn, rightColumn);
  right->addWidget(editingSection_);
  right->addWidget(filesSection_);

  // Each built-in row ends in its switch; a row of "Your Shortcuts" opens the shortcut editor.
  for (CollapsibleShortcutSection* section :
       {systemSection_, browserSection_, editingSection_, filesSection_}) {
    section->setRowExtras([this, section](size_t index, QWidget* row, QHBoxLayout* layout) {
      addBuiltinSwitch(row, layout, section->shortcuts()[index], editedRules(),
                       [this](const RulesEdit& edit) { return applyEdit(edit); });
    });
  }
  userSection_->setRowExtras([this](size_t index, QWidget* row, QHBoxLayout*) {
    onDoubleClick(row, [this, index] { openShortcutEditor(index); });
  });

  row->addWidget(leftColumn, 1, Qt::AlignTop);
  row->addWidget(rightColumn, 1, Qt::AlignTop);
  return area;
}

void ContentView::recompose() {
  KeyboardShortcutManager& manager = *shortcutManager_;
  const bool isEnabled = manager.isEnabled;
  const bool swapFn = manager.swapFnAndControl;
  const bool swapOption = manager.swapOptionAndCommand;

  statusTag_->setIsActive(isEnabled);
  simulatedKeyboardNote_->setVisible(simulatedKeyboard_);
  // The permission, secure input and the login item: each line only while it applies.
  trustWatch_->follow();
  const bool keptOff = trustWatch_->tapKeptSwitchedOff();
  const bool takenAway = !keptOff && trustWatch_->permissionTakenAway();
  const bool waiting = !keptOff && !takenAway && trustWatch_->waitingForPermission();
  permissionNote_->setText(QString::fromUtf8(keptOff     ? kTapKeptSwitchedOffLine
                                             : takenAway ? kPermissionTakenAwayLine
                                                         : kWaitingForPermissionLine));
  permissionRow_->setVisible(keptOff || takenAway || waiting);
  const bool paused = isEnabled && trustWatch_->pausedBySecureInput();
  secureInputNote_->setVisible(paused);
  statusTag_->setPausedReason(paused ? QString::fromUtf8(kSecureInputLine) : QString());
  loginItemNote_->setText(QString::fromUtf8(loginItem_ == LoginItemNote::requiresApproval
                                                ? kLoginItemApprovalLine
                                                : kMoveToApplicationsLine));
  loginItemsLink_->setVisible(loginItem_ == LoginItemNote::requiresApproval);
  loginItemRow_->setVisible(loginItem_ != LoginItemNote::none);
  statusNotes_->setVisible(simulatedKeyboard_ || keptOff || takenAway || waiting || paused ||
                           loginItem_ != LoginItemNote::none);
  startStopButton_->setText(isEnabled ? QStringLiteral("Stop Shortcuts")
                                      : QStringLiteral("Start Shortcuts"));
  startStopButton_->update();
  swapFnAndControlBox_->setChecked(swapFn);
  swapOptionAndCommandBox_->setChecked(swapOption);
  const std::array<const char*, 3> macKeys = macKeysOfMappings(swapOption, swapFn);
  for (size_t i = 0; i < macKeys.size(); ++i) {
    const QString text = QString::fromUtf8(macKeys[i]);
    if (macKeyBadges_[i]->text() == text) continue;
    macKeyBadges_[i]->setText(text);
    macKeyBadges_[i]->setAccessibleName(spokenKeys(text));
  }

  // The rules file: built-in rows it switches off, the user's own shortcuts, the exclusion and
  // error lines. Without a file all of this is as if there were no rules file feature.
  const RulesFile* rules = manager.rules();
  systemSection_->setRows(builtinRows(systemShortcuts, rules));
  browserSection_->setRows(builtinRows(browserShortcuts, rules));
  editingSection_->setRows(builtinRows(editingShortcuts, rules));
  filesSection_->setRows(builtinRows(fileShortcuts, rules));
  std::vector<SectionRow> userRows =
      rules != nullptr ? userShortcutRows(*rules) : std::vector<SectionRow>{};
  userSection_->setVisible(!userRows.empty());
  userSection_->setRows(std::move(userRows));
  rulesNotes_->compose(exclusionLine(rules), rulesStatus_->describeError(), editFailure_,
                       editProblem_, offerReload_);
  exclusionList_->compose(editedRules(), services_.applications
                                             ? services_.applications->frontmostBeforeWindow()
                                             : std::nullopt);
  undoButton_->setVisible(rulesFileEditor_->canUndo());

  for (CollapsibleShortcutSection* section :
       {systemSection_, browserSection_, editingSection_, filesSection_, userSection_}) {
    section->compose(swapOption, swapFn);
  }
  for (CollapsibleShortcutSection* section :
       {systemSection_, browserSection_, editingSection_, filesSection_}) {
    syncSwitches(*section, editedRules());
  }
  permissionsAlert_->sync();
}

void ContentView::setRulesStatus(std::shared_ptr<RulesStatus> status) {
  if (!status) return;
  disconnect(rulesStatusConnection_);
  disconnect(rulesRereadConnection_);
  const bool samePath = status->path() == rulesStatus_->path();
  rulesStatus_ = std::move(status);
  rulesStatusConnection_ =
      connect(rulesStatus_.get(), &RulesStatus::changed, this, [this] { scheduleRecompose(); });
  rulesRereadConnection_ =
      connect(rulesStatus_.get(), &RulesStatus::fileReread, this, [this] { followRulesFile(); });
  if (!samePath) {
    rulesFileEditor_ =
        std::make_unique<edit::RulesFileEditor>(rulesStatus_->path(), starterRulesFile());
    rulesFileChanged();
  }
  recompose();
}

const RulesFile* ContentView::editedRules() const {
  return fileRules_ ? &*fileRules_ : shortcutManager_->rules();
}

void ContentView::rulesFileChanged() {
  fileRules_ = parseRules(rulesFileEditor_->text()).rules;
  scheduleRecompose();
}

bool ContentView::applyEdit(const RulesEdit& edit) {
  const edit::RulesFileEditor::Result result = rulesFileEditor_->apply(edit);
  showEditOutcome(result);
  return result.outcome == edit::RulesFileEditor::Outcome::written ||
         result.outcome == edit::RulesFileEditor::Outcome::unchanged;
}

void ContentView::undoEdit() {
  if (rulesFileEditor_->canUndo()) showEditOutcome(rulesFileEditor_->undo());
}

void ContentView::showEditOutcome(const edit::RulesFileEditor::Result& result) {
  // Composed later: the control pressed may be one that the composition makes anew.
  editProblem_ = editOutcomeLine(result, rulesStatus_->path());
  offerReload_ = result.outcome == edit::RulesFileEditor::Outcome::changedOnDisk;
  rulesFileChanged();
}

void ContentView::reloadRulesFile() {
  rulesFileEditor_->reload();
  editProblem_.clear();
  offerReload_ = false;
  rulesFileChanged();
}

void ContentView::followRulesFile() {
  // The loader read the file after a change. The window's own write is what the editor holds
  // (its undo stays); anyone else's save is read again.
  std::ifstream file(rulesStatus_->path(), std::ios::binary);
  std::ostringstream onDisk;
  if (file) onDisk << file.rdbuf();
  if (file.is_open() == rulesFileEditor_->exists() &&
      (!file.is_open() || onDisk.str() == rulesFileEditor_->text())) {
    return;
  }
  reloadRulesFile();
}

void ContentView::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  if (!event->spontaneous() && rulesFileEditor_->canUndo()) reloadRulesFile();
}

void ContentView::openShortcutEditor(std::optional<size_t> index) {
  const std::string text = rulesFileEditor_->text();
  auto* editor = new ShortcutEditor(shortcutManager_, services_, text, index, this);
  editor->setAttribute(Qt::WA_DeleteOnClose);
  connect(editor, &QDialog::accepted, this, [this, editor, index, text] {
    const edit::ShortcutDraft draft = editor->draft();
    // The file read again while the editor was open: the shortcut it changes may be another.
    if (rulesFileEditor_->text() != text) {
      showEditOutcome({edit::RulesFileEditor::Outcome::changedOnDisk, {}});
      return;
    }
    applyEdit([draft, index](std::string_view now) {
      return index ? edit::replaceShortcut(now, *index, draft) : edit::addShortcut(now, draft);
    });
  });
  editor->open();
}

void ContentView::showKeyViewer() {
  if (keyViewer_ == nullptr) keyViewer_ = new KeyViewer(shortcutManager_, this);
  keyViewer_->show();
  keyViewer_->raise();
  keyViewer_->activateWindow();
}

void ContentView::editRules() {
  const EditOutcome outcome = editRulesFile(rulesStatus_->path(), services_.urlOpener.get());
  const QString failure = editFailureLine(outcome, rulesStatus_->path());
  if (failure == editFailure_) return;
  editFailure_ = failure;
  recompose();
}

void ContentView::toggleShortcuts() {
  KeyboardShortcutManager& manager = *shortcutManager_;
  if (manager.isEnabled.get()) {
    trustWatch_->stopRequested();
    manager.stop();
  } else {
    trustWatch_->startRequested();
    manager.start();
  }
}

void ContentView::requestPermissions() {
  if (simulatedKeyboard_) {
    // A simulated keyboard is no one's to guard: say so rather than do nothing.
    noPermissionNote_->setVisible(true);
    return;
  }
  if (!services_.trust) return;
  if (!services_.trust->checkAccessibilityTrust()) {
    setViewState(showingPermissionsAlert_, true);
  }
}

void ContentView::openAccessibilitySettings() {
  if (services_.urlOpener) ui::openAccessibilitySettings(*services_.urlOpener);
}

}  // namespace corvane::ui
