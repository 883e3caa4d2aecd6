#include "ui/RulesEditing.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <optional>
#include <string>

#include "ui/CollapsibleShortcutSection.h"
#include "ui/KeyBadge.h"
#include "ui/RulesRows.h"
#include "ui/RulesStatus.h"

namespace corvane::ui {
namespace {

QString fromUtf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

class DoubleClickFilter : public QObject {
 public:
  DoubleClickFilter(std::function<void()> action, QObject* parent)
      : QObject(parent), action_(std::move(action)) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::MouseButtonDblClick) return QObject::eventFilter(watched, event);
    action_();
    return true;
  }

 private:
  std::function<void()> action_;
};

}  // namespace

BuiltinSwitch::BuiltinSwitch(Qt::CheckState state, std::function<bool(bool on)> turn,
                             QWidget* parent)
    : QCheckBox(parent), turn_(std::move(turn)) {
  setObjectName(QStringLiteral("switch"));
  setTristate(true);
  setCheckState(state);
  setCursor(Qt::PointingHandCursor);
  setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize BuiltinSwitch::sizeHint() const {
  return {32, 20};
}

void BuiltinSwitch::nextCheckState() {
  // A mixed switch turns on: the row's shortcuts translated everywhere again.
  const bool on = checkState() != Qt::Checked;
  if (turn_ && turn_(on)) setCheckState(on ? Qt::Checked : Qt::Unchecked);
}

void BuiltinSwitch::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const QRectF track = QRectF(rect()).adjusted(3, 3, -3, -3);
  const qreal radius = track.height() / 2;
  QColor fill = systemColor(SystemColor::Blue, palette());
  const Qt::CheckState state = checkState();
  if (state == Qt::PartiallyChecked) fill.setAlphaF(0.45);
  if (state == Qt::Unchecked) {
    fill = systemColor(SystemColor::Primary, palette());
    fill.setAlphaF(isDarkPalette(palette()) ? 0.3 : 0.15);
  }
  painter.setPen(Qt::NoPen);
  painter.setBrush(fill);
  painter.drawRoundedRect(track, radius, radius);
  if (hasFocus()) {
    QColor ring = systemColor(SystemColor::Blue, palette());
    ring.setAlphaF(0.6);
    painter.setPen(QPen(ring, 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), radius + 2, radius + 2);
  }
  // The knob: at the right when on, the left when off, in the middle when mixed.
  const qreal knob = track.height() - 4;
  const qreal travel = track.width() - knob - 4;
  const qreal at = state == Qt::Checked ? travel : state == Qt::PartiallyChecked ? travel / 2 : 0;
  painter.setPen(QPen(QColor(0, 0, 0, 40), 0.5));
  painter.setBrush(Qt::white);
  painter.drawEllipse(QRectF(track.left() + 2 + at, track.top() + 2, knob, knob));
}

Qt::CheckState switchStateOf(const ShortcutItem& row, const RulesFile* rules) {
  if (rules == nullptr) return Qt::Checked;
  const std::vector<BuiltinCombination> combinations = combinationsOfRow(row);
  size_t off = 0;
  size_t offSomewhere = 0;
  for (BuiltinCombination combination : combinations) {
    if (rules->disables(combination)) {
      ++off;
    } else if (rules->disabledOnlyIn(combination) != nullptr) {
      ++offSomewhere;
    }
  }
  if (off > 0 && off == combinations.size()) return Qt::Unchecked;
  return off + offSomewhere > 0 ? Qt::PartiallyChecked : Qt::Checked;
}

edit::EditResult switchRow(std::string_view text, const ShortcutItem& row, bool on) {
  const RulesParse parse = on ? parseRules(text) : RulesParse{};
  std::string current(text);
  std::optional<edit::EditResult> changed;
  std::optional<edit::EditResult> unchanged;
  for (BuiltinCombination combination : combinationsOfRow(row)) {
    const bool onlySomewhere = parse.rules && !parse.rules->disables(combination) &&
                               parse.rules->disabledOnlyIn(combination) != nullptr;
    edit::EditResult result = onlySomewhere ? edit::setBuiltinOffIn(current, combination, {})
                                            : edit::setBuiltinOff(current, combination, !on);
    if (!result.text) {
      if (!result.error.message.empty()) return result;
      if (!unchanged) unchanged = std::move(result);
      continue;
    }
    if (*result.text == current) {
      if (!unchanged) unchanged = std::move(result);
      continue;
    }
    current = *result.text;
    changed = std::move(result);
  }
  if (changed) return std::move(*changed);
  return unchanged ? std::move(*unchanged) : edit::EditResult{std::string(text), {}, {}};
}

void addBuiltinSwitch(QWidget* row, QHBoxLayout* layout, const ShortcutItem& item,
                      const RulesFile* rules, const ApplyRulesEdit& apply) {
  const ShortcutItem* shown = &item;  // the tables are constants: the switch may keep it
  auto* toggle = new BuiltinSwitch(
      switchStateOf(item, rules),
      [apply, shown](bool on) {
        return apply([shown, on](std::string_view text) { return switchRow(text, *shown, on); });
      },
      row);
  toggle->setAccessibleName(fromUtf8(item.description) + QStringLiteral(" (") +
                            fromUtf8(item.windowsKeys) + QLatin1Char(')'));
  if (auto* mark = row->findChild<QWidget*>(QStringLiteral("mark"))) {
    toggle->setAccessibleDescription(static_cast<QLabel*>(mark)->text());
  }
  // In the place of the row's stretch, at its right end: no spacing of its own beside it.
  delete layout->takeAt(layout->count() - 1);
  layout->addWidget(toggle, 1, Qt::AlignRight | Qt::AlignVCenter);
}

void syncSwitches(CollapsibleShortcutSection& section, const RulesFile* rules) {
  const QList<QWidget*> rows = section.rows();
  for (qsizetype i = 0; i < rows.size() && static_cast<size_t>(i) < section.shortcuts().size();
       ++i) {
    if (auto* toggle = rows[i]->findChild<BuiltinSwitch*>()) {
      toggle->setCheckState(switchStateOf(section.shortcuts()[static_cast<size_t>(i)], rules));
    }
  }
}

void onDoubleClick(QWidget* widget, std::function<void()> action) {
  widget->installEventFilter(new DoubleClickFilter(std::move(action), widget));
}

QString editOutcomeLine(const edit::RulesFileEditor::Result& result,
                        const std::filesystem::path& path) {
  using Outcome = edit::RulesFileEditor::Outcome;
  switch (result.outcome) {
    case Outcome::written:
    case Outcome::unchanged:
      return {};
    case Outcome::changedOnDisk:
      return QString::fromUtf8(kChangedOnDiskLine);
    case Outcome::refused:
    case Outcome::failed:
      break;
  }
  return QStringLiteral("Not saved: ") + describeRulesError(path, result.error);
}

}  // namespace corvane::ui
