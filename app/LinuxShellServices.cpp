#include "app/LinuxShellServices.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QUrl>
#include <algorithm>

#include "engine/KeyboardShortcutManager.h"
#include "platform/simulated/SimulatedSession.h"

namespace corvane {

sim::SimulatedSession* sharedSimulatedSession() {
  return dynamic_cast<sim::SimulatedSession*>(&KeyboardShortcutManager::shared().platform());
}

bool SimulatedAccessibilityTrust::checkAccessibilityTrust() {
  sim::SimulatedSession* session = sharedSimulatedSession();
  return session != nullptr && session->axIsProcessTrusted(true);
}

bool SimulatedAccessibilityTrust::isSecureEventInputEnabled() {
  sim::SimulatedSession* session = sharedSimulatedSession();
  return session != nullptr && session->secureInput();
}

namespace {

QString defaultConfigHome() {
  const QString xdg = qEnvironmentVariable("XDG_CONFIG_HOME");
  if (!xdg.isEmpty() && QDir::isAbsolutePath(xdg)) return xdg;
  return QDir::homePath() + QStringLiteral("/.config");
}

QString currentExecutable() {
  if (QCoreApplication::instance() != nullptr) return QCoreApplication::applicationFilePath();
  return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
}

}  // namespace

QString desktopEntryExec(const QString& executable) {
  QString quoted;
  for (const QChar c : executable) {
    if (c == u'"' || c == u'`' || c == u'$' || c == u'\\') quoted += u'\\';
    if (c == u'%') quoted += u'%';
    quoted += c;
  }
  return u'"' + quoted + u'"';
}

XdgAutostartLoginItem::XdgAutostartLoginItem(QString configHome, QString executable)
    : configHome_(std::move(configHome)), executable_(std::move(executable)) {}

QString XdgAutostartLoginItem::entryPath() const {
  const QString home = configHome_.isEmpty() ? defaultConfigHome() : configHome_;
  return home + QStringLiteral("/autostart/corvane.desktop");
}

LoginItemService::Status XdgAutostartLoginItem::status() {
  return QFileInfo::exists(entryPath()) ? Status::enabled : Status::notRegistered;
}

LoginItemService::Result XdgAutostartLoginItem::registerMainApp() {
  const QString path = entryPath();
  const QString folder = QFileInfo(path).absolutePath();
  if (!QDir().mkpath(folder)) {
    return {false, QStringLiteral("could not create the folder %1").arg(folder).toStdString()};
  }
  const QString executable = executable_.isEmpty() ? currentExecutable() : executable_;
  const QString entry = QStringLiteral(
                            "[Desktop Entry]\n"
                            "Type=Application\n"
                            "Name=Corvane\n"
                            "Comment=Windows-style keyboard shortcuts\n"
                            "Exec=%1\n"
                            "Icon=input-keyboard\n"
                            "Terminal=false\n"
                            "X-GNOME-Autostart-enabled=true\n")
                            .arg(desktopEntryExec(executable));
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) {
    return {false,
            QStringLiteral("could not write %1: %2").arg(path, file.errorString()).toStdString()};
  }
  file.write(entry.toUtf8());
  if (!file.commit()) {
    return {false,
            QStringLiteral("could not write %1: %2").arg(path, file.errorString()).toStdString()};
  }
  return {true, {}};
}

LoginItemService::Result XdgAutostartLoginItem::unregisterMainApp() {
  const QString path = entryPath();
  QFile file(path);
  if (!QFileInfo::exists(path) && !QFileInfo(path).isSymLink()) return {true, {}};
  if (!file.remove()) {
    return {false,
            QStringLiteral("could not remove %1: %2").arg(path, file.errorString()).toStdString()};
  }
  return {true, {}};
}

sim::SimulatedSession* SimulatedApplicationCatalog::session() const {
  return session_ != nullptr ? session_ : sharedSimulatedSession();
}

std::vector<ApplicationEntry> SimulatedApplicationCatalog::installedApplications() {
  std::vector<ApplicationEntry> installed;
  if (sim::SimulatedSession* s = session()) {
    for (const sim::SessionApplication& app : s->applications()) {
      const QString folder = QFileInfo(QString::fromStdString(app.path)).path();
      if (folder == u"/Applications" || folder == u"/Applications/Utilities" ||
          folder == u"/System/Applications" || folder == u"/System/Applications/Utilities") {
        installed.push_back({app.bundleIdentifier, app.name, app.path});
      }
    }
  }
  std::sort(installed.begin(), installed.end(),
            [](const ApplicationEntry& a, const ApplicationEntry& b) { return a.name < b.name; });
  return installed;
}

std::vector<ApplicationEntry> SimulatedApplicationCatalog::runningApplications() {
  std::vector<ApplicationEntry> running;
  if (sim::SimulatedSession* s = session()) {
    for (const sim::SessionApplication& app : s->applications()) {
      if (app.running) running.push_back({app.bundleIdentifier, app.name, app.path});
    }
  }
  return running;
}

std::optional<ApplicationEntry> SimulatedApplicationCatalog::frontmostBeforeWindow() {
  sim::SimulatedSession* s = session();
  if (s == nullptr) return std::nullopt;
  const std::string front(static_cast<Platform&>(*s).workspace().frontmostBundleIdentifier());
  if (front.empty()) return std::nullopt;
  for (const sim::SessionApplication& app : s->applications()) {
    if (app.bundleIdentifier == front)
      return ApplicationEntry{app.bundleIdentifier, app.name, app.path};
  }
  return ApplicationEntry{front, front, {}};
}

bool DesktopUrlOpener::openURL(std::string_view url) {
  return QDesktopServices::openUrl(
      QUrl(QString::fromUtf8(url.data(), static_cast<qsizetype>(url.size()))));
}

ShellServices makeDefaultShellServices() {
  return ShellServices{
      std::make_shared<SimulatedAccessibilityTrust>(), std::make_shared<QtApplicationActivation>(),
      std::make_shared<XdgAutostartLoginItem>(),       std::make_shared<DesktopUrlOpener>(),
      std::make_shared<SimulatedApplicationCatalog>(),
  };
}

WindowServices makeDefaultWindowServices() {
  return makeDefaultShellServices().windowServices();
}

}  // namespace corvane
