// The rows of a data file of tests under tests/: one JSON object a line, # lines skipped.
#pragma once

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <vector>

namespace corvane::testing {

inline std::vector<QJsonObject> dataRows(const char* file) {
  QFile in(QStringLiteral(CORVANE_SOURCE_DIR "/tests/") + QString::fromUtf8(file));
  if (!in.open(QIODevice::ReadOnly)) qFatal("cannot read tests/%s", file);
  std::vector<QJsonObject> rows;
  for (const QByteArray& line : in.readAll().split('\n')) {
    if (!line.isEmpty() && !line.startsWith('#')) {
      rows.push_back(QJsonDocument::fromJson(line).object());
    }
  }
  return rows;
}

}  // namespace corvane::testing
