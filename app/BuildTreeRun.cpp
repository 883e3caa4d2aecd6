#include "app/BuildTreeRun.h"

#include <QFileInfo>
#include <memory>

#include "app/AppDelegate.h"
#include "app/PreferencesStore.h"
#ifndef Q_OS_MACOS
#include "app/LinuxShellServices.h"
#endif

namespace corvane {

bool liesInside(const QString& path, const QString& folder) {
  const QString canonicalPath = QFileInfo(path).canonicalFilePath();
  QString canonicalFolder = QFileInfo(folder).canonicalFilePath();
  if (canonicalPath.isEmpty() || canonicalFolder.isEmpty()) return false;
  if (!canonicalFolder.endsWith(u'/')) canonicalFolder += u'/';
  return canonicalPath.startsWith(canonicalFolder);
}

QString buildTreeStateFolder(const QString& buildDir) {
  return buildDir + QStringLiteral("/local-settings");
}

void keepStateInFolder(AppEnvironment& environment, const QString& folder) {
  environment.preferences =
      std::make_shared<SettingsPreferencesStore>(folder + QStringLiteral("/Corvane.conf"));
#ifdef Q_OS_MACOS
  environment.services.loginItem = nullptr;  // SMAppService registers the bundle itself
#else
  environment.services.loginItem = std::make_shared<XdgAutostartLoginItem>(folder);
#endif
}

QString buildTreeNotice(const QString& folder) {
#ifdef Q_OS_MACOS
  return QStringLiteral(
             "Corvane: started from its build folder: settings are kept in %1 and no login item "
             "is registered.")
      .arg(folder);
#else
  return QStringLiteral(
             "Corvane: started from its build folder: settings and the login item are kept in "
             "%1.")
      .arg(folder);
#endif
}

}  // namespace corvane
