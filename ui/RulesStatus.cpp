#include "ui/RulesStatus.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

#include "ui/StarterRulesFile.h"
#include "ui/WindowServices.h"

namespace corvane::ui {
namespace {

QString toQString(const std::filesystem::path& path) {
  const std::string text = path.string();
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

bool sameError(const std::optional<RulesError>& a, const std::optional<RulesError>& b) {
  if (a.has_value() != b.has_value()) return false;
  return !a || (a->line == b->line && a->column == b->column && a->message == b->message);
}

}  // namespace

RulesStatus::RulesStatus(std::filesystem::path path, QObject* parent)
    : QObject(parent), path_(std::move(path)) {}

void RulesStatus::setError(std::optional<RulesError> error) {
  if (sameError(error_, error)) return;
  error_ = std::move(error);
  emit changed();
}

QString RulesStatus::describeError() const {
  return error_ ? describeRulesError(path_, *error_) : QString();
}

QString describeRulesError(const std::filesystem::path& path, const RulesError& error) {
  const std::string where = path.filename().string();
  const std::string what = error.describe();
  return QString::fromUtf8(where.data(), static_cast<qsizetype>(where.size())) +
         (error.line > 0 ? QStringLiteral(", ") : QStringLiteral(": ")) +
         QString::fromUtf8(what.data(), static_cast<qsizetype>(what.size()));
}

StarterWrite writeStarterRulesFile(const std::filesystem::path& path) {
  const QString file = toQString(path);
  if (QFileInfo::exists(file) || QFileInfo(file).isSymLink()) return StarterWrite::existed;
  if (!QDir().mkpath(QFileInfo(file).absolutePath())) return StarterWrite::failed;
  // NewOnly: the file is created by this open or not at all, so a file that appears meanwhile
  // (another editor, another copy of the program) is never overwritten.
  QFile starter(file);
  if (!starter.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
    return QFileInfo::exists(file) ? StarterWrite::existed : StarterWrite::failed;
  }
  const auto size = static_cast<qint64>(starterRulesFile().size());
  const bool written = starter.write(starterRulesFile().data(), size) == size;
  starter.close();
  if (!written) {
    starter.remove();
    return StarterWrite::failed;
  }
  // The schema the starter's "$schema" names, beside it (replacing an older one): an editor that
  // reads JSON Schema completes and checks the file with it. Without it the file works the same.
  QFile schema(QFileInfo(file).dir().filePath(
      QString::fromUtf8(kRulesSchemaFileName.data(), kRulesSchemaFileName.size())));
  if (schema.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
    schema.write(kRulesSchema.data(), static_cast<qint64>(kRulesSchema.size()));
  }
  return StarterWrite::written;
}

EditOutcome editRulesFile(const std::filesystem::path& path, UrlOpener* opener) {
  if (writeStarterRulesFile(path) == StarterWrite::failed) return EditOutcome::notWritten;
  const QString file = toQString(path);
  const QByteArray url = QUrl::fromLocalFile(file).toEncoded();
  if (opener != nullptr && opener->openURL(std::string_view(url.constData(), url.size()))) {
    return EditOutcome::opened;
  }
#ifdef Q_OS_MACOS
  // No application claims .json files: the default text editor opens it.
  if (QProcess::startDetached(QStringLiteral("/usr/bin/open"), {QStringLiteral("-t"), file})) {
    return EditOutcome::opened;
  }
#endif
  return EditOutcome::noEditor;
}

QString editFailureLine(EditOutcome outcome, const std::filesystem::path& path) {
  switch (outcome) {
    case EditOutcome::opened:
      return {};
    case EditOutcome::notWritten:
      return QString::fromUtf8(kNotWrittenMessage) + u' ' + toQString(path);
    case EditOutcome::noEditor:
      break;
  }
  return QString::fromUtf8(kNoEditorMessage) + u' ' + toQString(path);
}

}  // namespace corvane::ui
