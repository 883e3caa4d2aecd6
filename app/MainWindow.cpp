#include "app/MainWindow.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>

namespace corvane {

MainWindow::MainWindow(QWidget* content, std::function<bool(MainWindow*)> shouldClose)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint),
      content_(content),
      shouldClose_(std::move(shouldClose)) {
  setObjectName(QStringLiteral("mainWindow"));
  setAttribute(Qt::WA_DeleteOnClose, false);
  setWindowTitle(QStringLiteral("Corvane"));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  if (content_ != nullptr) layout->addWidget(content_);
  // Minimum = maximum = content size: no resizing, and the zoom button does nothing.
  setFixedSize(kWidth, kHeight);
}

void MainWindow::center() {
  QScreen* screen = this->screen() != nullptr ? this->screen() : QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  QRect frame(QPoint(0, 0), size());
  frame.moveCenter(screen->availableGeometry().center());
  move(frame.topLeft());
}

void MainWindow::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() != QEvent::WindowStateChange) return;
  const Qt::WindowStates zoomed = Qt::WindowMaximized | Qt::WindowFullScreen;
  if (windowState() & zoomed) {
    setWindowState(windowState() & ~zoomed);
    resize(kWidth, kHeight);
  }
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (shouldClose_ && !shouldClose_(this)) {
    event->ignore();
    return;
  }
  QWidget::closeEvent(event);
}

}  // namespace corvane
