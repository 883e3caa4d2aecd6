// corvane-screen-grab FILE [DELAY_MS]: waits, then saves the whole screen of the display the
// program is connected to (e.g. an Xvfb server) as a PNG.
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QThread>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: corvane-screen-grab FILE [DELAY_MS]\n");
    return 2;
  }
  QGuiApplication app(argc, argv);
  if (argc == 3) QThread::msleep(static_cast<unsigned long>(std::strtoul(argv[2], nullptr, 10)));
  QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) {
    std::fprintf(stderr, "corvane-screen-grab: no screen\n");
    return 1;
  }
  if (!screen->grabWindow(0).save(QString::fromLocal8Bit(argv[1]), "PNG")) {
    std::fprintf(stderr, "corvane-screen-grab: could not write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
