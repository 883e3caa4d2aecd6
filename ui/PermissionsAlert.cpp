#include "ui/PermissionsAlert.h"

#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>

#include "ui/Style.h"
#include "ui/Symbols.h"

namespace corvane::ui {

void openAccessibilitySettings(UrlOpener& opener) {
  static_cast<void>(opener.openURL(kAccessibilitySettingsUrl));
}

PermissionsAlert::PermissionsAlert(Binding isPresented, std::function<void()> openSettings,
                                   QWidget* parent)
    : QMessageBox(parent), isPresented_(std::move(isPresented)) {
  setObjectName(QStringLiteral("permissionsAlert"));
  setWindowTitle(QString::fromUtf8(kPermissionsAlertTitle));
  setText(QString::fromUtf8(kPermissionsAlertTitle));
  setInformativeText(QString::fromUtf8(kPermissionsAlertMessage));
  setTextFormat(Qt::PlainText);
  setWindowModality(Qt::WindowModal);
#ifndef Q_OS_MACOS
  // The Mac alert's look: the title in bold, the message below it in a smaller size.
  if (auto* title = findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))) {
    title->setFont(textStyleFont(TextStyle::Headline, true));
  }
  if (auto* message = findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel"))) {
    message->setFont(textStyleFont(TextStyle::Caption));
    message->setMinimumWidth(300);
  }
#endif

  // The program's own symbol stands where a Mac alert shows the application's icon.
  QPixmap icon(QSize(48, 48) * 2);
  icon.setDevicePixelRatio(2);
  icon.fill(Qt::transparent);
  {
    QPainter painter(&icon);
    painter.setRenderHint(QPainter::Antialiasing);
    drawSymbol(painter, Symbol::Keyboard, QRectF(2, 8, 44, 32),
               systemColor(SystemColor::Blue, palette()));
  }
  setIconPixmap(icon);

  // The first button has no special role beyond being the default; "Cancel" has the cancel role
  // (Escape chooses it).
  openSettingsButton_ =
      addButton(QStringLiteral("Open System Preferences"), QMessageBox::AcceptRole);
  cancelButton_ = addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
  setDefaultButton(static_cast<QPushButton*>(openSettingsButton_));
  setEscapeButton(cancelButton_);

  connect(this, &QMessageBox::buttonClicked, this, [this, openSettings](QAbstractButton* button) {
    if (button == openSettingsButton_) openSettings();
  });
  // However the alert goes away, the binding goes back to false.
  connect(this, &QDialog::finished, this, [this] {
    if (isPresented_.get()) isPresented_.set(false);
  });
}

void PermissionsAlert::sync() {
  const bool presented = isPresented_.get();
  if (presented && !isVisible()) {
    open();
  } else if (!presented && isVisible()) {
    hide();
  }
}

}  // namespace corvane::ui
