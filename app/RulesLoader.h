// The user's rules file in the running program: read before the engine starts, watched for
// changes, and put in use by the manager. A bad file never takes rules away: at launch the
// built-in rules run alone, on a reload the rules in use stay. What is wrong is printed once on
// standard error and shown in the window (through the RulesStatus) until the file is fixed.
// A reload reads and compiles the file on a worker thread; the main thread only publishes the
// table, so the window never waits for a read.
#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <QThreadPool>
#include <QTimer>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <ostream>
#include <set>
#include <string>

#include "rules/RulesFile.h"
#include "ui/RulesStatus.h"

namespace corvane {

class KeyboardShortcutManager;
class RuleTable;

class RulesLoader final : public QObject {
 public:
  RulesLoader(std::filesystem::path path, KeyboardShortcutManager& manager, std::ostream& err,
              QObject* parent = nullptr);

  // Reads the file and puts its rules in use; its settings set the two swap settings.
  void load();
  // Watches the file and its folder (editors often replace the file instead of writing it), and
  // reloads a little after each change.
  void watch();
  // Reads the file again on a worker thread; then, on the main thread: new rules go in use,
  // settings that changed in the file are set, a missing file leaves the built-in rules alone,
  // a bad file keeps the rules in use. A reload started later overrides one still reading.
  void reload();
  // Waits for the reading of a reload and puts what it found in use at once (for a tool that
  // shows the window as the file leaves it).
  void waitForReload();

  const std::shared_ptr<ui::RulesStatus>& status() const { return status_; }
  const std::filesystem::path& path() const { return path_; }

  // How long a change is left to settle before the file is read: an editor's save is often
  // several writes, or a delete and a create.
  static constexpr int kSettleMs = 200;

 private:
  // The file read and compiled (off the main thread for a reload).
  struct Read {
    RulesLoad load;  // its rules moved into the table when loaded
    std::unique_ptr<const RuleTable> table;
  };
  static Read readAndCompile(const std::filesystem::path& path);
  void apply(Read read);
  void resyncWatches();
  void scheduleReload();

  std::filesystem::path path_;
  KeyboardShortcutManager& manager_;
  std::ostream& err_;
  std::shared_ptr<ui::RulesStatus> status_;
  QFileSystemWatcher watcher_;
  QTimer settle_;
  // The settings of the file last put in use, to tell which a reload changes.
  std::optional<bool> fileSwapFnAndControl_;
  std::optional<bool> fileSwapOptionAndCommand_;
  // The errors printed since the file last loaded: each is printed once, not at every reload.
  std::set<std::string> printedErrors_;
  uint64_t reloads_ = 0;  // reloads started: only the last one's reading is put in use
  // Last: destroyed first, waiting for a read in progress while the rest is still there.
  QThreadPool reader_;
};

}  // namespace corvane
