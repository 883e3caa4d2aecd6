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

#include "DataRows.h"
#include "app/DisplayCheck.h"

namespace corvane {
namespace {

// The sockets that answer in display-choices.jsonl.
const std::set<std::string> kLive = {"/run/user/1000/wayland-0", "/tmp/live-wayland"};

class ChooseDisplay : public ::testing::TestWithParam<QJsonObject> {};

TEST_P(ChooseDisplay, FromTheEnvironment) {
  const QJsonObject& c = GetParam();
  const auto var = [&](const char* name) {
    return c[QLatin1String(name)].toString().toStdString();
  };
  const DisplayEnvironment environment{var("DISPLAY"), var("WAYLAND_DISPLAY"),
                                       var("XDG_RUNTIME_DIR"), c[u"platformChosen"].toBool()};
  const DisplayChoice choice =
      chooseDisplay(environment, [](const std::string& path) { return kLive.contains(path); });
  EXPECT_EQ(choice == DisplayChoice::asIs  ? "asIs"
            : choice == DisplayChoice::x11 ? "x11"
                                           : "none",
            var("choice"));
}

INSTANTIATE_TEST_SUITE_P(
    Display, ChooseDisplay,
    ::testing::ValuesIn(corvane::testing::dataRows("app/display-choices.jsonl")),
    [](const auto& info) { return info.param[u"name"].toString().toStdString(); });

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
