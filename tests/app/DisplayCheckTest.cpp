// Whether the program has a display to show its window on, before Qt looks: the choice from the
// environment (a table), and a real listening socket against a stale one.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <cstring>
#include <set>
#include <string>

#include "app/DisplayCheck.h"

namespace corvane {
namespace {

struct DisplayCase {
  const char* name;
  DisplayEnvironment environment;
  DisplayChoice choice;
};

// The sockets that answer in these cases.
const std::set<std::string> kLive = {"/run/user/1000/wayland-0", "/tmp/live-wayland"};

class ChooseDisplay : public ::testing::TestWithParam<DisplayCase> {};

TEST_P(ChooseDisplay, FromTheEnvironment) {
  const DisplayCase& c = GetParam();
  EXPECT_EQ(
      chooseDisplay(c.environment, [](const std::string& path) { return kLive.contains(path); }),
      c.choice);
}

INSTANTIATE_TEST_SUITE_P(
    Display, ChooseDisplay,
    ::testing::Values(
        DisplayCase{"nothing", {}, DisplayChoice::none},
        DisplayCase{"runtimeFolderAlone", {"", "", "/run/user/1000", false}, DisplayChoice::none},
        DisplayCase{"x11", {":0", "", "/run/user/1000", false}, DisplayChoice::asIs},
        DisplayCase{"liveWayland", {"", "wayland-0", "/run/user/1000", false}, DisplayChoice::asIs},
        DisplayCase{"liveWaylandByPath", {"", "/tmp/live-wayland", "", false}, DisplayChoice::asIs},
        DisplayCase{
            "liveWaylandAndX11", {":0", "wayland-0", "/run/user/1000", false}, DisplayChoice::asIs},
        DisplayCase{
            "staleWayland", {"", "wayland-1", "/run/user/1000", false}, DisplayChoice::none},
        DisplayCase{
            "staleWaylandAndX11", {":0", "wayland-1", "/run/user/1000", false}, DisplayChoice::x11},
        // No runtime folder: a relative Wayland name reaches nothing.
        DisplayCase{
            "waylandWithoutRuntimeFolder", {"", "wayland-0", "", false}, DisplayChoice::none},
        DisplayCase{"waylandWithoutRuntimeFolderAndX11",
                    {":0", "wayland-0", "", false},
                    DisplayChoice::x11},
        // A platform asked for (QT_QPA_PLATFORM, -platform) is Qt's to start.
        DisplayCase{"platformChosen", {"", "", "", true}, DisplayChoice::asIs},
        DisplayCase{"platformChosenWithStaleWayland",
                    {":0", "wayland-1", "/run/user/1000", true},
                    DisplayChoice::asIs}),
    [](const ::testing::TestParamInfo<DisplayCase>& info) { return info.param.name; });

TEST(UnixSocketAnswers, AListeningSocketAnswersAStaleOneAndNoFileDoNot) {
  QTemporaryDir folder;
  const std::string path = folder.filePath(QStringLiteral("wayland-9")).toStdString();
  EXPECT_FALSE(unixSocketAnswers(path));  // no file

  const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(listener, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  ASSERT_LT(path.size(), sizeof address.sun_path);
  std::memcpy(address.sun_path, path.data(), path.size());
  ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(::listen(listener, 4), 0);
  EXPECT_TRUE(unixSocketAnswers(path));

  ::close(listener);  // the file stays, as after a compositor that crashed
  EXPECT_FALSE(unixSocketAnswers(path));
  EXPECT_FALSE(unixSocketAnswers(path + std::string(200, 'x')));  // too long for an address
}

}  // namespace
}  // namespace corvane
