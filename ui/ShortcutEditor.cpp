#include "ui/ShortcutEditor.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFocusEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QSpinBox>
#include <QStackedWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "engine/Builtins.h"
#include "platform/simulated/SimulatedSession.h"
#include "rules/ApplicationNames.h"
#include "rules/KeyNames.h"
#include "rules/KeyWords.h"
#include "ui/PcKeyboard.h"
#include "ui/StyledText.h"

namespace corvane::ui {
namespace {

QString fromUtf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

bool isTappedAlone(std::string_view press) {
  for (const char* name : {"ctrl", "win", "alt"}) {
    if (QString::fromUtf8(press.data(), static_cast<qsizetype>(press.size()))
            .compare(QLatin1String(name), Qt::CaseInsensitive) == 0) {
      return true;
    }
  }
  return false;
}

// "Ctrl + Shift + Home", "Win (tapped alone)".
QString pressWords(const std::string& press) {
  if (isTappedAlone(press)) return fromUtf8(press) + QStringLiteral(" (tapped alone)");
  return fromUtf8(press).replace(u'+', QStringLiteral(" + "));
}

bool namesShift(const std::string& press) {
  return fromUtf8(press).split(u'+').contains(QStringLiteral("shift"), Qt::CaseInsensitive);
}

// A recorded key-down as a keystroke to send, as "send" writes it ("Cmd+Shift+4").
std::string keystrokeOf(const KeyRecord& record) {
  std::string written;
  EventFlags done = 0;
  for (const ModifierName& modifier : macModifierNames()) {
    if ((record.flags & modifier.bit) != 0 && (done & modifier.bit) == 0) {
      written += std::string(modifier.name) + "+";
      done |= modifier.bit;
    }
  }
  const std::string_view name = record.keyCode >= 0 && record.keyCode < 128
                                    ? keyNameOf(static_cast<uint8_t>(record.keyCode))
                                    : std::string_view();
  return written + (name.empty() ? "key " + std::to_string(record.keyCode) : std::string(name));
}

std::string joined(const std::vector<std::string>& names) {
  std::string out;
  for (const std::string& name : names) out += (out.empty() ? "" : ", ") + name;
  return out;
}

// "everywhere", "in browsers", "except in com.apple.Terminal", "in editors, except in ...".
std::string whereWords(const std::vector<std::string>& apps,
                       const std::vector<std::string>& except) {
  std::string words = apps.empty() ? "" : "in " + joined(apps);
  if (!except.empty())
    words += std::string(words.empty() ? "" : ", ") + "except in " + joined(except);
  return words.empty() ? "everywhere" : words;
}

// The Windows modifiers (Shift included) a shortcut matches with.
std::vector<uint8_t> heldSets(const UserShortcut& shortcut) {
  std::vector<uint8_t> held{shortcut.modifiers};
  if (shortcut.withShift) held.push_back(static_cast<uint8_t>(shortcut.modifiers | kModShift));
  return held;
}

struct Verdict {
  bool acceptable = false;
  std::string words;
};

// What the reader says of the file with the edit made: its refusal, or the built-in the
// shortcut goes before and the shortcuts of the user's with the same keys.
Verdict verdictOf(const edit::EditResult& result, std::optional<size_t> index) {
  if (!result.text || !result.rules || result.rules->shortcuts.empty()) {
    return {false, "The rules file would refuse this: " + result.error.message};
  }
  const RulesFile& rules = *result.rules;
  const size_t at = index ? *index : rules.shortcuts.size() - 1;
  if (at >= rules.shortcuts.size()) return {false, "The rules file would refuse this."};
  const UserShortcut& made = rules.shortcuts[at];
  const std::vector<std::string> madeExcept = made.except.written;
  std::vector<std::string> notes;
  if (!made.tapped && made.keyCode < 128) {
    const uint8_t row = kBuiltinMatch.rowOf[made.keyCode];
    std::vector<uint8_t> seen;
    for (const uint8_t held : heldSets(made)) {
      const uint8_t builtin = row == 0 ? kNoBuiltin : kBuiltinMatch.byHeld[row][held];
      if (builtin == kNoBuiltin || std::ranges::find(seen, builtin) != seen.end()) continue;
      seen.push_back(builtin);
      const Builtin& entry = kBuiltins[builtin];
      if (rules.disables(static_cast<BuiltinCombination>(builtin))) continue;
      notes.push_back("Replaces the built-in " + std::string(entry.name) + " (" +
                      std::string(actionEntry(entry.action).title) + ") " +
                      whereWords(made.apps, madeExcept) + ".");
    }
  }
  for (size_t i = 0; i < rules.shortcuts.size(); ++i) {
    const UserShortcut& other = rules.shortcuts[i];
    if (i == at || other.tapped != made.tapped || other.keyCode != made.keyCode) continue;
    const std::vector<uint8_t> a = heldSets(made), b = heldSets(other);
    if (std::ranges::none_of(a,
                             [&](uint8_t held) { return std::ranges::find(b, held) != b.end(); }))
      continue;
    notes.push_back("Also a shortcut of yours: " + other.press + " " +
                    whereWords(other.apps, other.except.written) + " (" + other.displayTitle() +
                    "); where both apply, the one whose \"apps\" name the application in front "
                    "goes first.");
  }
  std::string words = ShortcutEditor::kReady;
  for (const std::string& note : notes) words += " " + note;
  return {true, words};
}

}  // namespace

KeyRecorder::KeyRecorder(std::shared_ptr<KeyboardShortcutManager> manager, QString idleText,
                         QWidget* parent)
    : QPushButton(idleText, parent), manager_(std::move(manager)), idleText_(std::move(idleText)) {
  setFocusPolicy(Qt::StrongFocus);
  setAutoDefault(false);
  setCheckable(false);
  connect(this, &QPushButton::clicked, this, [this] { startRecording(); });
}

KeyRecorder::~KeyRecorder() {
  stopRecording();
}

void KeyRecorder::startRecording() {
  if (recording_) return;
  recording_ = true;
  manager_->startRecording();
  setText(QStringLiteral("Recording: press the keys…"));
  emit recordingChanged(true);
}

void KeyRecorder::stopRecording() {
  if (!recording_) return;
  recording_ = false;
  manager_->stopRecording();
  emit recordingChanged(false);
}

void KeyRecorder::focusInEvent(QFocusEvent* event) {
  QPushButton::focusInEvent(event);
  startRecording();
}

void KeyRecorder::focusOutEvent(QFocusEvent* event) {
  // Also when the dialog's window is no longer the active one: keys typed in another
  // application are never taken.
  stopRecording();
  QPushButton::focusOutEvent(event);
}

void KeyRecorder::hideEvent(QHideEvent* event) {
  stopRecording();
  QPushButton::hideEvent(event);
}

ShortcutEditor::ShortcutEditor(std::shared_ptr<KeyboardShortcutManager> manager,
                               WindowServices services, std::string rulesText,
                               std::optional<size_t> index, QWidget* parent)
    : QDialog(parent),
      manager_(std::move(manager)),
      services_(std::move(services)),
      rulesText_(std::move(rulesText)),
      index_(index),
      session_(dynamic_cast<sim::SimulatedSession*>(&manager_->platform())) {
  setObjectName(QStringLiteral("shortcutEditor"));
  setWindowTitle(index ? QStringLiteral("Change Shortcut") : QStringLiteral("Add Shortcut"));
  setModal(true);
  checker_.setMaxThreadCount(1);
  RulesParse parse = parseRules(rulesText_);
  rules_ = std::move(parse.rules);
  buildControls();

  edit::ShortcutDraft draft;
  if (index && rules_ && *index < rules_->shortcuts.size()) {
    draft = edit::draftOf(rules_->shortcuts[*index]);
  }
  fill(draft);

  drainTimer_.setInterval(kDrainIntervalMs);
  connect(&drainTimer_, &QTimer::timeout, this, [this] { drain(); });
  for (KeyRecorder* recorder : {pressRecorder_, sendRecorder_}) {
    connect(recorder, &KeyRecorder::recordingChanged, this, [this](bool) {
      const bool any = pressRecorder_->isRecording() || sendRecorder_->isRecording();
      if (any) {
        drainTimer_.start();
      } else {
        drainTimer_.stop();
      }
      refreshControls();
    });
    // Off the Mac the keys typed into a recording field go to the simulated session.
    if (session_ != nullptr) recorder->installEventFilter(this);
  }
  // A new shortcut starts by its keys; a change by what it does (Tab into the keys to record).
  if (index) {
    actionPicker_->setFocus();
  } else {
    pressRecorder_->setFocus();
  }
  refreshControls();
  check();
}

ShortcutEditor::~ShortcutEditor() {
  stopRecorders();
  checker_.waitForDone();
}

void ShortcutEditor::buildControls() {
  setMinimumWidth(560);
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(kDefaultPadding, kDefaultPadding, kDefaultPadding, kDefaultPadding);
  column->setSpacing(kDefaultSpacing);
  column->addWidget(
      new StyledText(windowTitle(), TextStyle::Title3, SystemColor::Primary, this, true));

  auto* form = new QFormLayout();
  form->setSpacing(kDefaultSpacing);
  form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
  pressRecorder_ = new KeyRecorder(manager_, QStringLiteral("Record the keys"), this);
  pressRecorder_->setObjectName(QStringLiteral("pressRecorder"));
  pressRecorder_->setAccessibleName(QStringLiteral("Keys to press"));
  form->addRow(QStringLiteral("Keys to press:"), pressRecorder_);
  // The keys as pressed, under the recorder (once some are).
  reading_ = new StyledText(QString(), TextStyle::Caption, SystemColor::Secondary, this);
  reading_->setObjectName(QStringLiteral("pressReading"));
  // Its line is kept while empty, so that nothing moves when keys are recorded.
  reading_->setMinimumHeight(reading_->fontMetrics().height());
  form->addRow(QString(), reading_);
  withShift_ =
      new QCheckBox(QStringLiteral("With Shift too (Shift is sent along when held)"), this);
  withShift_->setObjectName(QStringLiteral("withShift"));
  withShift_->setAccessibleName(QStringLiteral("With Shift too"));
  form->addRow(QString(), withShift_);

  actionPicker_ = new QComboBox(this);
  actionPicker_->setObjectName(QStringLiteral("actionPicker"));
  actionPicker_->addItems({QStringLiteral("Send keys"), QStringLiteral("Open an application"),
                           QStringLiteral("Open a Dock position")});
  actionPicker_->setAccessibleName(QStringLiteral("What happens"));
  form->addRow(QStringLiteral("What happens:"), actionPicker_);
  actionPages_ = new QStackedWidget(this);
  auto* sendPage = new QWidget(actionPages_);
  auto* sendRow = new QHBoxLayout(sendPage);
  sendRow->setContentsMargins(0, 0, 0, 0);
  sendRecorder_ = new KeyRecorder(manager_, QStringLiteral("Record keys to send"), sendPage);
  sendRecorder_->setObjectName(QStringLiteral("sendRecorder"));
  sendRecorder_->setAccessibleName(QStringLiteral("Record keys to send"));
  sendKeys_ = new QLineEdit(sendPage);
  sendKeys_->setObjectName(QStringLiteral("sendKeys"));
  sendKeys_->setPlaceholderText(QStringLiteral("Cmd+Shift+4, Space (up to four)"));
  sendKeys_->setAccessibleName(QStringLiteral("Mac keys to send"));
  sendRow->addWidget(sendRecorder_);
  sendRow->addWidget(sendKeys_, 1);
  actionPages_->addWidget(sendPage);
  applicationPicker_ = new QComboBox(actionPages_);
  applicationPicker_->setObjectName(QStringLiteral("applicationPicker"));
  applicationPicker_->setAccessibleName(QStringLiteral("Application to open"));
  if (services_.applications) {
    for (const ApplicationEntry& app : services_.applications->installedApplications()) {
      applicationPicker_->addItem(fromUtf8(app.name), fromUtf8(app.path));
    }
  }
  actionPages_->addWidget(applicationPicker_);
  dockPosition_ = new QSpinBox(actionPages_);
  dockPosition_->setObjectName(QStringLiteral("dockPosition"));
  dockPosition_->setRange(1, 99);
  dockPosition_->setPrefix(QStringLiteral("Dock position "));
  dockPosition_->setAccessibleName(QStringLiteral("Dock position, 1 is Finder"));
  actionPages_->addWidget(dockPosition_);
  form->addRow(QString(), actionPages_);

  wherePicker_ = new QComboBox(this);
  wherePicker_->setObjectName(QStringLiteral("wherePicker"));
  wherePicker_->addItems({QStringLiteral("Everywhere"), QStringLiteral("In a group"),
                          QStringLiteral("In the applications ticked below"),
                          QStringLiteral("Everywhere except the applications ticked below")});
  wherePicker_->setAccessibleName(QStringLiteral("Where it applies"));
  form->addRow(QStringLiteral("Where:"), wherePicker_);
  groupPicker_ = new QComboBox(this);
  groupPicker_->setObjectName(QStringLiteral("groupPicker"));
  groupPicker_->setAccessibleName(QStringLiteral("Group"));
  for (const BuiltinGroup& group : builtinGroups()) groupPicker_->addItem(fromUtf8(group.name));
  if (rules_) {
    for (const ApplicationGroup& group : rules_->groups)
      groupPicker_->addItem(fromUtf8(group.name));
  }
  form->addRow(QString(), groupPicker_);
  applicationList_ = new QListWidget(this);
  applicationList_->setObjectName(QStringLiteral("applicationList"));
  applicationList_->setAccessibleName(QStringLiteral("Applications"));
  applicationList_->setFixedHeight(110);
  if (services_.applications) {
    for (const ApplicationEntry& app : services_.applications->runningApplications()) {
      auto* item = new QListWidgetItem(
          fromUtf8(app.name) + QStringLiteral(" (") + fromUtf8(app.bundleIdentifier) + u')',
          applicationList_);
      item->setData(Qt::UserRole, fromUtf8(app.bundleIdentifier));
      item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
      item->setCheckState(Qt::Unchecked);
    }
  }
  form->addRow(QString(), applicationList_);

  title_ = new QLineEdit(this);
  title_->setObjectName(QStringLiteral("shortcutTitle"));
  title_->setPlaceholderText(QStringLiteral("Optional: what the window lists"));
  title_->setAccessibleName(QStringLiteral("Title"));
  form->addRow(QStringLiteral("Title:"), title_);
  column->addLayout(form);

  recorderNote_ = new StyledText(QString(), TextStyle::Caption, SystemColor::Secondary, this);
  recorderNote_->setObjectName(QStringLiteral("recorderNote"));
  recorderNote_->setWordWrap(true);
  column->addWidget(recorderNote_);
  verdict_ = new StyledText(QString(), TextStyle::Body, SystemColor::Secondary, this);
  verdict_->setObjectName(QStringLiteral("shortcutVerdict"));
  verdict_->setWordWrap(true);
  // Two lines kept from the start: a dialog already shown does not grow for a wrapped line.
  verdict_->setMinimumHeight(2 * verdict_->fontMetrics().lineSpacing());
  verdict_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  column->addWidget(verdict_);
  column->addStretch(1);

  buttons_ = new QDialogButtonBox(QDialogButtonBox::Save | QDialogButtonBox::Cancel, this);
  buttons_->button(QDialogButtonBox::Save)->setAccessibleName(QStringLiteral("Save the shortcut"));
  buttons_->button(QDialogButtonBox::Cancel)->setAccessibleName(QStringLiteral("Cancel"));
  connect(buttons_, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);
  column->addWidget(buttons_);

  pressRecorder_->take = [this](const KeyRecord& record) {
    if (record.type == kEventFlagsChanged) {
      for (const ModifierName& modifier : windowsModifierNames()) {
        if (record.flags == modifier.bit) {
          setPress(std::string(modifier.name),
                   fromUtf8(macKeysWords(record.keyCode, 0)) + QStringLiteral(" alone"));
        }
      }
      return true;
    }
    setPress(windowsKeysWords(record.keyCode, record.flags, record.swapFnAndControl,
                              record.swapOptionAndCommand),
             fromUtf8(macKeysWords(record.keyCode, record.flags)));
    return true;
  };
  sendRecorder_->take = [this](const KeyRecord& record) {
    if (record.type != kEventKeyDown) return false;  // a tap alone is nothing to send
    QStringList keys;
    for (const QString& key : sendKeys_->text().split(u',', Qt::SkipEmptyParts)) {
      if (!key.trimmed().isEmpty()) keys.push_back(key.trimmed());
    }
    if (keys.size() >= static_cast<qsizetype>(kMaxSequence)) keys.clear();  // starts over
    keys.push_back(fromUtf8(keystrokeOf(record)));
    sendKeys_->setText(keys.join(QStringLiteral(", ")));
    return true;
  };
}

void ShortcutEditor::fill(const edit::ShortcutDraft& draft) {
  press_ = draft.press;
  withShift_->setChecked(draft.withShift);
  if (!draft.open.empty()) {
    actionPicker_->setCurrentIndex(openApplication);
    int at = applicationPicker_->findData(fromUtf8(draft.open));
    if (at < 0) {
      QString name = fromUtf8(draft.open).section(u'/', -1);
      if (name.endsWith(QStringLiteral(".app"))) name.chop(4);
      applicationPicker_->addItem(name, fromUtf8(draft.open));
      at = applicationPicker_->count() - 1;
    }
    applicationPicker_->setCurrentIndex(at);
  } else if (draft.dock != 0) {
    actionPicker_->setCurrentIndex(openDockPosition);
    dockPosition_->setValue(draft.dock);
  } else {
    actionPicker_->setCurrentIndex(sendKeystrokes);
    sendKeys_->setText(fromUtf8(joined(draft.send)));
  }
  title_->setText(fromUtf8(draft.title));

  // Where: a group alone, applications alone, or applications left out alone fit the pickers;
  // anything else is kept as written.
  const auto isName = [](const std::string& name) { return name.find('.') != std::string::npos; };
  const auto tick = [this, &isName](const std::vector<std::string>& names) {
    for (const std::string& name : names) {
      if (!isName(name)) continue;
      QListWidgetItem* found = nullptr;
      for (int row = 0; row < applicationList_->count(); ++row) {
        if (applicationList_->item(row)->data(Qt::UserRole).toString() == fromUtf8(name)) {
          found = applicationList_->item(row);
        }
      }
      if (found == nullptr) {
        found = new QListWidgetItem(fromUtf8(name), applicationList_);
        found->setData(Qt::UserRole, fromUtf8(name));
        found->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
      }
      found->setCheckState(Qt::Checked);
    }
  };
  const bool appsAreNames = std::ranges::all_of(draft.apps, isName);
  const bool exceptAreNames = std::ranges::all_of(draft.except, isName);
  if (draft.apps.empty() && draft.except.empty()) {
    wherePicker_->setCurrentIndex(everywhere);
  } else if (draft.except.empty() && draft.apps.size() == 1 && !isName(draft.apps[0]) &&
             groupPicker_->findText(fromUtf8(draft.apps[0])) >= 0) {
    wherePicker_->setCurrentIndex(inGroup);
    groupPicker_->setCurrentIndex(groupPicker_->findText(fromUtf8(draft.apps[0])));
  } else if (draft.except.empty() && appsAreNames) {
    wherePicker_->setCurrentIndex(inApplications);
    tick(draft.apps);
  } else if (draft.apps.empty() && exceptAreNames) {
    wherePicker_->setCurrentIndex(exceptApplications);
    tick(draft.except);
  } else {
    writtenApps_ = draft.apps;
    writtenExcept_ = draft.except;
    wherePicker_->addItem(QStringLiteral("As written: ") +
                          fromUtf8(whereWords(draft.apps, draft.except)));
    wherePicker_->setCurrentIndex(asWritten);
  }

  const auto changed = [this] {
    refreshControls();
    check();
  };
  connect(withShift_, &QCheckBox::toggled, this, changed);
  connect(actionPicker_, &QComboBox::currentIndexChanged, this, changed);
  connect(sendKeys_, &QLineEdit::textChanged, this, changed);
  connect(applicationPicker_, &QComboBox::currentIndexChanged, this, changed);
  connect(dockPosition_, &QSpinBox::valueChanged, this, changed);
  connect(wherePicker_, &QComboBox::currentIndexChanged, this, changed);
  connect(groupPicker_, &QComboBox::currentIndexChanged, this, changed);
  connect(applicationList_, &QListWidget::itemChanged, this, changed);
  connect(title_, &QLineEdit::textChanged, this, changed);
}

void ShortcutEditor::setPress(std::string press, const QString& pressed) {
  press_ = std::move(press);
  reading_->setText(pressed.isEmpty() ? QString()
                                      : QStringLiteral("Pressed: ") + pressed +
                                            QStringLiteral(", read as ") + fromUtf8(press_));
  refreshControls();
  check();
}

void ShortcutEditor::refreshControls() {
  if (!pressRecorder_->isRecording()) {
    pressRecorder_->setText(press_.empty() ? QStringLiteral("Record the keys")
                                           : pressWords(press_));
  }
  pressRecorder_->setAccessibleDescription(pressRecorder_->text());
  if (!sendRecorder_->isRecording()) sendRecorder_->setText(QStringLiteral("Record keys to send"));
  withShift_->setEnabled(!press_.empty() && !isTappedAlone(press_) && !namesShift(press_));
  actionPages_->setCurrentIndex(actionPicker_->currentIndex());
  const int where = wherePicker_->currentIndex();
  groupPicker_->setVisible(where == inGroup);
  applicationList_->setVisible(where == inApplications || where == exceptApplications);
  recorderNote_->setText(
      QString::fromUtf8(manager_->isEnabled.get() ? kRecorderHint : kTapStopped));
  buttons_->button(QDialogButtonBox::Save)->setEnabled(acceptable_);
}

edit::ShortcutDraft ShortcutEditor::draft() const {
  edit::ShortcutDraft draft;
  draft.press = press_;
  switch (actionPicker_->currentIndex()) {
    case openApplication:
      draft.open = applicationPicker_->currentData().toString().toStdString();
      break;
    case openDockPosition:
      draft.dock = dockPosition_->value();
      break;
    default:
      for (const QString& key : sendKeys_->text().split(u',', Qt::SkipEmptyParts)) {
        if (!key.trimmed().isEmpty()) draft.send.push_back(key.trimmed().toStdString());
      }
  }
  std::vector<std::string> ticked;
  for (int row = 0; row < applicationList_->count(); ++row) {
    if (applicationList_->item(row)->checkState() == Qt::Checked) {
      ticked.push_back(applicationList_->item(row)->data(Qt::UserRole).toString().toStdString());
    }
  }
  switch (wherePicker_->currentIndex()) {
    case inGroup:
      draft.apps = {groupPicker_->currentText().toStdString()};
      break;
    case inApplications:
      draft.apps = ticked;
      break;
    case exceptApplications:
      draft.except = ticked;
      break;
    case asWritten:
      draft.apps = writtenApps_;
      draft.except = writtenExcept_;
      break;
    default:
      break;
  }
  draft.withShift = withShift_->isEnabled() && withShift_->isChecked();
  draft.title = title_->text().trimmed().toStdString();
  return draft;
}

void ShortcutEditor::check() {
  const uint64_t id = ++checks_;
  acceptable_ = false;
  const edit::ShortcutDraft made = draft();
  const int where = wherePicker_->currentIndex();
  QString local;
  if (made.press.empty()) {
    local = QString::fromUtf8(kNoPress);
  } else if ((where == inApplications && made.apps.empty()) ||
             (where == exceptApplications && made.except.empty())) {
    local = QStringLiteral("Tick at least one application.");
  } else if (actionPicker_->currentIndex() == openApplication && made.open.empty()) {
    local = QStringLiteral("Pick an application to open.");
  }
  verdict_->setColor(SystemColor::Secondary);
  verdict_->setText(local.isEmpty() ? QString::fromUtf8(kChecking) : local);
  refreshControls();
  if (!local.isEmpty()) return;
  // The edit and its reading on a worker, as the rules file's reload: a long file never holds the
  // window up. Only the latest check's answer is shown.
  checker_.start([this, id, text = rulesText_, index = index_, made] {
    const edit::EditResult result =
        index ? edit::replaceShortcut(text, *index, made) : edit::addShortcut(text, made);
    auto verdict = std::make_shared<Verdict>(verdictOf(result, index));
    QMetaObject::invokeMethod(
        this,
        [this, id, verdict] {
          if (id != checks_) return;
          acceptable_ = verdict->acceptable;
          verdict_->setColor(acceptable_ ? SystemColor::Secondary : SystemColor::Red);
          verdict_->setText(fromUtf8(verdict->words));
          refreshControls();
        },
        Qt::QueuedConnection);
  });
}

void ShortcutEditor::waitForCheck() {
  checker_.waitForDone();
  QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
}

void ShortcutEditor::drain() {
  KeyRecorder* recorder = pressRecorder_->isRecording()  ? pressRecorder_
                          : sendRecorder_->isRecording() ? sendRecorder_
                                                         : nullptr;
  if (recorder == nullptr) return;
  // Taken out first: stopping the recorder closes the records the drain reads.
  std::vector<KeyRecord> records;
  manager_->drainKeyViewer([&records](const KeyRecord& record) {
    if (record.outcome.code == OutcomeCode::recorded) records.push_back(record);
  });
  for (const KeyRecord& record : records) {
    if (recorder->take && recorder->take(record)) {
      recorder->stopRecording();  // one whole press: its key-up is swallowed all the same
      break;
    }
  }
}

bool ShortcutEditor::eventFilter(QObject* watched, QEvent* event) {
  auto* recorder = qobject_cast<KeyRecorder*>(watched);
  if (recorder == nullptr || session_ == nullptr) return QDialog::eventFilter(watched, event);
  switch (event->type()) {
    case QEvent::ShortcutOverride:
      if (!recorder->isRecording()) break;
      event->accept();  // a key for the recorder: no shortcut (Esc, Enter) acts on it
      return true;
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
      const std::optional<PcKeyEvent> key = macEventOf(*static_cast<QKeyEvent*>(event));
      const bool down = event->type() == QEvent::KeyPress;
      // While it records every key goes to the session; after, the releases of those it took.
      // Otherwise the key is Qt's: Tab moves on, Space records again.
      const bool released = !down && key && forwardedDown_.contains(key->keyCode);
      if (!recorder->isRecording() && !released) break;
      if (key) {
        if (down) {
          forwardedDown_.insert(key->keyCode);
        } else {
          forwardedDown_.erase(key->keyCode);
        }
        session_->keyboardEvent(key->type, key->keyCode, key->flags);
        drain();
      }
      return true;
    }
    default:
      break;
  }
  return QDialog::eventFilter(watched, event);
}

void ShortcutEditor::stopRecorders() {
  pressRecorder_->stopRecording();
  sendRecorder_->stopRecording();
}

void ShortcutEditor::done(int result) {
  stopRecorders();
  if (result == QDialog::Accepted && !acceptable_) return;  // nothing the reader would refuse
  QDialog::done(result);
}

void ShortcutEditor::hideEvent(QHideEvent* event) {
  stopRecorders();
  QDialog::hideEvent(event);
}

QPushButton* ShortcutEditor::saveButton() const {
  return buttons_->button(QDialogButtonBox::Save);
}

}  // namespace corvane::ui
