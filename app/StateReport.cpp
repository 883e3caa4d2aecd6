#include "app/StateReport.h"

#include <QSaveFile>
#include <iostream>

#include "engine/KeyboardShortcutManager.h"

namespace corvane {

StateReport::StateReport(QString file, KeyboardShortcutManager& manager,
                         std::function<bool()> trusted, QObject* parent)
    : QObject(parent), file_(std::move(file)), manager_(manager), trusted_(std::move(trusted)) {
  // The manager signals before it stores the new value, on whichever thread: the report is
  // read again on this object's thread once the assignment is done.
  subscription_ = manager_.objectWillChange.subscribe([this] {
    QMetaObject::invokeMethod(
        this, [this] { update(); }, Qt::QueuedConnection);
  });
  timer_.setInterval(2000);
  connect(&timer_, &QTimer::timeout, this, [this] { update(); });
  timer_.start();
  update();
}

StateReport::~StateReport() {
  manager_.objectWillChange.unsubscribe(subscription_);
}

void StateReport::update() {
  const auto flag = [](bool value) { return value ? "true" : "false"; };
  const QByteArray line = QByteArray("{\"trusted\":") + flag(trusted_ && trusted_()) +
                          ",\"translating\":" + flag(manager_.isEnabled) + "}\n";
  if (written_ == line) return;
  QSaveFile out(file_);
  if (!out.open(QIODevice::WriteOnly) || out.write(line) != line.size() || !out.commit()) {
    if (!complained_)
      std::cerr << "Corvane: cannot write the state to " << file_.toStdString() << '\n';
    complained_ = true;
    return;
  }
  written_ = line;
}

}  // namespace corvane
