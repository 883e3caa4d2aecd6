#include "app/RulesLoader.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include "engine/KeyboardShortcutManager.h"
#include "engine/RuleTable.h"
#include "rules/RuleCompiler.h"

namespace corvane {
namespace {

QString toQString(const std::filesystem::path& path) {
  const std::string text = path.string();
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

RulesLoader::RulesLoader(std::filesystem::path path, KeyboardShortcutManager& manager,
                         std::ostream& err, QObject* parent)
    : QObject(parent),
      path_(std::move(path)),
      manager_(manager),
      err_(err),
      status_(std::make_shared<ui::RulesStatus>(path_)) {
  reader_.setMaxThreadCount(1);
  settle_.setSingleShot(true);
  settle_.setInterval(kSettleMs);
  connect(&settle_, &QTimer::timeout, this, [this] { reload(); });
  connect(&watcher_, &QFileSystemWatcher::fileChanged, this, [this] { scheduleReload(); });
  connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, [this] { scheduleReload(); });
}

RulesLoader::Read RulesLoader::readAndCompile(const std::filesystem::path& path) {
  Read read{loadRulesFile(path), nullptr};
  if (read.load.status == RulesLoad::Status::loaded && !read.load.rules->empty()) {
    read.table = compileRules(std::move(*read.load.rules));
  }
  return read;
}

void RulesLoader::load() {
  apply(readAndCompile(path_));
}

void RulesLoader::watch() {
  resyncWatches();
}

void RulesLoader::scheduleReload() {
  // Each change within the settling time restarts it: one read once the writes are done.
  settle_.start();
}

void RulesLoader::reload() {
  resyncWatches();
  const uint64_t reload = ++reloads_;
  reader_.start([this, path = path_, reload] {
    auto read = std::make_shared<Read>(readAndCompile(path));
    QMetaObject::invokeMethod(
        this,
        [this, read, reload] {
          if (reload != reloads_) return;
          apply(std::move(*read));
          status_->noteFileReread();
        },
        Qt::QueuedConnection);
  });
}

void RulesLoader::waitForReload() {
  reader_.waitForDone();
  QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
}

void RulesLoader::resyncWatches() {
  // The file by its path: a file replaced by a rename is a new file, so it is watched anew.
  // The folder, or while it does not exist the nearest folder above it that does, so that the
  // file's (or the folder's) creation is seen.
  const QString file = toQString(path_);
  if (!watcher_.files().isEmpty()) watcher_.removePaths(watcher_.files());
  if (QFileInfo::exists(file)) watcher_.addPath(file);
  QString folder = QFileInfo(file).absolutePath();
  while (!QFileInfo(folder).isDir()) {
    const QString parent = QFileInfo(folder).absolutePath();
    if (parent == folder) break;
    folder = parent;
  }
  const QStringList folders = watcher_.directories();
  if (folders.size() != 1 || folders.first() != folder) {
    if (!folders.isEmpty()) watcher_.removePaths(folders);
    watcher_.addPath(folder);
  }
}

void RulesLoader::apply(Read read) {
  RulesLoad& load = read.load;
  switch (load.status) {
    case RulesLoad::Status::missing:
      // No file: the built-in rules alone.
      if (manager_.rules() != nullptr) manager_.clearRules();
      fileSwapFnAndControl_.reset();
      fileSwapOptionAndCommand_.reset();
      printedErrors_.clear();
      status_->setError(std::nullopt);
      return;
    case RulesLoad::Status::failed: {
      // The rules in use stay (at launch: none, the built-in rules alone).
      const std::string described = ui::describeRulesError(path_, load.error).toStdString();
      if (printedErrors_.insert(described).second) err_ << described << '\n' << std::flush;
      status_->setError(std::move(load.error));
      return;
    }
    case RulesLoad::Status::loaded:
      break;
  }
  const RulesFile& rules = read.table != nullptr ? *read.table->source() : *load.rules;
  // The file's settings are set when they differ from what the file said before (at launch, and
  // after a missing or bad file, it said nothing): an unrelated edit does not undo a box the user
  // ticked in the window.
  const std::optional<bool> swapFn = rules.swapFnAndControl;
  const std::optional<bool> swapOption = rules.swapOptionAndCommand;
  if (swapFn && swapFn != fileSwapFnAndControl_) manager_.swapFnAndControl = *swapFn;
  if (swapOption && swapOption != fileSwapOptionAndCommand_) {
    manager_.swapOptionAndCommand = *swapOption;
  }
  fileSwapFnAndControl_ = swapFn;
  fileSwapOptionAndCommand_ = swapOption;
  printedErrors_.clear();
  status_->setError(std::nullopt);
  if (read.table == nullptr) {
    if (manager_.rules() != nullptr) manager_.clearRules();
  } else {
    manager_.setRuleTable(std::move(read.table));
  }
}

}  // namespace corvane
