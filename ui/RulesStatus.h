// What the window knows of the rules file beyond the rules in use: where the file is, and what
// is wrong with it when the last load failed. The shell's loader writes it; the window shows it
// and offers to edit the file.
#pragma once

#include <QObject>
#include <filesystem>
#include <optional>

#include "rules/RulesFile.h"

namespace corvane {
class UrlOpener;
}

namespace corvane::ui {

class RulesStatus : public QObject {
  Q_OBJECT

 public:
  explicit RulesStatus(std::filesystem::path path, QObject* parent = nullptr);

  const std::filesystem::path& path() const { return path_; }
  // The error of the last load, or none when it loaded (or there is no file).
  const std::optional<RulesError>& error() const { return error_; }
  // Emits changed() when the error differs from the one held.
  void setError(std::optional<RulesError> error);

  // "rules.json, line 7, column 14: <message>" (the file's name, then the error).
  QString describeError() const;

  // The loader read the file again after a change it saw (a save, the window's own edit too).
  void noteFileReread() { emit fileReread(); }

 signals:
  void changed();
  void fileReread();

 private:
  std::filesystem::path path_;
  std::optional<RulesError> error_;
};

// "rules.json, line 7, column 14: <message>", or "rules.json: <message>" for an error of the
// whole file.
QString describeRulesError(const std::filesystem::path& path, const RulesError& error);

enum class StarterWrite { written, existed, failed };
// Writes the starter rules file at path (creating its folder) unless a file is there already:
// an existing file is never touched, even when one appears while this runs.
StarterWrite writeStarterRulesFile(const std::filesystem::path& path);

// "Edit…": writes the starter file when there is none, then opens the file in the user's
// default application for it (on a Mac, TextEdit when no application claims it).
enum class EditOutcome {
  opened,
  notWritten,  // there was no file and the starter file could not be written
  noEditor,    // the file is there, but no program could be started to open it
};
EditOutcome editRulesFile(const std::filesystem::path& path, UrlOpener* opener);

// What the window says under the list when Edit… could not open the file: the file's full path
// follows, so that the user can open it with a program of their own.
inline constexpr const char* kNoEditorMessage = "No editor could be opened for the rules file:";
inline constexpr const char* kNotWrittenMessage = "The rules file could not be written:";
// The line for an outcome, with the path; empty when the file was opened.
QString editFailureLine(EditOutcome outcome, const std::filesystem::path& path);

}  // namespace corvane::ui
