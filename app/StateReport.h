// The program's state for a watcher outside it (--report-state FILE): whether the process is
// trusted with the Accessibility permission and whether translation runs, kept in FILE as one
// line of JSON, {"trusted":true,"translating":false}. FILE is written at the start and again
// whenever either changes, each time as a whole (a temporary file renamed over it), so a reader
// never sees half a line.
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <optional>

#include "engine/ChangeNotifier.h"

namespace corvane {

class KeyboardShortcutManager;

class StateReport final : public QObject {
 public:
  // trusted: the permission as the program reads it without a prompt. The manager's changes are
  // followed as the window follows them; trust, which the manager does not announce, is read
  // again every 2 seconds.
  StateReport(QString file, KeyboardShortcutManager& manager, std::function<bool()> trusted,
              QObject* parent = nullptr);
  ~StateReport() override;

  // Reads the state and writes FILE when it differs from what FILE holds.
  void update();

 private:
  QString file_;
  KeyboardShortcutManager& manager_;
  std::function<bool()> trusted_;
  ChangeNotifier::Token subscription_ = 0;
  QTimer timer_;
  std::optional<QByteArray> written_;
  bool complained_ = false;
};

}  // namespace corvane
