// The shell's launch sequence, window lifecycle and status item, against recording fakes.
#include <QAbstractButton>
#include <QEventLoop>
#include <QPointer>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTest>
#include <QTimer>

#include "DelegateHarness.h"
#include "QtTestMain.h"
#include "app/LinuxShellServices.h"
#include "app/MainWindow.h"
#include "ui/CollapsibleShortcutSection.h"
#include "ui/StyledText.h"

namespace corvane::testing {
namespace {

using Steps = std::vector<std::string>;

TEST_F(DelegateTest, LaunchRunsTheNineStepsInOrder) {
  launch();
  EXPECT_EQ(*log,
            (Steps{"accessoryPolicy", "contentView(statusItem=yes, window=no)", "shown", "activate",
                   "trust", "engineStart", "contains", "setTrue", "read", "status", "register"}));
  EXPECT_TRUE(manager->isEnabled);
  EXPECT_TRUE(out.str().empty());  // trusted: nothing printed
  ASSERT_NE(delegate->window(), nullptr);
  EXPECT_TRUE(delegate->window()->isVisible());
  EXPECT_EQ(delegate->window()->content(), view);
  ASSERT_NE(delegate->statusItem(), nullptr);
  EXPECT_FALSE(delegate->statusItem()->icon().isNull());
  EXPECT_EQ(delegate->statusItem()->contextMenu(), nullptr);
  EXPECT_EQ(delegate->launchAtLoginKey, "launchAtLoginEnabled");
}

// Off the Mac (a simulated keyboard) the tray's tooltip and the window say that this computer's
// keys are not translated; on a Mac neither says anything of the kind.
TEST_F(DelegateTest, ASimulatedKeyboardIsToldInTheTooltipAndTheWindow) {
  for (const bool simulated : {false, true}) {
    SCOPED_TRACE(simulated ? "simulated" : "Mac");
    simulatedKeyboard = simulated;
    launch();
    const QString line = QString::fromUtf8(ui::kSimulatedKeyboardLine);
    EXPECT_EQ(delegate->statusItem()->toolTip(),
              simulated ? QStringLiteral("Corvane\n") + line : QStringLiteral("Corvane"));
    EXPECT_EQ(view->simulatedKeyboard(), simulated);
    EXPECT_EQ(view->simulatedKeyboardNote()->isVisible(), simulated);
    quit();
  }
}

TEST_F(DelegateTest, UntrustedLaunchPrintsOneLineThenStartsTheEngine) {
  trust->trusted = false;
  launch();
  EXPECT_EQ(out.str(), "Accessibility permissions required - please grant in System Settings\n");
  EXPECT_EQ(*log, (Steps{"accessoryPolicy", "contentView(statusItem=yes, window=no)", "shown",
                         "activate", "trust", "engineStart(after output)", "contains", "setTrue",
                         "read", "status", "register"}));
  EXPECT_TRUE(manager->isEnabled);  // start is called whatever the answer
  EXPECT_TRUE(delegate->window()->isVisible());
}

TEST_F(DelegateTest, WindowIsFixedCentredTitledAndCannotBeZoomed) {
  MainWindow& window = *launch().window();
  EXPECT_EQ(window.windowTitle(), "Corvane");
  EXPECT_EQ(window.size(), QSize(740, 520));
  EXPECT_EQ(window.minimumSize(), QSize(740, 520));
  EXPECT_EQ(window.maximumSize(), QSize(740, 520));
  EXPECT_FALSE(window.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
  EXPECT_TRUE(window.windowFlags().testFlag(Qt::WindowCloseButtonHint));
  EXPECT_TRUE(window.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
  const QRect available = window.screen()->availableGeometry();
  const QPoint offset = window.frameGeometry().center() - available.center();
  EXPECT_LE(offset.manhattanLength(), 40) << "not centred";
  // A request to grow is refused.
  window.resize(900, 700);
  EXPECT_EQ(window.size(), QSize(740, 520));
  window.showMaximized();
  QApplication::processEvents();
  EXPECT_EQ(window.size(), QSize(740, 520));
}

TEST_F(DelegateTest, ToggleAndReopenBeforeLaunchDoNothing) {
  delegate = std::make_unique<AppDelegate>(environment());
  delegate->toggleMainWindow();
  EXPECT_TRUE(delegate->applicationShouldHandleReopen());
  EXPECT_EQ(delegate->window(), nullptr);
  EXPECT_TRUE(log->empty());
  EXPECT_FALSE(QGuiApplication::quitOnLastWindowClosed());
  EXPECT_FALSE(AppDelegate::applicationShouldTerminateAfterLastWindowClosed());
}

TEST_F(DelegateTest, ToggleHidesAVisibleWindowAndShowsAHiddenOneActivated) {
  MainWindow* window = launch().window();
  log->clear();

  delegate->toggleMainWindow();
  EXPECT_FALSE(window->isVisible());
  EXPECT_TRUE(log->empty()) << "hiding must not activate";

  delegate->toggleMainWindow();
  EXPECT_TRUE(window->isVisible());
  EXPECT_EQ(*log, (Steps{"shown", "activate"}));
  EXPECT_EQ(delegate->window(), window) << "the same window, never re-created";

  // The status item's click is the toggle.
  log->clear();
  emit delegate->statusItem()->activated(QSystemTrayIcon::Trigger);
  EXPECT_FALSE(window->isVisible());
  emit delegate->statusItem()->activated(QSystemTrayIcon::Context);
  EXPECT_FALSE(window->isVisible()) << "only a click (Trigger) toggles";
  emit delegate->statusItem()->activated(QSystemTrayIcon::Trigger);
  EXPECT_TRUE(window->isVisible());
}

TEST_F(DelegateTest, ReopenShowsOnlyAHiddenWindowAndAlwaysAnswersYes) {
  MainWindow* window = launch().window();
  log->clear();
  EXPECT_TRUE(delegate->applicationShouldHandleReopen());
  EXPECT_TRUE(window->isVisible());
  EXPECT_TRUE(log->empty()) << "a visible window is left alone";

  window->hide();
  EXPECT_TRUE(delegate->applicationShouldHandleReopen());
  EXPECT_TRUE(window->isVisible());
  EXPECT_EQ(*log, (Steps{"shown", "activate"}));

  // The platform's reopen: the program becomes active again.
  window->hide();
  emit qApp->applicationStateChanged(Qt::ApplicationActive);
  EXPECT_TRUE(window->isVisible());
}

TEST_F(DelegateTest, CloseHidesAndKeepsTheWindowAndItsViewState) {
  MainWindow* window = launch().window();
  QPointer<MainWindow> windowAlive(window);
  QPointer<ui::ContentView> viewAlive(view);
  QTest::mouseClick(view->browserSection()->header(), Qt::LeftButton);
  ASSERT_TRUE(view->showBrowser());

  EXPECT_FALSE(window->close());  // the close button's request is refused
  QApplication::processEvents();
  EXPECT_FALSE(window->isVisible());
  ASSERT_FALSE(windowAlive.isNull());
  ASSERT_FALSE(viewAlive.isNull());
  EXPECT_FALSE(delegate->windowShouldClose(window));

  delegate->toggleMainWindow();
  EXPECT_TRUE(window->isVisible());
  EXPECT_EQ(window->content(), view);
  EXPECT_TRUE(view->showBrowser());
  EXPECT_EQ(view->browserSection()->rows().size(), 5);
}

#if defined(CORVANE_DESKTOP_SHELL)
// The real delegate with the program's own environment (the shared manager on the simulated
// session, the desktop's services, QSettings in a temporary config folder).
TEST(RealDelegate, StartsShowsItsWindowAndKeepsRunningWhenItIsHidden) {
  QCoreApplication::setOrganizationName(QStringLiteral("CorvaneTests"));
  QCoreApplication::setApplicationName(QStringLiteral("app_tests"));
  AppDelegate delegate;
  delegate.applicationDidFinishLaunching();
  MainWindow* window = delegate.window();
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
  EXPECT_TRUE(KeyboardShortcutManager::shared().isEnabled);

  bool quitting = false;
  QObject::connect(qApp, &QCoreApplication::aboutToQuit, [&quitting] { quitting = true; });
  QEventLoop loop;
  bool ranToTheEnd = false;
  QTimer::singleShot(20, window, [window] { window->close(); });
  QTimer::singleShot(400, &loop, [&] {
    ranToTheEnd = true;
    loop.quit();
  });
  loop.exec();
  EXPECT_TRUE(ranToTheEnd) << "the event loop ended when the window was hidden";
  EXPECT_FALSE(quitting);
  EXPECT_FALSE(window->isVisible());
  delegate.toggleMainWindow();
  EXPECT_TRUE(window->isVisible());
  sharedSimulatedSession()->waitForTapSetups(1, std::chrono::seconds(5));
  KeyboardShortcutManager::shared().stop();
}

#endif

}  // namespace
}  // namespace corvane::testing

CORVANE_QT_TEST_MAIN()
