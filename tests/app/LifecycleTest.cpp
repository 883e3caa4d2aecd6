// What the shell adds to the described lifecycle: the status item's double click, the Quit
// shortcut, and the one-copy hand-over.
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <thread>

#include "DelegateHarness.h"
#include "app/SingleInstance.h"
#include "app/StatusItemClicks.h"

namespace corvane::testing {
namespace {

using namespace std::chrono_literals;

// --- A double click is two clicks -----------------------------------------------------------

struct Report {
  QSystemTrayIcon::ActivationReason reason;
  int atMs;
};

struct ClickCase {
  const char* name;
  std::vector<Report> reports;  // as the platform's tray code sends them
  int toggles;
};

class StatusItemClicksTest : public ::testing::TestWithParam<ClickCase> {};

TEST_P(StatusItemClicksTest, CountsEveryClickOnce) {
  StatusItemClicks clicks(400ms);
  const auto start = StatusItemClicks::Clock::time_point{} + 1h;
  int toggles = 0;
  for (const Report& report : GetParam().reports) {
    if (clicks.isClick(report.reason, start + std::chrono::milliseconds(report.atMs))) ++toggles;
  }
  EXPECT_EQ(toggles, GetParam().toggles);
}

constexpr auto T = QSystemTrayIcon::Trigger;
constexpr auto D = QSystemTrayIcon::DoubleClick;

INSTANTIATE_TEST_SUITE_P(
    Platforms, StatusItemClicksTest,
    ::testing::Values(
        // macOS and Windows: the second click comes as DoubleClick instead of Trigger.
        ClickCase{"macDoubleClick", {{T, 0}, {D, 180}}, 2},
        ClickCase{"macTripleClick", {{T, 0}, {D, 180}, {T, 360}}, 3},
        ClickCase{"macSlowDoubleClickOfTheSystemsInterval", {{T, 0}, {D, 450}}, 2},
        ClickCase{"macTwoDoubleClicks", {{T, 0}, {D, 150}, {T, 900}, {D, 1050}}, 4},
        // X11: every press is Trigger, and the second of a double click is followed by
        // DoubleClick as well.
        ClickCase{"x11DoubleClick", {{T, 0}, {T, 180}, {D, 180}}, 2},
        ClickCase{
            "x11FourQuickClicks", {{T, 0}, {T, 150}, {D, 150}, {T, 300}, {T, 450}, {D, 450}}, 4},
        ClickCase{"singleClicks", {{T, 0}, {T, 2000}}, 2},
        ClickCase{"contextAndMiddleClicks",
                  {{QSystemTrayIcon::Context, 0}, {QSystemTrayIcon::MiddleClick, 100}},
                  0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DelegateTest, ADoubleClickOnTheStatusItemTogglesTwice) {
  QWidget* window = launch().window();
  ASSERT_TRUE(window->isVisible());
  // As macOS reports it: Trigger, then DoubleClick for the quick second click.
  emit delegate->statusItem()->activated(QSystemTrayIcon::Trigger);
  EXPECT_FALSE(window->isVisible());
  emit delegate->statusItem()->activated(QSystemTrayIcon::DoubleClick);
  EXPECT_TRUE(window->isVisible()) << "the second click of a double click was lost";
}

// --- Quit ---------------------------------------------------------------------------------------

TEST_F(DelegateTest, TheQuitShortcutEndsTheEventLoopAndStopsTheEngine) {
  QWidget* window = launch().window();
  ASSERT_TRUE(session->waitForTapSetups(1, std::chrono::seconds(5)));
  ASSERT_TRUE(manager->isEnabled);

  // Ctrl+Q; Qt's Control is the Command key on a Mac.
  QTimer::singleShot(0, window,
                     [window] { QTest::keyClick(window, Qt::Key_Q, Qt::ControlModifier); });
  QTimer::singleShot(5000, qApp, [] { QCoreApplication::exit(3); });  // a quit that never came
  EXPECT_EQ(QApplication::exec(), 0);
  EXPECT_FALSE(manager->isEnabled) << "the tap was left running";
  EXPECT_FALSE(window->isVisible());
}

// --- One copy -----------------------------------------------------------------------------------

TEST(SingleInstanceTest, ALaterCopyAsksTheFirstForItsWindowAndEnds) {
  QTemporaryDir folder;
  SingleInstance first(folder.filePath(QStringLiteral("corvane")));
  int requests = 0;
  first.onReopenRequested([&requests] { ++requests; });
  ASSERT_EQ(first.claim(), SingleInstance::Claim::first);

  // The later copy waits for the answer, which the first gives on its event loop.
  std::atomic<int> later{-1};
  std::thread second([&] {
    SingleInstance copy(folder.filePath(QStringLiteral("corvane")));
    later = static_cast<int>(copy.claim());
  });
  EXPECT_TRUE(QTest::qWaitFor([&] { return later.load() != -1; }, 10000));
  second.join();
  EXPECT_EQ(later.load(), static_cast<int>(SingleInstance::Claim::handedOver));
  EXPECT_EQ(requests, 1);
}

}  // namespace
}  // namespace corvane::testing
