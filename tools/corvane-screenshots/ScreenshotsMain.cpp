// corvane-screenshots FOLDER [--compare REFERENCE]: renders the main window offscreen in its
// characteristic states and writes one PNG per state into FOLDER. The rules of each state are
// written to a rules file and read the way the program reads them (app/RulesLoader), so what a
// picture shows is what the engine does in that state. With --compare, each picture is then
// compared with the one of the same name in REFERENCE (docs/screenshots): a changed window fails.
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPushButton>
#include <QScrollArea>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <vector>

#include "app/RulesLoader.h"
#include "platform/simulated/SimulatedSession.h"
#include "ui/CollapsibleShortcutSection.h"
#include "ui/ContentView.h"
#include "ui/KeyViewer.h"
#include "ui/PermissionsAlert.h"
#include "ui/RulesStatus.h"
#include "ui/ShortcutEditor.h"
#include "ui/Style.h"

#ifndef __APPLE__
#include "app/LinuxShellServices.h"
#endif

using corvane::KeyboardShortcutManager;
using corvane::ui::CollapsibleShortcutSection;
using corvane::ui::ContentView;

namespace {

class FixedTrust final : public corvane::AccessibilityTrust {
 public:
  bool checkAccessibilityTrust() override { return false; }
  bool isSecureEventInputEnabled() override { return false; }
};

class IgnoringOpener final : public corvane::UrlOpener {
 public:
  bool openURL(std::string_view) override { return true; }
};

// The application in front before the window, for "Leave this application alone".
class FrontmostOnly final : public corvane::ApplicationCatalog {
 public:
  std::optional<corvane::ApplicationEntry> frontmost;
  std::vector<corvane::ApplicationEntry> installedApplications() override { return {}; }
  std::vector<corvane::ApplicationEntry> runningApplications() override { return {}; }
  std::optional<corvane::ApplicationEntry> frontmostBeforeWindow() override { return frontmost; }
};

// The window's edits: a row of two with one off, one off in terminals only, two exclusions (one
// keeping built-ins), and Safari in front; the "Save" switch is then clicked off in the window.
constexpr const char* kEditingRules = R"(// Corvane's rules: see docs/rules.md.
{
  "exclude": ["com.apple.Terminal", { "apps": ["remote"], "keep": ["Alt+Tab", "Win+L"] }],
  "disable": ["Ctrl+Backspace", { "name": "Ctrl+C", "in": ["terminals"] }],
}
)";

QPalette darkPalette() {
  QPalette palette;
  const QColor window(40, 40, 42), base(72, 72, 76), text(236, 236, 238), button(62, 62, 66);
  for (auto group : {QPalette::Active, QPalette::Inactive}) {
    palette.setColor(group, QPalette::Window, window);
    palette.setColor(group, QPalette::WindowText, text);
    palette.setColor(group, QPalette::Base, base);
    palette.setColor(group, QPalette::AlternateBase, window);
    palette.setColor(group, QPalette::Text, text);
    palette.setColor(group, QPalette::Button, button);
    palette.setColor(group, QPalette::ButtonText, text);
    palette.setColor(group, QPalette::Highlight, QColor(10, 132, 255));
    palette.setColor(group, QPalette::HighlightedText, Qt::white);
    palette.setColor(group, QPalette::Light, QColor(90, 90, 94));
    palette.setColor(group, QPalette::Midlight, QColor(75, 75, 78));
    palette.setColor(group, QPalette::Mid, QColor(55, 55, 58));
    palette.setColor(group, QPalette::Dark, QColor(20, 20, 20));
    palette.setColor(group, QPalette::Shadow, Qt::black);
    palette.setColor(group, QPalette::ToolTipBase, window);
    palette.setColor(group, QPalette::ToolTipText, text);
    palette.setColor(group, QPalette::PlaceholderText, QColor(150, 150, 155));
  }
  palette.setColor(QPalette::Disabled, QPalette::WindowText, QColor(120, 120, 124));
  palette.setColor(QPalette::Disabled, QPalette::Text, QColor(120, 120, 124));
  palette.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(120, 120, 124));
  palette.setColor(QPalette::Disabled, QPalette::Window, window);
  palette.setColor(QPalette::Disabled, QPalette::Base, base);
  palette.setColor(QPalette::Disabled, QPalette::Button, button);
  return palette;
}

void settle() {
  for (int i = 0; i < 5; ++i) QApplication::processEvents();
}

// The pictures written, by name.
std::vector<QString> written;

bool save(const QPixmap& pixmap, const QDir& folder, const char* name) {
  const QString path = folder.filePath(QString::fromLatin1(name));
  if (!pixmap.save(path, "PNG")) {
    std::fprintf(stderr, "corvane-screenshots: could not write %s\n", qPrintable(path));
    return false;
  }
  std::printf("%s\n", qPrintable(path));
  written.push_back(QString::fromLatin1(name));
  return true;
}

void setAllExpanded(ContentView& view, bool expanded) {
  for (CollapsibleShortcutSection* section :
       {view.systemSection(), view.browserSection(), view.editingSection(), view.filesSection()}) {
    if (section->isExpanded() != expanded) section->header()->click();
  }
}

// The window with the alert over it, as a dialog centred on the window with a soft shadow.
QPixmap withAlert(const QPixmap& window, const QPixmap& alert) {
  QPixmap result = window;
  QPainter painter(&result);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.fillRect(result.rect(), QColor(0, 0, 0, 40));
  const qreal dpr = window.devicePixelRatio();
  const QSizeF size = QSizeF(alert.size()) / alert.devicePixelRatio();
  const QPointF origin((window.width() / dpr - size.width()) / 2,
                       (window.height() / dpr - size.height()) / 2.5);
  for (int i = 12; i > 0; i -= 2) {
    QPainterPath shadow;
    shadow.addRoundedRect(QRectF(origin, size).adjusted(-i, -i + 4, i, i + 4), 10 + i, 10 + i);
    painter.fillPath(shadow, QColor(0, 0, 0, 10));
  }
  painter.drawPixmap(origin, alert);
  painter.setPen(QPen(QColor(0, 0, 0, 60), 1));
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(QRectF(origin, size).adjusted(-0.5, -0.5, 0.5, 0.5));
  return result;
}

#ifndef CORVANE_EXAMPLE_RULES_DIR
#define CORVANE_EXAMPLE_RULES_DIR "examples/rules"  // the build sets the source tree's
#endif

// A rules file of examples/rules/ with `members` put first in its object, written where the
// loader reads it.
bool writeRules(const std::filesystem::path& path, const char* example, std::string_view members) {
  std::ifstream file(std::string(CORVANE_EXAMPLE_RULES_DIR) + "/" + example);
  std::ostringstream text;
  text << file.rdbuf();
  std::string rules = text.str();
  const size_t open = rules.find("\n{");  // the object starts a line, after the comments
  if (!file || open == std::string::npos) {
    std::fprintf(stderr, "corvane-screenshots: cannot read %s\n", example);
    return false;
  }
  rules.insert(open + 2, "\n  " + std::string(members));
  std::ofstream(path, std::ios::binary | std::ios::trunc) << rules;
  return true;
}

// A picture as the reference has it: the same size, and no more than a few pixels that differ by
// more than antialiasing does (a changed text or layout changes hundreds).
bool matches(const QString& rendered, const QString& reference) {
  const QImage a = QImage(rendered).convertToFormat(QImage::Format_ARGB32);
  const QImage b = QImage(reference).convertToFormat(QImage::Format_ARGB32);
  if (b.isNull()) {
    std::fprintf(stderr, "corvane-screenshots: no reference %s\n", qPrintable(reference));
    return false;
  }
  if (a.size() != b.size()) {
    std::fprintf(stderr, "corvane-screenshots: %s is %dx%d, the reference %dx%d\n",
                 qPrintable(rendered), a.width(), a.height(), b.width(), b.height());
    return false;
  }
  constexpr int kChannelTolerance = 48;
  constexpr int kPixelsAllowed = 40;
  int differing = 0;
  for (int y = 0; y < a.height(); ++y) {
    const auto* lineA = reinterpret_cast<const QRgb*>(a.constScanLine(y));
    const auto* lineB = reinterpret_cast<const QRgb*>(b.constScanLine(y));
    for (int x = 0; x < a.width(); ++x) {
      const QRgb p = lineA[x], q = lineB[x];
      if (std::abs(qRed(p) - qRed(q)) > kChannelTolerance ||
          std::abs(qGreen(p) - qGreen(q)) > kChannelTolerance ||
          std::abs(qBlue(p) - qBlue(q)) > kChannelTolerance ||
          std::abs(qAlpha(p) - qAlpha(q)) > kChannelTolerance) {
        ++differing;
      }
    }
  }
  if (differing <= kPixelsAllowed) return true;
  std::fprintf(stderr,
               "corvane-screenshots: %s differs from %s in %d pixels: the window changed; render "
               "docs/screenshots again (corvane-screenshots docs/screenshots) and look at them\n",
               qPrintable(rendered), qPrintable(reference), differing);
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  const bool compare = argc == 4 && std::string_view(argv[2]) == "--compare";
  if (argc != 2 && !compare) {
    std::fprintf(stderr, "usage: corvane-screenshots FOLDER [--compare REFERENCE]\n");
    return 2;
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  corvane::ui::applyPlatformLook(app);
  const QDir folder(QString::fromLocal8Bit(argv[1]));
  if (!QDir().mkpath(folder.absolutePath())) {
    std::fprintf(stderr, "corvane-screenshots: could not create %s\n", argv[1]);
    return 1;
  }

  auto session = std::make_shared<corvane::sim::SimulatedSession>(corvane::sim::ClockMode::Virtual);
  auto manager = std::make_shared<KeyboardShortcutManager>(session);
  auto catalog = std::make_shared<FrontmostOnly>();
  corvane::WindowServices services{std::make_shared<FixedTrust>(),
                                   std::make_shared<IgnoringOpener>(), catalog};
  // The editor's pickers offer the simulated session's applications.
  corvane::WindowServices editorServices = services;
#ifndef __APPLE__
  editorServices.applications =
      std::make_shared<corvane::SimulatedApplicationCatalog>(session.get());
#endif
  // The rules file of each state, read by the program's own loader.
  QTemporaryDir rulesFolder;
  const std::filesystem::path rulesPath =
      rulesFolder.filePath(QStringLiteral("rules.json")).toStdString();
  corvane::RulesLoader loader(rulesPath, *manager, std::cerr);

  // The window as the shell builds it: 740 x 520 content, fixed, hosting one ContentView.
  QWidget window;
  window.setWindowTitle(QStringLiteral("Corvane"));
  window.setFixedSize(740, 520);
  auto* layout = new QVBoxLayout(&window);
  layout->setContentsMargins(0, 0, 0, 0);
  auto* view = new ContentView(manager, services, &window);
  layout->addWidget(view);
  window.show();
  settle();

  // The window as tall as its content down to the last of the given sections.
  const auto fitTo = [&](std::initializer_list<QWidget*> lasts) {
    window.setFixedSize(740, 2000);
    settle();
    int bottom = 0;
    for (QWidget* last : lasts) {
      bottom = std::max(bottom, last->mapTo(&window, QPoint(0, last->height())).y());
    }
    window.setFixedSize(740, std::max(520, bottom + corvane::ui::kDefaultPadding));
    settle();
  };
  // The switches and the exclusions, the "Save" switch clicked off (so Undo shows).
  const auto renderEditing = [&](const char* name) {
    std::ofstream(rulesPath, std::ios::binary | std::ios::trunc) << kEditingRules;
    loader.reload();
    loader.waitForReload();
    catalog->frontmost = {"com.apple.Safari", "Safari", "/Applications/Safari.app"};
    setAllExpanded(*view, false);
    view->editingSection()->header()->click();
    view->filesSection()->header()->click();
    settle();
    for (QWidget* row : view->filesSection()->rows()) {
      if (row->objectName() == QStringLiteral("Save")) {
        row->findChild<QAbstractButton*>(QStringLiteral("switch"))->click();
      }
    }
    loader.reload();
    loader.waitForReload();
    settle();
    fitTo({view->filesSection()});
    const bool saved = save(window.grab(), folder, name);
    window.setFixedSize(740, 520);
    catalog->frontmost.reset();
    setAllExpanded(*view, false);
    settle();
    return saved;
  };

  bool ok = save(window.grab(), folder, "main-window-new.png");

  manager->start();
  session->waitForTapSetups(1, std::chrono::seconds(5));
  setAllExpanded(*view, true);
  settle();
  ok = save(window.grab(), folder, "main-window-active-expanded.png") && ok;

  manager->swapFnAndControl = false;
  manager->swapOptionAndCommand = false;
  settle();
  ok = save(window.grab(), folder, "main-window-swaps-off-expanded.png") && ok;

  manager->swapFnAndControl = true;
  manager->swapOptionAndCommand = true;
  manager->stop();
  setAllExpanded(*view, false);
  settle();
  view->requestPermissionsButton()->click();
  settle();
  corvane::ui::PermissionsAlert* alert = view->permissionsAlert();
  ok = save(withAlert(window.grab(), alert->grab()), folder, "main-window-permissions-alert.png") &&
       ok;
  alert->cancelButton()->click();
  settle();

  // With pc-navigation.json, F2 switched off and Terminal excluded: the whole content, with the
  // fifth section and "Files & Documents" expanded.
  if (!writeRules(rulesPath, "pc-navigation.json",
                  R"("disable": ["F2"], "exclude": ["com.apple.Terminal"],)")) {
    return 1;
  }
  loader.load();
  view->setRulesStatus(loader.status());
  manager->start();
  session->waitForTapSetups(2, std::chrono::seconds(5));
  settle();
  view->userSection()->header()->click();
  view->filesSection()->header()->click();
  settle();
  // Tall enough for the whole list: both columns' last sections and the padding below them.
  fitTo({view->userSection(), view->filesSection()});
  ok = save(window.grab(), folder, "main-window-rules.png") && ok;
  window.setFixedSize(740, 520);
  setAllExpanded(*view, false);
  view->userSection()->header()->click();
  settle();

  // A reload that found a mistake: the rules in use stay, the error shows under the title.
  std::ofstream(rulesPath, std::ios::binary | std::ios::trunc)
      << "{\n  \"shortcuts\": [\n    { \"press\": \"Ctlr+O\", \"send\": \"Cmd+O\" }\n  ]\n}\n";
  loader.reload();
  loader.waitForReload();
  settle();
  ok = save(window.grab(), folder, "main-window-rules-error.png") && ok;
  ok = renderEditing("main-window-editing.png") && ok;
  manager->stop();
  session->waitForRunLoopsToEnd(std::chrono::seconds(5));
  settle();

  // Test Keys…: the key viewer over a few keys typed in a browser, an editor and Terminal
  // (excluded) with office.json. Off the Mac an application's name is its bundle identifier.
  if (!writeRules(rulesPath, "office.json", R"("exclude": ["com.apple.Terminal"],)")) return 1;
  loader.reload();
  loader.waitForReload();
  manager->start();
  session->waitForTapSetups(3, std::chrono::seconds(5));
  view->showKeyViewer();
  settle();
  corvane::ui::KeyViewer* viewer = view->keyViewer();
  const auto press = [&](const char* app, int64_t key, corvane::EventFlags flags, bool fnKey) {
    session->setFrontmostApplication(std::string_view(app));
    if (fnKey) session->keyboardEvent(corvane::kEventFlagsChanged, 63, corvane::kFlagFn);
    session->keyboardEvent(corvane::kEventKeyDown, key, flags);
    session->keyboardEvent(corvane::kEventKeyUp, key, flags);
    if (fnKey) session->keyboardEvent(corvane::kEventFlagsChanged, 63, 0);
    session->settle();
    viewer->drain();
  };
  press("com.apple.TextEdit", 4, 0, false);                      // H
  press("com.apple.TextEdit", 8, corvane::kFlagFn, true);        // Ctrl+C
  press("com.apple.TextEdit", 31, corvane::kFlagFn, true);       // Ctrl+O
  press("com.apple.Safari", 96, corvane::kFlagFn, false);        // F5
  press("com.apple.Safari", 48, corvane::kFlagCommand, false);   // Alt+Tab
  press("com.apple.Terminal", 8, corvane::kFlagFn, true);        // excluded
  press("com.apple.Terminal", 14, corvane::kFlagOption, false);  // Win+E
  viewer->lines()->setCurrentItem(viewer->lines()->topLevelItem(1));
  settle();
  ok = save(viewer->grab(), folder, "key-viewer.png") && ok;
  viewer->close();

  // The shortcut editor changing office.json's F5, as a double click on its row opens it.
  std::string officeText;
  {
    std::ifstream file(rulesPath, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    officeText = text.str();
  }
  const corvane::RulesFile* rules = manager->rules();
  size_t f5 = 0;
  while (rules != nullptr && f5 < rules->shortcuts.size() && rules->shortcuts[f5].press != "F5")
    ++f5;
  {
    corvane::ui::ShortcutEditor editor(manager, editorServices, officeText, f5, &window);
    editor.show();
    editor.waitForCheck();
    settle();
    ok = save(editor.grab(), folder, "shortcut-editor.png") && ok;
  }
  manager->stop();
  session->waitForRunLoopsToEnd(std::chrono::seconds(5));
  std::filesystem::remove(rulesPath);  // no rules file: the built-in rules alone
  loader.reload();
  loader.waitForReload();
  settle();

  QApplication::setPalette(darkPalette());
  manager->start();
  session->waitForTapSetups(4, std::chrono::seconds(5));
  setAllExpanded(*view, true);
  settle();
  ok = save(window.grab(), folder, "main-window-active-expanded-dark.png") && ok;
  ok = renderEditing("main-window-editing-dark.png") && ok;

  // A new shortcut in the dark: Ctrl+F recorded (Fn plays Ctrl), sending Cmd+Option+F in
  // browsers, where it goes before the built-in Find.
  {
    corvane::ui::ShortcutEditor editor(manager, editorServices, officeText, std::nullopt, &window);
    editor.show();
    settle();
    session->keyboardEvent(corvane::kEventFlagsChanged, 63, corvane::kFlagFn);
    session->keyboardEvent(corvane::kEventKeyDown, 3, corvane::kFlagFn);
    session->settle();
    editor.drain();
    session->keyboardEvent(corvane::kEventKeyUp, 3, corvane::kFlagFn);
    session->keyboardEvent(corvane::kEventFlagsChanged, 63, 0);
    session->settle();
    editor.sendKeys()->setText(QStringLiteral("Cmd+Option+F"));
    editor.wherePicker()->setCurrentIndex(corvane::ui::ShortcutEditor::inGroup);
    editor.title()->setText(QStringLiteral("Find and replace"));
    editor.title()->setFocus();
    editor.waitForCheck();
    settle();
    ok = save(editor.grab(), folder, "shortcut-editor-dark.png") && ok;
  }

  manager->stop();
  session->waitForRunLoopsToEnd(std::chrono::seconds(5));
  if (compare) {
    const QDir reference(QString::fromLocal8Bit(argv[3]));
    for (const QString& name : written) {
      ok = matches(folder.filePath(name), reference.filePath(name)) && ok;
    }
  }
  return ok ? 0 : 1;
}
